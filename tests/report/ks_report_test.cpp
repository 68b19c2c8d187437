#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checks/driver_checks.h"
#include "inventory/device_inventory.h"
#include "report/test_run.h"
#include "support/check_world.h"
#include "support/fake_endpoints.h"
#include "support/fake_world.h"
#include "support/golden.h"
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
    }

    FakeKsFilter& install(const DriverCatalogEntry& row, int number, const std::wstring& recordingIcon,
                          const std::wstring& playbackIcon) {
        return installCataloguedDriver(devices, endpoints, registry, row, number, recordingIcon, playbackIcon);
    }
    FakeKsFilter& installFirstDriver() {
        return install(DRIVER_CATALOG[0], 1, L"C:\\Program Files\\Halvane\\VESSO\\pin_out.ico",
                       L"C:\\Program Files\\Halvane\\VESSO\\pin_in.ico");
    }
    // The first and the fourth catalogued driver, and somebody else's speakers around them.
    void installTwoDrivers() {
        installFirstDriver();
        // The fourth driver's icons are resources of its driver file, for 64-bit Windows 10.
        install(DRIVER_CATALOG[3], 2, L"%SystemRoot%\\System32\\drivers\\halvane_vessoc64_win10.sys,-101",
                L"%SystemRoot%\\System32\\drivers\\halvane_vessoc64_win10.sys,-100");
        devices.waveOut.push_back({L"Speakers (High Definition Audio)", 2, false});
        devices.ks.addInterface(L"\\\\?\\hdaudio#func_01#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\speakers",
                                L"Speakers", "HDAUDIO\\FUNC_01&VEN_10EC", false, true);
    }
    int32_t run() {
        openInventory(kCollectionOptions);
        const TestRunContext context = {&log, &g_inventory, &os, 1, 0};
        return runTest(context);
    }
    std::wstring text() const { return std::wstring(log.text, log.length); }

    FakeWorld devices;
    FakeEndpoints endpoints;
    TestRegistry registry;
    LogBuffer log;
    OsIdentification os = {7, 10, 0, 19045, 2};
};

TEST_F(KsReportTest, TwoDriversInstalledCorrectlyInEveryList) {
    installTwoDrivers();
    EXPECT_EQ(0, run());
    EXPECT_TRUE(matchesGolden(text(), "two_drivers_installed.txt"));
    EXPECT_EQ(0u, recordCount(g_inventory.silentFilters));
}

// Another maker's filter that stops answering is in no list and in no line: the report is the
// one of the same machine without it. The pass keeps it among the filters that did not answer.
TEST_F(KsReportTest, AnotherMakersWedgedFilterLeavesTheReportAsIfItWereAbsent) {
    installTwoDrivers();
    devices.ks.addInterface(L"\\\\?\\usb#vid_0d8c&pid_0014#5&1a2b#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\headset",
                            L"USB Headset", "USB\\VID_0D8C&PID_0014", true, true);
    FakeKsFilter& headset = devices.ks.filters.back();
    headset.answersAtOnce = 3;
    headset.timing = PEND_IGNORING_CANCEL;
    headset.completeAfterMs = 3000;
    EXPECT_EQ(0, run());
    EXPECT_TRUE(matchesGolden(text(), "two_drivers_installed.txt"));
    ASSERT_EQ(1u, recordCount(g_inventory.silentFilters));
    const DeviceRecord* silent = recordAt(g_inventory.silentFilters, 1);
    EXPECT_STREQ(L"\\\\?\\usb#vid_0d8c&pid_0014#5&1a2b#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\headset",
                 silent->driverNameW);
    EXPECT_STREQ("USB\\VID_0D8C&PID_0014", silent->hardwareId);
    EXPECT_EQ(0x30008u, silent->kind);  // KS, found with a capture and a render alias
}

