#include <gtest/gtest.h>

#include <stdlib.h>

#include <random>
#include <string>
#include <vector>

#include "sources/ks/ks_property.h"
#include "support/fake_ks.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void put32(Bytes& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = uint8_t(x >> (8 * i));
}

// Every answer block ends at a no-access page: a read past any of them faults the test.
class KsMalformedTest : public testing::Test {
protected:
    void SetUp() override { ks.guardPages = true; }
    void TearDown() override {
        EXPECT_EQ(0, ks.openFilters);
        EXPECT_EQ(0, ks.liveBlocks);
        EXPECT_EQ(0, ks.liveEvents);
    }
    int32_t query(uint32_t propertyId, const FakeKsAnswer& answer) {
        ks.filters.clear();
        FakeKsFilter& f = ks.add(L"\\\\?\\filter", 1);
        f.raw[std::make_pair(0u, propertyId)] = answer;
        KsFilter* filter = openKsFilter(L"\\\\?\\filter", L"F", nullptr);
        KsPinInfo info;
        const int32_t result = queryPinInfo(filter, 0, &info);
        releasePinInfo(&info);
        closeKsFilter(filter);
        return result;
    }
    FakeKs ks;
};

TEST_F(KsMalformedTest, GuardPagesFollowTheBlocks) {
    uint8_t* block = static_cast<uint8_t*>(g_ksApi.allocateBlock(10));
    ASSERT_NE(nullptr, block);
    EXPECT_FALSE(IsBadReadPtr(block + 9, 1));
    EXPECT_TRUE(IsBadReadPtr(block + 10, 1));
    g_ksApi.releaseBlock(block);
}

TEST_F(KsMalformedTest, CountsLargerThanTheBlock) {
    Bytes good = FakeKs::multipleItems({{KSINTERFACESETID_STANDARD_SET, 0}});
    put32(good, 4, 1000000);  // the one real entry is found, the rest is never read
    EXPECT_EQ(0, query(KSPROPERTY_PIN_INTERFACES_ID, {good, -1, -1, false}));
    Bytes none = FakeKs::multipleItems({{KSINTERFACESETID_STANDARD_SET, 1}});
    put32(none, 4, 0xFFFFFFFF);
    EXPECT_EQ(-10, query(KSPROPERTY_PIN_INTERFACES_ID, {none, -1, -1, false}));
    Bytes mediums = FakeKs::multipleItems({});
    put32(mediums, 4, 3);
    EXPECT_EQ(-11, query(KSPROPERTY_PIN_MEDIUMS_ID, {mediums, -1, -1, false}));
    Bytes ranges = FakeKs::dataRanges({});
    put32(ranges, 4, 0x7FFFFFFF);
    EXPECT_EQ(-13, query(KSPROPERTY_PIN_DATARANGES_ID, {ranges, -1, -1, false}));
}

TEST_F(KsMalformedTest, BlocksShorterThanTheirHeader) {
    EXPECT_EQ(-2, query(KSPROPERTY_PIN_INTERFACES_ID, {{1, 0, 0, 0}, -1, -1, false}));
    EXPECT_EQ(-3, query(KSPROPERTY_PIN_MEDIUMS_ID, {{1}, -1, -1, false}));
    EXPECT_EQ(-4, query(KSPROPERTY_PIN_DATARANGES_ID, {{8, 0, 0, 0, 1, 0, 0}, -1, -1, false}));
}

TEST_F(KsMalformedTest, DataRangesOfImpossibleSizes) {
    const Bytes valid = FakeKs::dataRanges({KSDATAFORMAT_SUBTYPE_PCM_GUID, KSDATAFORMAT_SUBTYPE_PCM_GUID});
    struct Case {
        const char* what;
        uint32_t firstFormatSize;
        int32_t expected;
    } cases[] = {
        {"a range of 0 bytes (an endless walk)", 0, -13},
        {"a range shorter than its header", 63, -13},
        {"a range running past the block", 100000, -13},
        {"the first range exactly a header long", 64, -13},  // the second then starts inside the first
    };
    for (const Case& c : cases) {
        Bytes ranges = valid;
        put32(ranges, 8, c.firstFormatSize);
        // The first range's own sub-format is not acceptable, so only the walk can find one.
        ranges[8 + 32] = 0x77;
        ranges[8 + 33] = 0x77;
        ranges[8 + 34] = 0x77;
        EXPECT_EQ(c.expected, query(KSPROPERTY_PIN_DATARANGES_ID, {ranges, -1, -1, false})) << c.what;
    }
    // A valid second range after a valid first one is found.
    Bytes ranges = valid;
    ranges[8 + 34] = 0x77;
    EXPECT_EQ(0, query(KSPROPERTY_PIN_DATARANGES_ID, {ranges, -1, -1, false}));
    // A range header cut by the end of the block.
    Bytes cut(valid.begin(), valid.begin() + 8 + 40);
    EXPECT_EQ(-13, query(KSPROPERTY_PIN_DATARANGES_ID, {cut, -1, -1, false}));
}

