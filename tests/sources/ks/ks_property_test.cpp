#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sources/ks/ks_property.h"
#include "support/fake_ks.h"

namespace {

const GUID kMp3 = {0x00000055, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID kOtherFormat = {0x6DBA3190, 0x67BD, 0x11CF, {0xA0, 0xF7, 0x00, 0x20, 0xAF, 0xD1, 0x56, 0xE4}};
const GUID kNull = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

class KsTest : public testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(0, ks.openFilters) << "a filter was not closed";
        EXPECT_EQ(0, ks.liveBlocks) << "an answer block was not freed";
        EXPECT_TRUE(ks.lowBitSet);
    }
    // Opens a filter, collects its pins of a direction, and keeps what it found.
    int32_t collect(const std::wstring& path, Direction direction) {
        KsFilter* filter = openKsFilter(path.c_str(), L"Friendly", nullptr);
        EXPECT_NE(nullptr, filter);
        const int32_t result = collectStreamingPins(filter, direction);
        pinCount = filter->pinCount;
        pinIds.clear();
        for (int i = 0; i < filter->pinCount; ++i) pinIds.push_back(filter->pins[i].pinId);
        closeKsFilter(filter);
        return result;
    }
    int askedFor(uint32_t pin, uint32_t id) const {
        int n = 0;
        for (const auto& a : ks.asked) n += a.first == pin && a.second == id;
        return n;
    }

    FakeKs ks;
    int32_t pinCount = 0;
    std::vector<uint32_t> pinIds;
};

TEST_F(KsTest, PinTypeCount) {
    ks.add(L"\\\\?\\fails").pinTypesFail = true;
    ks.add(L"\\\\?\\none");
    ks.add(L"\\\\?\\negative", 1).pinTypes = 0xFFFFFFFBu;  // -5 as a signed count
    ks.add(L"\\\\?\\endless", 1).pinTypes = 0x7FFFFFFF;
    EXPECT_EQ(-1, collect(L"\\\\?\\fails", DIRECTION_PLAYBACK));
    EXPECT_EQ(-2, collect(L"\\\\?\\none", DIRECTION_PLAYBACK));
    EXPECT_EQ(-2, collect(L"\\\\?\\negative", DIRECTION_PLAYBACK));
    // A count no filter has: the walk stops after the first 256 pin types.
    EXPECT_EQ(0, collect(L"\\\\?\\endless", DIRECTION_PLAYBACK));
    EXPECT_EQ(1, pinCount);
    EXPECT_EQ(0, askedFor(256, KSPROPERTY_PIN_COMMUNICATION_ID));
    EXPECT_EQ(1, askedFor(255, KSPROPERTY_PIN_COMMUNICATION_ID));
    // A filter that cannot be opened fails at its first request.
    ks.add(L"\\\\?\\locked", 2).opens = false;
    KsFilter* filter = openKsFilter(L"\\\\?\\locked", L"Locked", nullptr);
    ASSERT_NE(nullptr, filter);
    EXPECT_EQ(INVALID_HANDLE_VALUE, filter->handle);
    EXPECT_STREQ(L"", filter->devicePath);
    EXPECT_STREQ(L"", filter->friendlyName);
    EXPECT_EQ(-1, collectStreamingPins(filter, DIRECTION_PLAYBACK));
    closeKsFilter(filter);
}

