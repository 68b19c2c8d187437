#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/registry.h"
#include "inventory/device_inventory.h"
#include "report/checker_run.h"
#include "support/check_world.h"
#include "support/fake_endpoints.h"
#include "support/fake_world.h"
#include "support/golden.h"
#include "support/saved_table.h"
#include "support/scenario_files.h"
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
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    EXPECT_EQ(kCollectionOptions, g_inventory.options);
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
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    EXPECT_EQ(0, g_inventory.ksAvailable);
    EXPECT_EQ(0, g_inventory.endpointsAvailable);
    EXPECT_EQ(1, world.ksuserLoads);
    closeInventory();
    EXPECT_EQ(1, world.ksuserFrees);

    world.ksuserPresent = false;
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    EXPECT_EQ(0, g_inventory.ksAvailable);
    EXPECT_EQ(nullptr, g_inventory.ksuserModule);
}

TEST_F(InventoryTest, ClosingTwiceReleasesOnce) {
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
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
        openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
        closeInventory();
        EXPECT_EQ(result == S_OK || result == S_FALSE ? 1 : 0, world.coUninitializeCalls) << std::hex << result;
    }
}

TEST_F(InventoryTest, TimerPeriodOnlyWithItsOption) {
    openInventory(kCollectionOptions & ~OPT_TIMER_1MS, catalogHardwareIds(), nullptr);
    closeInventory();
    EXPECT_EQ(0, world.timeBeginCalls);
    EXPECT_EQ(0, world.timeEndCalls);
}

TEST_F(InventoryTest, WaveDevicesOfBothDirections) {
    world.waveIn = {{L"Mic B", 1, false}, {L"Line A", 2, false}};
    world.waveOut = {{L"Speakers", 6, false}};
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    ASSERT_EQ(2u, recordCount(g_inventory.inputDevices));
    const DeviceRecord* first = recordAt(g_inventory.inputDevices, 1);
    EXPECT_STREQ(L"Line A", first->pinNameW);  // sorted by name
    EXPECT_STREQ("Line A", first->pinName);
    EXPECT_EQ(1, first->index);
    EXPECT_EQ(2u, first->channels);
    EXPECT_EQ(1u, first->kind);  // MME
    EXPECT_EQ(0, recordAt(g_inventory.inputDevices, 2)->index);
    ASSERT_EQ(1u, recordCount(g_inventory.outputDevices));
    EXPECT_EQ(6u, recordAt(g_inventory.outputDevices, 1)->channels);
    EXPECT_FALSE(world.waveMapperAsked);
}

TEST_F(InventoryTest, AFailingWaveDeviceIsSkippedWithoutRenumbering) {
    world.waveOut = {{L"dev0", 2, false}, {L"dev1", 2, true}, {L"dev2", 2, false}};
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    ASSERT_EQ(2u, recordCount(g_inventory.outputDevices));
    EXPECT_EQ(0, recordAt(g_inventory.outputDevices, 1)->index);
    EXPECT_EQ(2, recordAt(g_inventory.outputDevices, 2)->index);
    EXPECT_STREQ(L"dev2", recordAt(g_inventory.outputDevices, 2)->pinNameW);
}

TEST_F(InventoryTest, AWaveNameFillingAllItsUnitsIsTerminated) {
    world.waveIn = {{std::wstring(40, L'n'), 2, false, true}};
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    ASSERT_EQ(1u, recordCount(g_inventory.inputDevices));
    EXPECT_EQ(std::wstring(32, L'n'), recordAt(g_inventory.inputDevices, 1)->pinNameW);
}

TEST_F(InventoryTest, WaveDevicesOnlyWithTheirOption) {
    world.waveIn = {{L"Mic", 1, false}};
    openInventory(kCollectionOptions & ~OPT_MME, catalogHardwareIds(), nullptr);
    EXPECT_EQ(0u, recordCount(g_inventory.inputDevices));
}

TEST_F(InventoryTest, PassesDoNotAccumulate) {
    world.waveIn = {{L"Mic", 1, false}, {L"Line", 2, false}};
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    collectDevices(NULL);
    collectDevices(NULL);
    EXPECT_EQ(2u, recordCount(g_inventory.inputDevices));
    world.waveIn.pop_back();
    collectDevices(NULL);
    EXPECT_EQ((std::vector<std::wstring>{L"Mic"}), pinNames(g_inventory.inputDevices));
}