TEST_F(KsMalformedTest, SecondAnswerLongerOrShorterThanTheSizeQuery) {
    const Bytes interfaces = FakeKs::multipleItems({{KSINTERFACESETID_STANDARD_SET, 0}});
    // Said 200 bytes, gave 32: the rest of the block is zero.
    EXPECT_EQ(0, query(KSPROPERTY_PIN_INTERFACES_ID, {interfaces, 200, -1, false}));
    // Said 8 bytes, then wanted to give 32: the request fails.
    EXPECT_EQ(-2, query(KSPROPERTY_PIN_INTERFACES_ID, {interfaces, 8, -1, false}));
    // Claims to have returned more than the block holds.
    EXPECT_EQ(0, query(KSPROPERTY_PIN_INTERFACES_ID, {interfaces, -1, 1000000, false}));
}

TEST_F(KsMalformedTest, NameFillingItsWholeBuffer) {
    Bytes name(519, 'A');  // no terminator anywhere
    EXPECT_EQ(0, query(KSPROPERTY_PIN_NAME_ID, {name, -1, -1, false}));
}

// Random answers to the three variable-size requests: counts, sizes, truncated blocks and lying
// size queries. Whatever comes, the pass ends, nothing is read outside a block, nothing leaks.
TEST_F(KsMalformedTest, TenThousandRandomAnswers) {
    const unsigned seed = getenv("HV_RANDOM_SEED") ? unsigned(strtoul(getenv("HV_RANDOM_SEED"), nullptr, 10)) : 20261207u;
    std::mt19937 random(seed);
    auto pick = [&](uint32_t n) { return uint32_t(random() % n); };
    const GUID interesting[] = {KSINTERFACESETID_STANDARD_SET, KSMEDIUMSETID_STANDARD_SET,
                                KSDATAFORMAT_SUBTYPE_PCM_GUID, KSDATAFORMAT_SUBTYPE_WAVEFORMATEX_GUID,
                                {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}}};
    const uint32_t properties[] = {KSPROPERTY_PIN_INTERFACES_ID, KSPROPERTY_PIN_MEDIUMS_ID,
                                   KSPROPERTY_PIN_DATARANGES_ID};
    int accepted = 0;
    const int rounds = 10000;
    for (int round = 0; round < rounds; ++round) {
        ks.filters.clear();
        FakeKsFilter& f = ks.add(L"\\\\?\\random", 1 + pick(3));
        for (uint32_t pin = 0; pin < f.pins.size(); ++pin) {
            for (uint32_t property : properties) {
                if (pick(4) == 0) continue;  // keep the well-formed answer
                FakeKsAnswer answer;
                answer.bytes.resize(pick(4) == 0 ? pick(8) : pick(400));
                for (uint8_t& b : answer.bytes) b = uint8_t(random());
                // Plausible structure now and then: a small count, range sizes, known GUIDs.
                if (answer.bytes.size() >= 8 && pick(2)) put32(answer.bytes, 4, pick(6));
                for (size_t at = 8; at + 48 <= answer.bytes.size(); at += 16 + pick(80)) {
                    if (pick(2)) put32(answer.bytes, at, pick(3) == 0 ? pick(200) : 64 + pick(40));
                    if (pick(2)) memcpy(&answer.bytes[at + 32], &interesting[pick(5)], 16);
                    else if (pick(2)) memcpy(&answer.bytes[at], &interesting[pick(5)], 16);
                }
                switch (pick(6)) {
                case 0: answer.sizeQuery = 0; break;
                case 1: answer.sizeQuery = int64_t(answer.bytes.size()) + pick(100); break;
                case 2: answer.sizeQuery = pick(uint32_t(answer.bytes.size()) + 1); break;
                case 3: answer.sizeQuery = 0xFFFFFFF0u; break;
                default: break;
                }
                if (pick(5) == 0) answer.returned = random();
                f.raw[std::make_pair(pin, property)] = answer;
            }
        }
        KsFilter* filter = openKsFilter(L"\\\\?\\random", L"Random", nullptr);
        ASSERT_NE(nullptr, filter);
        const int32_t result = collectStreamingPins(filter, DIRECTION_PLAYBACK);
        ASSERT_TRUE(result == 0 || result == -10) << "round " << round << ", seed " << seed;
        accepted += filter->pinCount;
        closeKsFilter(filter);
        ASSERT_EQ(0, ks.liveBlocks) << "round " << round << ", seed " << seed;
        if (round % 1000 == 999) ASSERT_TRUE(HeapValidate(GetProcessHeap(), 0, NULL)) << "round " << round;
    }
    // The answers were mixed: some pins got through, most did not.
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, rounds);
    ks.asked.clear();
    ks.outputBuffers.clear();
}

}  // namespace