TEST_F(KsTest, CommunicationAndDataFlowByDirection) {
    FakeKsFilter& f = ks.add(L"\\\\?\\mixed", 5);
    f.pins[0].dataFlow = KS_DATAFLOW_IN;
    f.pins[1].dataFlow = KS_DATAFLOW_OUT;
    f.pins[2].communication = KS_COMMUNICATION_BOTH;  // its data flow is asked, but it is not taken
    f.pins[3].communication = 2;                      // a source: not even its data flow is asked
    f.pins[4].dataFlow = KS_DATAFLOW_OUT;
    f.pins[4].failing = {KSPROPERTY_PIN_DATAFLOW_ID};
    EXPECT_EQ(0, collect(L"\\\\?\\mixed", DIRECTION_PLAYBACK));
    EXPECT_EQ(std::vector<uint32_t>{0}, pinIds);
    EXPECT_EQ(1, askedFor(2, KSPROPERTY_PIN_DATAFLOW_ID));
    EXPECT_EQ(0, askedFor(3, KSPROPERTY_PIN_DATAFLOW_ID));
    EXPECT_EQ(std::vector<uint32_t>{1}, (collect(L"\\\\?\\mixed", DIRECTION_RECORDING), pinIds));
}

TEST_F(KsTest, InterfacesMediumsAndDataRanges) {
    FakeKsFilter& f = ks.add(L"\\\\?\\f", 9);
    f.pins[0].interfaces = {{KSINTERFACESETID_STANDARD_SET, 1}};  // looped streaming only
    f.pins[1].interfaces = {};
    f.pins[2].mediums = {{KSMEDIUMSETID_STANDARD_SET, 1}};
    f.pins[3].subFormats = {kMp3, kOtherFormat};  // kMp3 differs in its first two bytes only
    f.pins[4].subFormats = {kOtherFormat};
    f.pins[5].subFormats = {kOtherFormat, kNull};  // the wildcard
    f.pins[6].subFormats = {};
    f.pins[7].subFormats = {KSDATAFORMAT_SUBTYPE_IEEE_FLOAT_GUID};
    f.pins[8].interfaces = {{KSINTERFACESETID_STANDARD_SET, 1}, {KSINTERFACESETID_STANDARD_SET, 0}};
    const int32_t expected[] = {-10, -10, -11, 0, -13, 0, -13, 0, 0};
    KsFilter* filter = openKsFilter(L"\\\\?\\f", L"F", nullptr);
    for (uint32_t pin = 0; pin < 9; ++pin) {
        KsPinInfo info;
        EXPECT_EQ(expected[pin], queryPinInfo(filter, pin, &info)) << "pin " << pin;
        EXPECT_EQ(pin, info.pinId);
        releasePinInfo(&info);
    }
    closeKsFilter(filter);
    EXPECT_EQ(0, collect(L"\\\\?\\f", DIRECTION_PLAYBACK));
    EXPECT_EQ((std::vector<uint32_t>{3, 5, 7, 8}), pinIds);
}

TEST_F(KsTest, FailingRequestsOfAPin) {
    FakeKsFilter& f = ks.add(L"\\\\?\\f", 6);
    f.pins[0].failing = {KSPROPERTY_PIN_INTERFACES_ID};
    f.pins[1].failing = {KSPROPERTY_PIN_MEDIUMS_ID};
    f.pins[2].failing = {KSPROPERTY_PIN_DATARANGES_ID};
    f.pins[3].failing = {KSPROPERTY_PIN_CINSTANCES_ID};
    f.pins[4].failing = {KSPROPERTY_PIN_NAME_ID, KSPROPERTY_PIN_GLOBALCINSTANCES_ID, KSPROPERTY_PIN_CATEGORY_ID};
    f.pins[5].name = std::wstring(400, L'n');  // longer than the name request's 519 bytes: still accepted
    const int32_t expected[] = {-2, -3, -4, -6, 0, 0};
    KsFilter* filter = openKsFilter(L"\\\\?\\f", L"F", nullptr);
    for (uint32_t pin = 0; pin < 6; ++pin) {
        KsPinInfo info;
        EXPECT_EQ(expected[pin], queryPinInfo(filter, pin, &info)) << "pin " << pin;
        releasePinInfo(&info);
    }
    closeKsFilter(filter);
}

TEST_F(KsTest, AtMostEightPins) {
    ks.add(L"\\\\?\\eight", 8);
    ks.add(L"\\\\?\\nine", 9);
    EXPECT_EQ(0, collect(L"\\\\?\\eight", DIRECTION_PLAYBACK));
    EXPECT_EQ(8, pinCount);
    EXPECT_EQ(-10, collect(L"\\\\?\\nine", DIRECTION_PLAYBACK));
    EXPECT_EQ(8, pinCount);
}