// A filter that stops answering costs one wait in the whole pass, whatever it answered before
// and however many pin types it claims: it is listed in neither direction, and its driver's
// row says so in place of the lines of a filter that was never registered.
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
    FakeKsFilter& filter = installFirstDriver();
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
        EXPECT_EQ(1, devices.ks.cancels) << c.what;
        EXPECT_EQ(c.requests, devices.ks.asked.size()) << c.what;
        EXPECT_GE(took, 950u) << c.what;
        EXPECT_LT(took, 1950u) << c.what;
        EXPECT_TRUE(matchesGolden(text(), "filter_not_responding.txt")) << c.what;
        closeInventory();
    }
}

// A filter that refuses its first request answers: its interface is there, its filter is not
// listed, and nothing waits.
TEST_F(KsReportTest, AFilterThatRefusesIsNotListed) {
    installFirstDriver().pinTypesFail = true;
    const DWORD start = GetTickCount();
    EXPECT_EQ(2, run());
    EXPECT_LT(GetTickCount() - start, 500u);
    EXPECT_TRUE(matchesGolden(text(), "filter_refusing.txt"));
    EXPECT_EQ(0u, recordCount(g_inventory.silentFilters));
}

// A filter that answers its first requests and then stops: where its walk got to decides which
// direction still lists it. Its two pins take 17 requests per direction, recording first.
TEST_F(KsReportTest, AFilterThatStopsPartWay) {
    const wchar_t* const kRecordingLine = L"   *ERROR KS Recording Device not responding.";
    const wchar_t* const kPlaybackLine = L"   *ERROR KS Playback Device not responding.";
    const struct {
        const char* what;
        int answered;
        bool captureAlias;
        std::vector<std::wstring> ksLines;
        int32_t total;
    } cases[] = {
        {"stops inside its recording pin", 5, true, {kRecordingLine, kPlaybackLine}, 2},
        {"stops at the last request of its recording walk", 16, true, {kRecordingLine, kPlaybackLine}, 2},
        {"stops at the start of its playback walk", 17, true, {kPlaybackLine}, 1},
        {"stops inside its playback pin", 30, true, {kPlaybackLine}, 1},
        {"has no capture alias, stops at once", 0, false,
         {L"   *ERROR KS Recording Device not listed.", kPlaybackLine}, 2},
    };
    FakeKsFilter& filter = installFirstDriver();
    filter.timing = PEND_UNTIL_CANCELLED;
    for (const auto& c : cases) {
        filter.answersAtOnce = c.answered;
        filter.requestsSeen = 0;
        devices.ks.interfaces.back().captureAlias = c.captureAlias ? SPINT_ACTIVE : 0;
        clear(&log);
        const DWORD start = GetTickCount();
        EXPECT_EQ(c.total, run()) << c.what;
        const DWORD took = GetTickCount() - start;
        EXPECT_LT(took, 1950u) << c.what;
        EXPECT_EQ(c.answered + 1, filter.requestsSeen) << c.what << ": asked after it stopped";
        std::vector<std::wstring> ksLines;
        for (const std::wstring& line : logLines(log))
            if (line.compare(0, 13, L"   *ERROR KS ") == 0) ksLines.push_back(line);
        EXPECT_EQ(c.ksLines, ksLines) << c.what;
        if (c.total == 2 && c.captureAlias) EXPECT_TRUE(matchesGolden(text(), "filter_not_responding.txt")) << c.what;
        const bool recordingListed = c.ksLines.size() == 1;
        EXPECT_EQ(recordingListed, text().find(L"\r\nIN KS  Halvane Point | HalvaneVSOWDM | ") != std::wstring::npos)
            << c.what;
        ASSERT_EQ(1u, recordCount(g_inventory.silentFilters)) << c.what;
        const DeviceRecord* silent = recordAt(g_inventory.silentFilters, 1);
        EXPECT_STREQ(L"\\\\?\\root#media#0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\wave", silent->driverNameW);
        EXPECT_STREQ("HalvaneVSOWDM", silent->hardwareId);
        EXPECT_EQ(c.captureAlias ? 0x30008u : 0x20008u, silent->kind) << c.what;
        closeInventory();
    }
}

}  // namespace