// The first test reads the opening's pass as it stands; a later test, or one after another
// pass, collects anew.
TEST_F(InventoryTest, TheFirstTestReadsTheOpeningPass) {
    world.waveIn = {{L"Mic", 1, false}};
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    world.waveIn.push_back({L"Line", 2, false});
    collectDevicesForRun(nullptr);
    EXPECT_EQ((std::vector<std::wstring>{L"Mic"}), pinNames(g_inventory.inputDevices));
    collectDevicesForRun(nullptr);
    EXPECT_EQ((std::vector<std::wstring>{L"Line", L"Mic"}), pinNames(g_inventory.inputDevices));
    closeInventory();

    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    collectDevices(NULL);
    world.waveIn.pop_back();
    collectDevicesForRun(nullptr);
    EXPECT_EQ((std::vector<std::wstring>{L"Mic"}), pinNames(g_inventory.inputDevices));
}

TEST_F(InventoryTest, EndpointsOnlyFromWindowsVistaOnAndWithTheirOption) {
    TestRegistry registry;
    FakeEndpoints endpoints;
    endpoints.add(eRender, L"{0.0.0.00000000}.{aaaaaaaa-0000-0000-0000-000000000001}", L"Speakers (Card)", L"Card");
    endpoints.add(eCapture, L"{0.0.1.00000000}.{bbbbbbbb-0000-0000-0000-000000000002}", L"Z Mic (Card)", L"Card");
    world.waveIn = {{L"A Mic", 1, false}};

    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    ASSERT_EQ(2u, recordCount(g_inventory.inputDevices));
    // Endpoints come first whatever their names; then the wave devices.
    EXPECT_EQ(4u, recordAt(g_inventory.inputDevices, 1)->kind);  // WDM
    EXPECT_STREQ(L"Z Mic (Card)", recordAt(g_inventory.inputDevices, 1)->pinNameW);
    EXPECT_EQ(1u, recordAt(g_inventory.inputDevices, 2)->kind);  // MME
    EXPECT_EQ(1u, recordCount(g_inventory.outputDevices));
    closeInventory();

    world.createEventExPresent = false;  // before Windows Vista
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    EXPECT_EQ(1u, recordCount(g_inventory.inputDevices));
    EXPECT_EQ(0u, recordCount(g_inventory.outputDevices));
    closeInventory();

    world.createEventExPresent = true;
    openInventory(kCollectionOptions & ~OPT_ENDPOINTS, catalogHardwareIds(), nullptr);
    EXPECT_EQ(1u, recordCount(g_inventory.inputDevices));
    EXPECT_EQ(0u, endpoints.askedFlows.size() - 2);  // only the first opening asked
}

TEST_F(InventoryTest, ListsWithoutStorageReadAsEmpty) {
    world.waveIn = {{L"Mic", 1, false}};
    world.failAllocationNumber = 1;  // every list allocation fails at opening
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    EXPECT_EQ(nullptr, g_inventory.inputDevices.items);
    EXPECT_EQ(0u, recordCount(g_inventory.inputDevices));
    world.failAllocationNumber = 0;
    collectDevices(NULL);
    EXPECT_EQ(0u, recordCount(g_inventory.inputDevices));
}

long g_opens = 0;
LONG WINAPI countedOpen(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    ++g_opens;
    return RegOpenKeyExW(key, subKey, options, access, result);
}

