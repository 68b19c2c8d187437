#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/device_inventory.h"
#include "support/check_world.h"
#include "support/fake_endpoints.h"
#include "support/fake_world.h"
#include "support/test_registry.h"

namespace {

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