TEST_F(KsTest, SizeQueries) {
    FakeKsFilter& f = ks.add(L"\\\\?\\f", 1);
    FakeKsAnswer empty;
    empty.sizeQuery = 0;  // a size query answered with success and 0 bytes
    f.raw[std::make_pair(0u, KSPROPERTY_PIN_INTERFACES_ID)] = empty;
    FakeKsAnswer huge = {FakeKs::multipleItems({{KSMEDIUMSETID_STANDARD_SET, 0}}), 0x7FFFFFFF, -1, false};
    f.raw[std::make_pair(0u, KSPROPERTY_PIN_MEDIUMS_ID)] = huge;
    KsFilter* filter = openKsFilter(L"\\\\?\\f", L"F", nullptr);
    uint8_t* block = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(E_FAIL, getPinPropertyAlloc(filter->handle, 0, KSPROPERTY_PIN_INTERFACES_ID, &block, &size, nullptr));
    EXPECT_EQ(nullptr, block);
    EXPECT_EQ(E_OUTOFMEMORY, getPinPropertyAlloc(filter->handle, 0, KSPROPERTY_PIN_MEDIUMS_ID, &block, &size, nullptr));
    EXPECT_EQ(S_OK, getPinPropertyAlloc(filter->handle, 0, KSPROPERTY_PIN_DATARANGES_ID, &block, &size, nullptr));
    EXPECT_EQ(FakeKs::dataRanges({KSDATAFORMAT_SUBTYPE_PCM_GUID}).size(), size);
    g_ksApi.releaseBlock(block);
    closeKsFilter(filter);
}

TEST_F(KsTest, RequestsUseBuffersOfTheirOwn) {
    ks.add(L"\\\\?\\f", 1);
    KsFilter* filter = openKsFilter(L"\\\\?\\f", L"F", nullptr);
    uint32_t value = 0;
    EXPECT_EQ(S_OK, getPinProperty(filter->handle, 0, KSPROPERTY_PIN_DATAFLOW_ID, &value, 4, nullptr));
    EXPECT_EQ(uint32_t(KS_DATAFLOW_IN), value);
    // The driver writes into the request's own block, never straight into the caller's.
    EXPECT_NE(static_cast<const void*>(&value), ks.outputBuffers.back());
    closeKsFilter(filter);
    EXPECT_EQ(0, ks.liveEvents);
}

TEST_F(KsTest, PendingRequestCompletingInTime) {
    FakeKsFilter& f = ks.add(L"\\\\?\\slow", 1);
    f.timing = PEND_THEN_COMPLETE;
    f.completeAfterMs = 100;
    KsFilter* filter = openKsFilter(L"\\\\?\\slow", L"Slow", nullptr);
    KsPinRequest request = {KSPROPSETID_PIN_SET, KSPROPERTY_PIN_DATAFLOW_ID, 1, 0, 0};
    uint32_t value = 0, count = 99;
    EXPECT_EQ(S_OK, ksPropertyRequest(filter->handle, request, &value, 4, &count, nullptr));
    EXPECT_EQ(0u, count);  // a pended request reports no byte count
    EXPECT_EQ(uint32_t(KS_DATAFLOW_IN), value);
    // A size query that pends reads as 0 bytes, so the allocating request fails.
    uint8_t* block = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(E_FAIL, getPinPropertyAlloc(filter->handle, 0, KSPROPERTY_PIN_INTERFACES_ID, &block, &size, nullptr));
    // A request that pends and then fails has failed: its final status decides, and the
    // caller's output is left as it was.
    FakeKsAnswer failing;
    failing.fails = true;
    f.raw[std::make_pair(0u, KSPROPERTY_PIN_CATEGORY_ID)] = failing;
    GUID category;
    memset(&category, 0x5A, sizeof(category));
    EXPECT_EQ(E_FAIL, getPinProperty(filter->handle, 0, KSPROPERTY_PIN_CATEGORY_ID, &category, 16, nullptr));
    EXPECT_EQ(0x5A5A5A5Au, category.Data1);
    closeKsFilter(filter);
    EXPECT_EQ(0, ks.cancels);
    EXPECT_EQ(0, ks.liveEvents);
}

