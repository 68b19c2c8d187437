#include <gtest/gtest.h>

#include <string>

#include "base/log_buffer.h"

namespace {

std::wstring contents(const LogBuffer& log) { return std::wstring(log.text, log.length); }

class LogBufferTest : public testing::Test {
protected:
    void SetUp() override { createLog(&log); ASSERT_NE(nullptr, log.text); }
    void TearDown() override { releaseLog(&log); }

    LogBuffer log;
};

TEST_F(LogBufferTest, CreateGivesAnEmptyLogOfTheFullCapacity) {
    EXPECT_EQ(1048576, log.capacity);
    EXPECT_EQ(0, log.length);
    EXPECT_EQ(0, log.changed);
    EXPECT_EQ(0, log.overflowReported);
    // The whole storage, spare area included, is zeroed and writable.
    for (int32_t i = 0; i < log.capacity + 256; i += 4093) EXPECT_EQ(0, log.text[i]);
    EXPECT_EQ(0, log.text[log.capacity + 255]);
}

TEST_F(LogBufferTest, LineEndingRules) {
    struct Case {
        const wchar_t* before;  // appended first, to set up what the buffer ends in
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {nullptr, L"INPUT DEVICE: 3", L"INPUT DEVICE: 3\r\n"},
        {nullptr, L"ends in crlf\r\n", L"ends in crlf\r\n"},
        {nullptr, L"bare lf\n", L"bare lf\n"},
        {nullptr, L"cr then x\rx", L"cr then x\rx"},
        {nullptr, L"bare cr\r", L"bare cr\r\r\n"},
        {nullptr, L"a", L"a\r\n"},
        {nullptr, L"", L"\r\n"},  // an empty first line still ends
        {L"line", L" ", L"line\r\n \r\n"},
        {L"line", L"", L"line\r\n"},
        {L"partial\r", L"", L"partial\r\r\n"},
        {L"ab\rc", L"", L"ab\rc"},  // the buffer, not the text, decides
        {L"x\r", L"\n", L"x\r\r\n\n"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(0, clear(&log));
        if (c.before) ASSERT_EQ(0, appendWide(&log, c.before));
        EXPECT_EQ(0, appendWide(&log, c.text));
        EXPECT_EQ(std::wstring(c.expected), contents(log)) << "after \"" << (c.before ? c.before : L"") << "\" + \"" << c.text << "\"";
        EXPECT_EQ(0, log.text[log.length]);
        EXPECT_EQ(1, log.changed);
    }
}

TEST_F(LogBufferTest, FirstLineLengthCountsItsEnding) {
    EXPECT_EQ(0, appendNarrow(&log, "INPUT DEVICE: 3"));
    EXPECT_EQ(17, log.length);
}

TEST_F(LogBufferTest, EmptyTextAfterACompleteLineOnlyMarksTheLogChanged) {
    ASSERT_EQ(0, appendWide(&log, L"line"));
    log.changed = false;
    EXPECT_EQ(0, appendWide(&log, L""));
    EXPECT_EQ(6, log.length);
    EXPECT_EQ(1, log.changed);
}

TEST_F(LogBufferTest, ExactFitTakesItsEndingInTheSpareArea) {
    ASSERT_EQ(0, appendWide(&log, L"x"));  // length 3
    const std::wstring line(log.capacity - log.length, L'b');
    EXPECT_EQ(0, appendWide(&log, line.c_str()));
    EXPECT_EQ(log.capacity + 2, log.length);
    EXPECT_EQ(L'\r', log.text[log.capacity]);
    EXPECT_EQ(L'\n', log.text[log.capacity + 1]);
    EXPECT_EQ(0, log.text[log.capacity + 2]);
    // Nothing fits any more, not even an empty text.
    EXPECT_EQ(-1, appendWide(&log, L""));
    EXPECT_EQ(log.capacity + 2, log.length);
}

TEST_F(LogBufferTest, OverflowNoticeIsWrittenOnceBehindTheLastLine) {
    ASSERT_EQ(0, appendWide(&log, std::wstring(log.capacity - 10, L'a').c_str()));
    const int32_t length = log.length;
    ASSERT_EQ(log.capacity - 8, length);
    log.changed = false;

    EXPECT_EQ(-1, appendWide(&log, L"0123456789"));
    const std::wstring notice =
        L"****** Not Enough Memory in TXT Buffer (1048568 char / 1048576 max)*******";
    EXPECT_EQ(notice, std::wstring(log.text + length));
    EXPECT_EQ(length, log.length);
    EXPECT_EQ(1, log.overflowReported);
    EXPECT_EQ(1, log.changed);

    log.changed = false;
    EXPECT_EQ(-1, appendWide(&log, L"0123456789 again"));
    EXPECT_EQ(notice, std::wstring(log.text + length));
    EXPECT_EQ(0, log.changed);

    // A shorter line that still fits goes over the notice.
    EXPECT_EQ(0, appendWide(&log, L"fits"));
    EXPECT_EQ(L"fits\r\n", std::wstring(log.text + length));
    EXPECT_EQ(length + 6, log.length);
}

TEST_F(LogBufferTest, ClearResetsTheOverflowNotice) {
    ASSERT_EQ(0, appendWide(&log, std::wstring(log.capacity, L'a').c_str()));
    ASSERT_EQ(-1, appendWide(&log, L"x"));
    ASSERT_EQ(1, log.overflowReported);
    EXPECT_EQ(0, clear(&log));
    EXPECT_EQ(0, log.length);
    EXPECT_EQ(0, log.overflowReported);
    EXPECT_EQ(0, log.changed);
    EXPECT_EQ(0, log.text[0]);
}

TEST_F(LogBufferTest, NarrowTextIsConvertedFromTheAnsiCodePage) {
    // 0xE9 is e-acute in the Western code page Wine runs with by default.
    ASSERT_EQ(1252u, GetACP());
    EXPECT_EQ(0, appendNarrow(&log, "caf\xE9"));
    EXPECT_EQ(std::wstring(L"caf\x00E9\r\n"), contents(log));
    EXPECT_EQ(0, appendNarrow(&log, ""));
    EXPECT_EQ(std::wstring(L"caf\x00E9\r\n"), contents(log));
    EXPECT_EQ(0, appendNarrow(&log, nullptr));
}

TEST_F(LogBufferTest, NarrowLineKeepsAtMost1023Characters) {
    const std::string exact(1023, 'n');
    EXPECT_EQ(0, appendNarrow(&log, exact.c_str()));
    EXPECT_EQ(1025, log.length);
    for (size_t extra : {1u, 2u, 5000u}) {
        ASSERT_EQ(0, clear(&log));
        const std::string longer(1023 + extra, 'n');
        EXPECT_EQ(0, appendNarrow(&log, longer.c_str()));
        EXPECT_EQ(std::wstring(1023, L'n') + L"\r\n", contents(log)) << "extra " << extra;
    }
}

TEST(LogBufferFailures, NoLogBuffer) {
    EXPECT_EQ(-1, clear(nullptr));
    EXPECT_EQ(-1, appendWide(nullptr, L"x"));
    EXPECT_EQ(-1, appendNarrow(nullptr, "x"));
    EXPECT_EQ(-1, releaseLog(nullptr));
}

void* failingAllocation(size_t) { return nullptr; }

TEST(LogBufferFailures, AllocationFailureLeavesAWorkingEmptyLog) {
    LogBuffer log;
    memset(&log, 0x5A, sizeof(log));
    createLogWith(&log, failingAllocation);
    EXPECT_EQ(nullptr, log.text);
    EXPECT_EQ(1048576, log.capacity);
    EXPECT_EQ(0, log.length);
    EXPECT_EQ(0, log.changed);
    EXPECT_EQ(0, log.overflowReported);

    EXPECT_EQ(-2, clear(&log));
    EXPECT_EQ(-2, appendWide(&log, L"line"));
    EXPECT_EQ(-2, appendNarrow(&log, "line"));
    EXPECT_EQ(0, log.length);
    EXPECT_EQ(0, log.changed);

    EXPECT_EQ(0, releaseLog(&log));
    EXPECT_EQ(0, log.capacity);
}

TEST(LogBufferRelease, ZeroesEveryField) {
    LogBuffer log;
    createLog(&log);
    ASSERT_EQ(0, appendWide(&log, L"line"));
    EXPECT_EQ(0, releaseLog(&log));
    LogBuffer zero;
    memset(&zero, 0, sizeof(zero));
    EXPECT_EQ(0, memcmp(&zero, &log, sizeof(log)));
    EXPECT_EQ(-2, appendWide(&log, L"after release"));
}

}  // namespace