// A store of many entries as machines keep them: left-over entries ahead of live ones with the
// same names, names repeated, both forms of the full name, names that differ in case only,
// entries without "Properties" or without one of the names, endpoint GUIDs in either case, and
// the recording side only in the 64-bit view. Wave devices and endpoints are completed from it;
// the report must stay the same, byte for byte, however the store is read.
TEST_F(InventoryTest, ManyStoreEntriesGolden) {
    TestRegistry registry;
    FakeEndpoints endpoints;
    const REGSAM views[] = {0, KEY_WOW64_64KEY};
    registry.createKey(TestRegistry::directionPath(L"Capture"));  // empty in the default view
    for (int side = 0; side < 2; ++side) {
        const wchar_t* direction = side ? L"Capture" : L"Render";
        for (int i = 0; i < 60; ++i) {
            wchar_t name[64], number[16];
            _snwprintf(name, 64, L"{%08X-0000-0000-%04X-00000000%04X}", i * 7919, side, i);
            _snwprintf(number, 16, L"%02i", i);
            std::wstring entry = name;
            const std::wstring adapter = L"USB Audio " + std::to_wstring(i / 10 % 3);
            const std::wstring icon = L"%SystemRoot%\\system32\\icon" + std::wstring(number) + L".ico,-" + number;
            switch (i % 10) {
            case 0: registry.addEndpoint(direction, entry, L"Speakers", adapter, L"x:LEFTOVER" + std::wstring(number), icon, views[side]); break;
            case 1: registry.addEndpoint(direction, entry, L"Speakers", adapter, L"{1}.ROOT:LIVE" + std::wstring(number), icon, views[side]); break;
            case 2: registry.addEndpoint(direction, entry, L"Speakers", L"", L"x:NOADAPTER", icon, views[side]); break;
            case 3: registry.addEndpoint(direction, entry, L"Line Out", L"Card " + std::wstring(number), L"x:LINE" + std::wstring(number), L"", views[side]); break;
            case 4: registry.addEndpoint(direction, entry, L"A very long description that winmm cuts", L"Adapter", L"NOCOLON" + std::wstring(number), icon, views[side]); break;
            case 5: registry.addEndpoint(direction, entry, L"speakers", adapter, L"x:LOWER" + std::wstring(number), icon, views[side]); break;
            case 6: registry.addEndpoint(direction, entry, L"Mic Array", L"Adapter", L"a:b:ARRAY" + std::wstring(number), icon, views[side]); break;
            case 7: registry.addEndpoint(direction, entry, L"Digital Output", adapter, L"x:DIGITAL" + std::wstring(number), icon, views[side]); break;
            case 8:
                for (wchar_t& c : entry) c = wchar_t(towlower(c));  // the endpoint asks for it in capitals
                registry.addEndpoint(direction, entry, L"Headset", adapter, L"x:HEADSET" + std::wstring(number), icon, views[side]);
                break;
            default: registry.createKey(TestRegistry::directionPath(direction) + L"\\" + entry, views[side]); break;
            }
        }
        std::vector<FakeWaveDevice>& waves = side ? world.waveIn : world.waveOut;
        for (const wchar_t* wave : {L"Speakers (USB Audio 0)", L"Speakers (USB Audio 1)", L"Speakers (USB Audio 2)",
                                    L"speakers (USB Audio 0)", L"Line Out(Card 33)", L"Line Out (Card 13)",
                                    L"A very long description that winmm cuts (Adapter)", L"Mic Array(Adapter)",
                                    L"Unknown Device", L"", L"Headset (USB Audio 2)", L"Speakers"})
            waves.push_back({wave, 2, false});
        const EDataFlow flow = side ? eCapture : eRender;
        const std::wstring prefix = side ? L"{0.0.1.00000000}." : L"{0.0.0.00000000}.";
        wchar_t guid[64];
        _snwprintf(guid, 64, L"{%08X-0000-0000-%04X-00000000%04X}", 17 * 7919, side, 17);
        endpoints.add(flow, prefix + guid, L"Digital Output (USB Audio 1)", L"USB Audio 1");
        _snwprintf(guid, 64, L"{%08X-0000-0000-%04X-00000000%04X}", 48 * 7919, side, 48);  // stored in small letters
        endpoints.add(flow, prefix + guid, L"Headset (USB Audio 1)", L"USB Audio 1");
        endpoints.add(flow, prefix + L"{FFFFFFFF-0000-0000-0000-00000000FFFF}", L"Gone (USB Audio 2)", L"USB Audio 2");
        endpoints.add(flow, L"", L"Speakers (USB Audio 2)", L"USB Audio 2");  // no identifier: by name
    }

    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    // A pass opens each entry once, and each endpoint's own entry once: 120 entries, 32
    // devices, and a few keys besides (directions, their retries).
    g_opens = 0;
    {
        const SavedTable<RegistryApi> saved(g_registryApi);
        g_registryApi.regOpenKeyExW = countedOpen;
        collectDevices(NULL);
    }
    EXPECT_LE(g_opens, 120 + 32 + 50);

    LogBuffer log;
    createLog(&log);
    const OsIdentification os = {OS_WIN10, 10, 0, 19045, 2};
    CatalogVersions versions;
    const RunContext context = {&g_inventory, &os, 1, 0, askCatalogVersions(&versions)};
    JsonRuns json = {};
    runAndRender(context, &log, &json);
    EXPECT_TRUE(matchesGolden(std::wstring(log.text, log.length), "many_store_entries.txt"));
    saveScenario("many_store_entries", json, std::wstring(log.text, log.length));
    releaseJsonRuns(&json);
    releaseLog(&log);
}