// Windows' code for a wait that ran out: what a request that had to be cancelled gives.
const HRESULT kNoAnswer = HRESULT_FROM_WIN32(ERROR_TIMEOUT);

TEST_F(KsTest, PendingRequestIsCancelledAndAwaited) {
    FakeKsFilter& f = ks.add(L"\\\\?\\stuck", 1);
    f.timing = PEND_UNTIL_CANCELLED;
    KsFilter* filter = openKsFilter(L"\\\\?\\stuck", L"Stuck", nullptr);
    uint32_t value = 7;
    const DWORD start = GetTickCount();
    EXPECT_EQ(kNoAnswer, getPinProperty(filter->handle, 0, KSPROPERTY_PIN_DATAFLOW_ID, &value, 4, nullptr));
    const DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 990u);
    EXPECT_LT(took, 1900u);
    EXPECT_EQ(1, ks.cancels);
    EXPECT_EQ(7u, value);  // nothing written into the caller's buffer
    EXPECT_EQ(0, ks.liveEvents) << "the completed request's event is closed";
    closeKsFilter(filter);

    // A filter that answers its pin type count, then nothing: one missed deadline and the walk
    // ends; the filter is asked nothing more, however many pin types it claimed.
    FakeKsFilter& mute = ks.add(L"\\\\?\\mute", 3);
    mute.pinTypes = 256;
    mute.pinTypesAtOnce = true;
    mute.timing = PEND_UNTIL_CANCELLED;
    ks.asked.clear();
    filter = openKsFilter(L"\\\\?\\mute", L"Mute", nullptr);
    EXPECT_EQ(-20, collectStreamingPins(filter, DIRECTION_PLAYBACK));
    EXPECT_EQ(-1, collectStreamingPins(filter, DIRECTION_PLAYBACK));
    KsPinInfo info;
    EXPECT_EQ(-20, queryPinInfo(filter, 1, &info));
    releasePinInfo(&info);
    EXPECT_EQ((std::vector<std::pair<uint32_t, uint32_t>>{{0, KSPROPERTY_PIN_CTYPES_ID},
                                                          {0, KSPROPERTY_PIN_COMMUNICATION_ID}}),
              ks.asked);
    EXPECT_EQ(2, ks.cancels);
    EXPECT_EQ(0, filter->pinCount);
    closeKsFilter(filter);
}

TEST_F(KsTest, ADriverIgnoringTheCancelKeepsItsBlock) {
    FakeKsFilter& f = ks.add(L"\\\\?\\rogue", 3);
    f.pinTypesAtOnce = true;
    f.timing = PEND_IGNORING_CANCEL;
    f.completeAfterMs = 4000;  // well after both waits have given up, even on a busy machine
    KsFilter* filter = openKsFilter(L"\\\\?\\rogue", L"Rogue", nullptr);
    const DWORD start = GetTickCount();
    EXPECT_EQ(-20, collectStreamingPins(filter, DIRECTION_PLAYBACK));
    const DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 1990u);  // a second's wait, the cancel, and a second more
    EXPECT_LT(took, 3500u);
    // The handle still holds the first pin's request: it is sent nothing more.
    EXPECT_EQ(2, ks.requests);
    closeKsFilter(filter);
    // The late completion writes into the block and signals the event the request left to it.
    Sleep(4000 - took + 800);
    EXPECT_EQ(1, ks.lateWrites);
    EXPECT_EQ(1, ks.liveEvents);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, NULL));
}

}  // namespace
