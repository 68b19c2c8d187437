#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/device_record.h"
#include "support/check_world.h"
#include "support/fake_world.h"
#include "support/records.h"

namespace {

// A list on the fake world's memory, freed at the end of the test.
class ListTest : public testing::Test {
protected:
    void SetUp() override { initList(&list); }
    void TearDown() override {
        freeList(&list);
        EXPECT_EQ(0, world.liveBlocks) << "list memory leaked";
    }
    void add(DeviceSource kind, const std::wstring& name) {
        RecordFields fields;
        fields.kind = kind;
        fields.name = name;
        const DeviceRecord r = makeRecord(fields);
        ASSERT_NE(nullptr, appendRecord(&list, &r));
    }
    FakeWorld world;
    RecordList list;
};

TEST_F(ListTest, StartsWith8192BytesAndGrowsIn32768ByteSteps) {
    EXPECT_EQ(8192u, list.capacityBytes);
    EXPECT_EQ(sizeof(DeviceRecord), list.recordSize);
    EXPECT_EQ(32768u, list.growStep);
    const uint32_t firstFit = 8192 / sizeof(DeviceRecord);
    for (uint32_t i = 0; i < firstFit; ++i) add(KIND_MME, L"r" + std::to_wstring(i));
    EXPECT_EQ(8192u, list.capacityBytes);
    add(KIND_MME, L"one more");
    EXPECT_EQ(8192u + 32768u, list.capacityBytes);
    EXPECT_EQ(list.count * list.recordSize, list.usedBytes);
    EXPECT_EQ(list.capacityBytes - list.usedBytes, list.freeBytes);
    // Every record survived the move, in order.
    for (uint32_t i = 0; i < firstFit; ++i) EXPECT_EQ(L"r" + std::to_wstring(i), recordAt(list, i + 1)->pinNameW);
    EXPECT_STREQ(L"one more", recordAt(list, firstFit + 1)->pinNameW);
}

TEST_F(ListTest, AppendCopiesTheRecordAndReturnsTheStoredCopy) {
    RecordFields fields;
    fields.name = L"original";
    DeviceRecord r = makeRecord(fields);
    DeviceRecord* stored = appendRecord(&list, &r);
    ASSERT_EQ(recordAt(list, 1), stored);
    lstrcpyW(r.pinNameW, L"changed");
    EXPECT_STREQ(L"original", stored->pinNameW);
}

TEST_F(ListTest, ResetKeepsTheStorage) {
    for (int i = 0; i < 20; ++i) add(KIND_MME, L"x");
    void* storage = list.items;
    const uint32_t capacity = list.capacityBytes;
    resetList(&list);
    EXPECT_EQ(0u, list.count);
    EXPECT_EQ(storage, list.items);
    EXPECT_EQ(capacity, list.capacityBytes);
    EXPECT_EQ(capacity, list.freeBytes);
    EXPECT_EQ(0u, list.usedBytes);
    const int allocationsBefore = world.allocations;
    for (int i = 0; i < 20; ++i) add(KIND_MME, L"y");
    EXPECT_EQ(allocationsBefore, world.allocations) << "refilling to the same size must not allocate";
}

TEST_F(ListTest, FailedGrowthFreesTheOldStorageAndLeavesTheListEmpty) {
    const uint32_t firstFit = 8192 / sizeof(DeviceRecord);
    for (uint32_t i = 0; i < firstFit; ++i) add(KIND_MME, L"r");
    world.failAllocationNumber = world.allocations + 1;
    RecordFields fields;
    const DeviceRecord r = makeRecord(fields);
    EXPECT_EQ(nullptr, appendRecord(&list, &r));
    EXPECT_EQ(nullptr, list.items);
    EXPECT_EQ(0, world.liveBlocks);
    EXPECT_EQ(0u, recordCount(list));
    // From then on the list takes nothing and reads as empty, also after a reset.
    world.failAllocationNumber = 0;
    EXPECT_EQ(nullptr, appendRecord(&list, &r));
    resetList(&list);
    EXPECT_EQ(0u, list.capacityBytes);
    EXPECT_EQ(nullptr, appendRecord(&list, &r));
}

TEST_F(ListTest, GrowthThatWouldPassFourGigabytesFailsCleanly) {
    add(KIND_MME, L"a");
    // Pretend the list is near the top of the 32-bit range.
    list.capacityBytes = 0xFFFF0000u;
    list.usedBytes = list.capacityBytes;
    list.freeBytes = 0;
    RecordFields fields;
    const DeviceRecord r = makeRecord(fields);
    EXPECT_EQ(nullptr, appendRecord(&list, &r));
    EXPECT_EQ(nullptr, list.items);
    EXPECT_EQ(0, world.liveBlocks);
}

TEST(CompareDevices, KindFirstThenExactUtf16Order) {
    struct Case {
        DeviceSource kindA;
        const wchar_t* a;
        DeviceSource kindB;
        const wchar_t* b;
        int expected;
    } cases[] = {
        {KIND_WDM, L"Z", KIND_KS, L"A", -1},    // endpoints before kernel streaming
        {KIND_KS, L"A", KIND_MME, L"A", -1},    // kernel streaming before wave devices
        {KIND_MME, L"A", KIND_WDM, L"Z", 1},
        {DeviceSource(7), L"A", KIND_WDM, L"A", 0},  // unknown kinds rank with the endpoints
        {KIND_MME, L"B", KIND_MME, L"b", -1},   // no case folding
        {KIND_MME, L"ab", KIND_MME, L"abc", -1},  // a prefix comes first
        {KIND_MME, L"abc", KIND_MME, L"abc", 0},
        {KIND_MME, L"\x00E9", KIND_MME, L"f", 1},  // unit values, not the alphabet
        {KIND_MME, L"\xD83D\xDE00", KIND_MME, L"\xFFFD", -1},  // unsigned 16-bit units
        {KIND_MME, L"", KIND_MME, L"a", -1},
    };
    for (const Case& c : cases) {
        RecordFields a, b;
        a.kind = c.kindA;
        a.name = c.a;
        b.kind = c.kindB;
        b.name = c.b;
        const DeviceRecord ra = makeRecord(a), rb = makeRecord(b);
        EXPECT_EQ(c.expected, compareDevices(&ra, &rb)) << "kind " << c.kindA << " vs " << c.kindB;
        EXPECT_EQ(-c.expected, compareDevices(&rb, &ra)) << "kind " << c.kindA << " vs " << c.kindB;
    }
}

TEST_F(ListTest, SortOrdersByKindThenName) {
    add(KIND_MME, L"A");
    add(KIND_KS, L"A");
    add(KIND_WDM, L"Z");
    add(KIND_MME, L"b");
    add(KIND_MME, L"B");
    EXPECT_EQ(1, sortDevices(&list));
    const std::vector<std::wstring> expected = {L"Z", L"A", L"A", L"B", L"b"};
    EXPECT_EQ(expected, pinNames(list));
    EXPECT_EQ(KIND_WDM, recordAt(list, 1)->kind);
    EXPECT_EQ(KIND_KS, recordAt(list, 2)->kind);
    EXPECT_EQ(KIND_MME, recordAt(list, 3)->kind);
}

TEST_F(ListTest, ShortListsNeedNoWorkArea) {
    EXPECT_EQ(1, sortDevices(&list));  // empty
    add(KIND_MME, L"only");
    EXPECT_EQ(1, sortDevices(&list));
    add(KIND_MME, L"before");
    world.failAllocationNumber = world.allocations + 1;  // any allocation would fail now
    EXPECT_EQ(1, sortDevices(&list));                    // the pair pass alone
    EXPECT_EQ((std::vector<std::wstring>{L"before", L"only"}), pinNames(list));
    EXPECT_EQ(nullptr, list.sortScratch);
}

TEST_F(ListTest, SortWithoutAWorkAreaStopsAndKeepsEveryRecord) {
    for (const wchar_t* n : {L"d", L"c", L"b", L"a", L"e"}) add(KIND_MME, n);
    world.failAllocationNumber = world.allocations + 1;
    EXPECT_EQ(0, sortDevices(&list));
    std::vector<std::wstring> got = pinNames(list);
    // The pair pass ran; nothing was lost or doubled.
    EXPECT_EQ((std::vector<std::wstring>{L"c", L"d", L"a", L"b", L"e"}), got);
}

TEST_F(ListTest, WorkAreaIsKeptBetweenSorts) {
    for (int i = 0; i < 9; ++i) add(KIND_MME, std::wstring(1, wchar_t(L'z' - i)));
    ASSERT_EQ(1, sortDevices(&list));
    EXPECT_EQ(8u * sizeof(DeviceRecord), list.sortScratchBytes);
    const int allocationsBefore = world.allocations;
    ASSERT_EQ(1, sortDevices(&list));
    EXPECT_EQ(allocationsBefore, world.allocations);
}

// The list sorted against std::stable_sort of the same records, for many sizes and orders.
TEST_F(ListTest, MatchesAReferenceSortOnThousandsOfRecords) {
    std::mt19937 random(12345);
    const DeviceSource kinds[] = {KIND_MME, KIND_KS, KIND_WDM, DeviceSource(2)};
    for (uint32_t size : {2u, 3u, 5u, 8u, 9u, 16u, 17u, 31u, 100u, 257u, 1000u, 4099u}) {
        resetList(&list);
        std::vector<DeviceRecord> reference;
        for (uint32_t i = 0; i < size; ++i) {
            RecordFields fields;
            fields.kind = kinds[random() % 4];
            // Short names from a small alphabet: many ties and shared prefixes.
            const int length = int(random() % 4);
            for (int c = 0; c < length; ++c) fields.name += wchar_t(L"aAbB\x00E9"[random() % 5]);
            fields.index = int32_t(i);
            reference.push_back(makeRecord(fields));
            ASSERT_NE(nullptr, appendRecord(&list, &reference.back()));
        }
        ASSERT_EQ(1, sortDevices(&list));
        std::stable_sort(reference.begin(), reference.end(),
                         [](const DeviceRecord& a, const DeviceRecord& b) { return compareDevices(&a, &b) < 0; });
        ASSERT_EQ(size, list.count);
        std::vector<int32_t> seen;
        for (uint32_t i = 1; i <= size; ++i) {
            const DeviceRecord* got = recordAt(list, i);
            ASSERT_EQ(0, compareDevices(got, &reference[i - 1])) << "size " << size << " position " << i;
            seen.push_back(got->index);
        }
        // A permutation: every record exactly once.
        std::sort(seen.begin(), seen.end());
        for (uint32_t i = 0; i < size; ++i) ASSERT_EQ(int32_t(i), seen[i]) << "size " << size;
    }
}

}  // namespace
