#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checks/driver_checks.h"
#include "inventory/device_inventory.h"
#include "report/checker_run.h"
#include "support/check_world.h"
#include "support/fake_endpoints.h"
#include "support/fake_world.h"
#include "support/golden.h"
#include "support/scenario_files.h"
#include "support/test_registry.h"

namespace {

// Whole reports of worlds in which catalogued drivers are installed in every device list:
// wave devices, kernel-streaming filters, Core Audio endpoints and their MMDevices entries.
class KsReportTest : public testing::Test {
protected:
    void SetUp() override { createLog(&log); }
    void TearDown() override {
        closeInventory();
        releaseLog(&log);
        releaseJsonRuns(&json);
    }

    FakeKsFilter& install(const DriverCatalogEntry& row, int number, const std::wstring& recordingIcon,
                          const std::wstring& playbackIcon) {
        return installCataloguedDriver(devices, endpoints, registry, row, number, recordingIcon, playbackIcon);
    }
    int32_t run() {
        openInventory(kCollectionOptions);
        const TestRunContext context = {&log, &g_inventory, &os, 1, 0};
        return runTestKeepingJson(context, &json);
    }
    std::wstring text() const { return std::wstring(log.text, log.length); }

    FakeWorld devices;
    FakeEndpoints endpoints;
    TestRegistry registry;
    LogBuffer log;
    JsonRuns json = {};
    OsIdentification os = {7, 10, 0, 19045, 2};
};

TEST_F(KsReportTest, TwoDriversInstalledCorrectlyInEveryList) {
    install(DRIVER_CATALOG[0], 1, L"C:\\Program Files\\Halvane\\VESSO\\pin_out.ico",
            L"C:\\Program Files\\Halvane\\VESSO\\pin_in.ico");
    // The fourth driver's icons are resources of its driver file, for 64-bit Windows 10.
    install(DRIVER_CATALOG[3], 2, L"%SystemRoot%\\System32\\drivers\\halvane_vessoc64_win10.sys,-101",
            L"%SystemRoot%\\System32\\drivers\\halvane_vessoc64_win10.sys,-100");
    // Somebody else's devices around them.
    devices.waveOut.push_back({L"Speakers (High Definition Audio)", 2, false});
    devices.ks.addInterface(L"\\\\?\\hdaudio#func_01#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\speakers",
                            L"Speakers", "HDAUDIO\\FUNC_01&VEN_10EC", false, true);
    EXPECT_EQ(0, run());
    EXPECT_TRUE(matchesGolden(text(), "two_drivers_installed.txt"));
    saveScenario("two_drivers_installed", json, text());
}

// A filter that stops answering costs one wait in the whole pass, whatever it answered before
// and however many pin types it claims: it is left out of both directions, as a filter that
// fails its first request is.
TEST_F(KsReportTest, AFilterThatStopsAnsweringCostsOneWait) {
    const struct {
        const char* what;
        int64_t pinTypes;
        bool pinTypesAtOnce;
        size_t requests;
    } cases[] = {
        {"pends every request", -1, false, 1},
        {"answers 256 pin types, then nothing", 256, true, 2},
    };
    FakeKsFilter& filter = install(DRIVER_CATALOG[0], 1, L"C:\\Program Files\\Halvane\\VESSO\\pin_out.ico",
                                   L"C:\\Program Files\\Halvane\\VESSO\\pin_in.ico");
    filter.timing = PEND_UNTIL_CANCELLED;
    for (const auto& c : cases) {
        filter.pinTypes = c.pinTypes;
        filter.pinTypesAtOnce = c.pinTypesAtOnce;
        devices.ks.cancels = 0;
        devices.ks.asked.clear();
        clear(&log);
        const DWORD start = GetTickCount();
        EXPECT_EQ(2, run()) << c.what;
        const DWORD took = GetTickCount() - start;
        closeInventory();
        EXPECT_EQ(1, devices.ks.cancels) << c.what;
        EXPECT_EQ(c.requests, devices.ks.asked.size()) << c.what;
        EXPECT_GE(took, 950u) << c.what;
        EXPECT_LT(took, 1950u) << c.what;
        EXPECT_TRUE(matchesGolden(text(), "filter_pending_for_ever.txt")) << c.what;
        saveScenario(std::string("filter_pending_for_ever_") + std::to_string(c.pinTypes), json, text());
        releaseJsonRuns(&json);
    }
}

}  // namespace
