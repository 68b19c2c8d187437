#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "inventory/device_inventory.h"
#include "support/check_world.h"
#include "support/fake_endpoints.h"
#include "support/fake_world.h"
#include "support/records.h"
#include "support/test_registry.h"

namespace {

// A list on the fake world's memory, freed at the end of the test.
class ListTest : public testing::Test {
protected:
    void SetUp() override { initList(&list); }
    void TearDown() override {
        freeList(&list);
        EXPECT_EQ(0, world.liveBlocks) << "list memory leaked";
    }
    void add(uint32_t kind, const std::wstring& name) {
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
        uint32_t kindA;
        const wchar_t* a;
        uint32_t kindB;
        const wchar_t* b;
        int expected;
    } cases[] = {
        {KIND_WDM, L"Z", KIND_KS, L"A", -1},    // endpoints before kernel streaming
        {KIND_KS, L"A", KIND_MME, L"A", -1},    // kernel streaming before wave devices
        {KIND_MME, L"A", KIND_WDM, L"Z", 1},
        {0x7, L"A", KIND_WDM, L"A", 0},         // unknown kinds rank with the endpoints
        {KIND_KS | KS_CAPTURE_FLAG, L"A", KIND_KS, L"A", 0},  // only the low 16 bits count
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
    const uint32_t kinds[] = {KIND_MME, KIND_KS, KIND_WDM, 0x2};
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

TEST(ToNarrow, CopiesCutsAndTerminates) {
    char buffer[8];
    memset(buffer, 'x', sizeof(buffer));
    toNarrow(L"abc", buffer, sizeof(buffer));
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(0, buffer[7]);  // the rest was zeroed

    toNarrow(L"abcdefghij", buffer, sizeof(buffer));
    EXPECT_STREQ("abcdefg", buffer);

    memset(buffer, 'x', sizeof(buffer));
    toNarrow(L"", buffer, sizeof(buffer));
    EXPECT_EQ(0, buffer[0]);
    EXPECT_EQ('x', buffer[1]);  // an empty text only ends the buffer's text

    toNarrow(L"caf\x00E9 \x4E2D", buffer, sizeof(buffer));
    EXPECT_STREQ("caf\xE9 ?", buffer);  // outside the ANSI code page: the default character
}

// --- the audio side and the wave device source --------------------------------------------------

class InventoryTest : public testing::Test {
protected:
    void TearDown() override {
        closeInventory();
        EXPECT_EQ(0, world.liveBlocks) << "inventory memory leaked";
    }
    FakeWorld world;
};

TEST_F(InventoryTest, OpeningSetsUpTheAudioSideAndRunsAPass) {
    world.waveOut.push_back({L"Speakers", 2, false});
    EXPECT_EQ(0, openInventory(0x10020D));
    EXPECT_EQ(0x10020Du, g_inventory.options);
    EXPECT_EQ(1, world.timeBeginCalls);
    EXPECT_EQ(1, world.coInitializeCalls);
    EXPECT_EQ(1, g_inventory.ksAvailable);
    EXPECT_EQ(1, g_inventory.endpointsAvailable);
    EXPECT_NE(nullptr, g_inventory.ksInterfaces.items);
    EXPECT_EQ(8192u, g_inventory.ksInterfaces.capacityBytes);
    EXPECT_EQ(1u, recordCount(g_inventory.outputDevices));  // the first pass ran
}

TEST_F(InventoryTest, ModulesDecideWhichSourcesMayRun) {
    world.ksCreatePinPresent = false;
    world.createEventExPresent = false;
    openInventory(0x10020D);
    EXPECT_EQ(0, g_inventory.ksAvailable);
    EXPECT_EQ(0, g_inventory.endpointsAvailable);
    EXPECT_EQ(1, world.ksuserLoads);
    closeInventory();
    EXPECT_EQ(1, world.ksuserFrees);

    world.ksuserPresent = false;
    openInventory(0x10020D);
    EXPECT_EQ(0, g_inventory.ksAvailable);
    EXPECT_EQ(nullptr, g_inventory.ksuserModule);
}

TEST_F(InventoryTest, ClosingTwiceReleasesOnce) {
    openInventory(0x10020D);
    closeInventory();
    closeInventory();
    EXPECT_EQ(1, world.timeEndCalls);
    EXPECT_EQ(1, world.coUninitializeCalls);
    EXPECT_EQ(1, world.ksuserFrees);
}

TEST_F(InventoryTest, ComIsUninitialisedOnlyAfterSuccess) {
    for (HRESULT result : {S_OK, S_FALSE, RPC_E_CHANGED_MODE, E_OUTOFMEMORY}) {
        world.coInitializeResult = result;
        world.coUninitializeCalls = 0;
        openInventory(0x10020D);
        closeInventory();
        EXPECT_EQ(result == S_OK || result == S_FALSE ? 1 : 0, world.coUninitializeCalls) << std::hex << result;
    }
}

TEST_F(InventoryTest, TimerPeriodOnlyWithItsOption) {
    openInventory(0x20D);
    closeInventory();
    EXPECT_EQ(0, world.timeBeginCalls);
    EXPECT_EQ(0, world.timeEndCalls);
}

TEST_F(InventoryTest, WaveDevicesOfBothDirections) {
    world.waveIn = {{L"Mic B", 1, false}, {L"Line A", 2, false}};
    world.waveOut = {{L"Speakers", 6, false}};
    openInventory(0x10020D);
    ASSERT_EQ(2u, recordCount(g_inventory.inputDevices));
    const DeviceRecord* first = recordAt(g_inventory.inputDevices, 1);
    EXPECT_STREQ(L"Line A", first->pinNameW);  // sorted by name
    EXPECT_STREQ("Line A", first->pinName);
    EXPECT_EQ(1, first->index);
    EXPECT_EQ(2u, first->channels);
    EXPECT_EQ(KIND_MME, first->kind);
    EXPECT_EQ(0, recordAt(g_inventory.inputDevices, 2)->index);
    ASSERT_EQ(1u, recordCount(g_inventory.outputDevices));
    EXPECT_EQ(6u, recordAt(g_inventory.outputDevices, 1)->channels);
    EXPECT_FALSE(world.waveMapperAsked);
}

TEST_F(InventoryTest, AFailingWaveDeviceIsSkippedWithoutRenumbering) {
    world.waveOut = {{L"dev0", 2, false}, {L"dev1", 2, true}, {L"dev2", 2, false}};
    openInventory(0x10020D);
    ASSERT_EQ(2u, recordCount(g_inventory.outputDevices));
    EXPECT_EQ(0, recordAt(g_inventory.outputDevices, 1)->index);
    EXPECT_EQ(2, recordAt(g_inventory.outputDevices, 2)->index);
    EXPECT_STREQ(L"dev2", recordAt(g_inventory.outputDevices, 2)->pinNameW);
}

TEST_F(InventoryTest, AWaveNameFillingAllItsUnitsIsTerminated) {
    world.waveIn = {{std::wstring(40, L'n'), 2, false, true}};
    openInventory(0x10020D);
    ASSERT_EQ(1u, recordCount(g_inventory.inputDevices));
    EXPECT_EQ(std::wstring(32, L'n'), recordAt(g_inventory.inputDevices, 1)->pinNameW);
}

TEST_F(InventoryTest, WaveDevicesOnlyWithTheirOption) {
    world.waveIn = {{L"Mic", 1, false}};
    openInventory(0x10020C);
    EXPECT_EQ(0u, recordCount(g_inventory.inputDevices));
}

TEST_F(InventoryTest, PassesDoNotAccumulate) {
    world.waveIn = {{L"Mic", 1, false}, {L"Line", 2, false}};
    openInventory(0x10020D);
    collectDevices();
    collectDevices();
    EXPECT_EQ(2u, recordCount(g_inventory.inputDevices));
    world.waveIn.pop_back();
    collectDevices();
    EXPECT_EQ((std::vector<std::wstring>{L"Mic"}), pinNames(g_inventory.inputDevices));
}

TEST_F(InventoryTest, EndpointsOnlyFromWindowsVistaOnAndWithTheirOption) {
    TestRegistry registry;
    FakeEndpoints endpoints;
    endpoints.add(eRender, L"{0.0.0.00000000}.{aaaaaaaa-0000-0000-0000-000000000001}", L"Speakers (Card)", L"Card");
    endpoints.add(eCapture, L"{0.0.1.00000000}.{bbbbbbbb-0000-0000-0000-000000000002}", L"Z Mic (Card)", L"Card");
    world.waveIn = {{L"A Mic", 1, false}};

    openInventory(0x10020D);
    ASSERT_EQ(2u, recordCount(g_inventory.inputDevices));
    // Endpoints come first whatever their names; then the wave devices.
    EXPECT_EQ(KIND_WDM, recordAt(g_inventory.inputDevices, 1)->kind);
    EXPECT_STREQ(L"Z Mic (Card)", recordAt(g_inventory.inputDevices, 1)->pinNameW);
    EXPECT_EQ(KIND_MME, recordAt(g_inventory.inputDevices, 2)->kind);
    EXPECT_EQ(1u, recordCount(g_inventory.outputDevices));
    closeInventory();

    world.createEventExPresent = false;  // before Windows Vista
    openInventory(0x10020D);
    EXPECT_EQ(1u, recordCount(g_inventory.inputDevices));
    EXPECT_EQ(0u, recordCount(g_inventory.outputDevices));
    closeInventory();

    world.createEventExPresent = true;
    openInventory(0x10020D & ~0x4u);
    EXPECT_EQ(1u, recordCount(g_inventory.inputDevices));
    EXPECT_EQ(0u, endpoints.askedFlows.size() - 2);  // only the first opening asked
}

TEST_F(InventoryTest, ListsWithoutStorageReadAsEmpty) {
    world.waveIn = {{L"Mic", 1, false}};
    world.failAllocationNumber = 1;  // every list allocation fails at opening
    openInventory(0x10020D);
    EXPECT_EQ(nullptr, g_inventory.inputDevices.items);
    EXPECT_EQ(0u, recordCount(g_inventory.inputDevices));
    world.failAllocationNumber = 0;
    collectDevices();
    EXPECT_EQ(0u, recordCount(g_inventory.inputDevices));
}

}  // namespace