// A store of 5,000 entries as other makers and broken installers leave them: quotes,
// backslashes, control characters, line breaks, lone and paired surrogates, look-alikes and
// over-long names in every text, catalogued hardware IDs among them. Endpoints and wave devices
// take those texts into the lists and the first driver's findings; the JSON report of the run
// must stay a valid document (checked by tests/report/check_json_reports.py).
TEST_F(InventoryTest, HostileStoreGivesAJsonReportThatStaysValid) {
    TestRegistry registry;
    FakeEndpoints endpoints;
    const std::wstring names[] = {
        L"Speakers \"quoted\" \\ \\\\server",     L"Ctl\x01\x1f\x7f name\r\nIN MME Fake | x",
        L"Lone \xD800 high and \xDC00 low",         L"Pair \xD83D\xDE00 and tab\tend",
        std::wstring(400, L'L'),                     L"\xFF28\xFF41\xFF4C\xFF56\xFF41\xFF4E\xFF45 look-alike",
        L"\"}]},{\"x\":\"", L"VESSO Output (Halvane Virtual Vesso)"};
    const std::wstring hardwareIds[] = {L"HalvaneVSOWDM", L"\xFF28\xFF41lvaneVSOWDM", L"Halvane\x01VSO\r\n",
                                        L"USB\\VID_0D8C\"", std::wstring(300, L'H'), L"halvanevsowdm"};
    const std::wstring icons[] = {L"C:\\a.ico\r\nOUT MME Fake | x", L"%SystemRoot%\\x.ico,-\"1\"",
                                  L"C:\\Program Files\\Halvane\\VESSO\\pin_out.ico", L"\xDBFF"};
    for (int side = 0; side < 2; ++side) {
        const wchar_t* direction = side ? L"Capture" : L"Render";
        for (int i = 0; i < 2500; ++i) {
            wchar_t guid[64];
            _snwprintf(guid, 64, L"{%08X-0000-0000-%04X-00000000%04X}", i * 7919, side, i);
            const std::wstring name = names[i % 8], adapter = names[(i / 8) % 8];
            registry.addEndpoint(direction, guid, name, adapter, L"{1}.ROOT\\MEDIA:" + hardwareIds[i % 6], icons[i % 4]);
            if (i % 25 == 0)
                endpoints.add(side ? eCapture : eRender, std::wstring(side ? L"{0.0.1.00000000}." : L"{0.0.0.00000000}.") + guid,
                              name, adapter);
            if (i % 50 == 0) (side ? world.waveIn : world.waveOut).push_back({name.substr(0, 31), 2, false});
        }
    }
    world.addDriver(DRIVER_CATALOG[0].interfaceGuid, DRIVER_CATALOG[0].expectedVersion);
    world.ks.addInterface(L"\\\\?\\root#media#0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\wave",
                          L"Halvane Point \x01\xD800", "HalvaneVSOWDM", true, true);

    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    LogBuffer log;
    createLog(&log);
    const OsIdentification os = {OS_WIN10, 10, 0, 19045, 2};
    CatalogVersions versions;
    const RunContext context = {&g_inventory, &os, 1, 0, askCatalogVersions(&versions)};
    RunResults results;
    const int32_t total = runTest(context, &results);
    EXPECT_EQ(DRIVER_STATE_CHECKED, results.drivers[0].state);
    EXPECT_LT(0, total);
    JsonRuns json = {};
    const RunReports reports = {&log, &json, NULL};
    renderRun(results, reports);
    EXPECT_EQ(1, json.runCount);
    saveScenario("hostile_store", json, std::wstring(log.text, log.length));
    releaseJsonRuns(&json);
    releaseLog(&log);
}

}  // namespace
