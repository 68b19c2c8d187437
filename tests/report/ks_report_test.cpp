#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
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

// Also with another maker's filter that stops answering: it is in no list and in no line, the
// report is the same, and the pass keeps it among the filters that did not answer.
TEST_F(KsReportTest, TwoDriversInstalledCorrectlyInEveryList) {
    installTwoDrivers();
    EXPECT_EQ(0, run());
    EXPECT_TRUE(matchesGolden(text(), "two_drivers_installed.txt"));
    saveScenario("two_drivers_installed", json, text());
    releaseJsonRuns(&json);
    EXPECT_EQ(0u, recordCount(g_inventory.silentFilters));

    const std::wstring headset = L"\\\\?\\usb#vid_0d8c&pid_0014#5&1a2b#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\hs";
    devices.ks.addInterface(headset, L"USB Headset", "USB\\VID_0D8C&PID_0014", true, true);
    devices.ks.filters.back().answersAtOnce = 3;
    devices.ks.filters.back().timing = PEND_IGNORING_CANCEL;
    devices.ks.filters.back().completeAfterMs = 3000;
    closeInventory();
    clear(&log);
    EXPECT_EQ(0, run());
    EXPECT_TRUE(matchesGolden(text(), "two_drivers_installed.txt"));
    ASSERT_EQ(1u, recordCount(g_inventory.silentFilters));
    const DeviceRecord* silent = recordAt(g_inventory.silentFilters, 1);
    EXPECT_EQ(headset, silent->driverNameW);
    EXPECT_STREQ("USB\\VID_0D8C&PID_0014", silent->hardwareId);
    EXPECT_EQ(0x30008u, silent->kind);  // KS, found with a capture and a render alias
    saveScenario("two_drivers_and_a_silent_filter", json, text());
}

// A filter that stops answering costs one wait in the whole pass, whatever it answered before
// and however many pin types it claims: it is listed in neither direction, and its driver's
// row says so in place of the lines of a filter that was never registered, which a filter
// that refuses its first request still gets, without any wait.
TEST_F(KsReportTest, AFilterThatStopsAnsweringCostsOneWait) {
    const struct {
        const char* what;
        int64_t pinTypes;
        bool pinTypesAtOnce;
        bool refuses;
        size_t requests;
        const char* golden;
    } cases[] = {
        {"pends every request", -1, false, false, 1, "filter_not_responding.txt"},
        {"answers 256 pin types, then nothing", 256, true, false, 2, "filter_not_responding.txt"},
        {"refuses its first request", -1, false, true, 2, "filter_refusing.txt"},
    };
    FakeKsFilter& filter = installFirstDriver();
    filter.timing = PEND_UNTIL_CANCELLED;
    for (const auto& c : cases) {
        filter.pinTypes = c.pinTypes;
        filter.pinTypesAtOnce = c.pinTypesAtOnce;
        filter.pinTypesFail = c.refuses;
        if (c.refuses) filter.timing = ANSWER_AT_ONCE;
        devices.ks.cancels = 0;
        devices.ks.asked.clear();
        clear(&log);
        const DWORD start = GetTickCount();
        EXPECT_EQ(2, run()) << c.what;
        const DWORD took = GetTickCount() - start;
        EXPECT_EQ(c.refuses ? 0 : 1, devices.ks.cancels) << c.what;
        EXPECT_EQ(c.requests, devices.ks.asked.size()) << c.what;  // a refusing one: once per direction
        EXPECT_GE(took, c.refuses ? 0u : 950u) << c.what;
        EXPECT_LT(took, c.refuses ? 500u : 1950u) << c.what;
        EXPECT_TRUE(matchesGolden(text(), c.golden)) << c.what;
        EXPECT_EQ(c.refuses ? 0u : 1u, recordCount(g_inventory.silentFilters)) << c.what;
        saveScenario(std::string(c.golden, strlen(c.golden) - 4) + "_" + std::to_string(c.pinTypes), json, text());
        releaseJsonRuns(&json);
        closeInventory();
    }
}

// The sides the JSON report lists for its one silent filter, blanks left out.
std::string silentSides(const JsonRuns& runs) {
    const std::string json = jsonDocument(runs);
    const size_t start = json.find("\"sides\": [");
    if (start == std::string::npos) return "<none>";
    std::string sides;
    for (size_t i = start + 9; i < json.size() && json[i - 1] != ']'; ++i)
        if (json[i] != ' ' && json[i] != '\n') sides += json[i];
    return sides;
}

// A filter that answers its first requests and then stops: where its walk got to decides which
// direction still lists it. Its two pins take 17 requests per direction, recording first. The
// JSON report lists it among the silent filters with the sides of its live aliases, so that a
// filter of one side has that side there, as its "not responding" line has.
TEST_F(KsReportTest, AFilterThatStopsPartWay) {
    const wchar_t* const kRecordingLine = L"   *ERROR KS Recording Device not responding.";
    const wchar_t* const kPlaybackLine = L"   *ERROR KS Playback Device not responding.";
    const struct {
        const char* what;
        int answered;
        bool captureAlias, renderAlias;
        std::vector<std::wstring> ksLines;
        int32_t total;
        const char* sides;
    } cases[] = {
        {"stops inside its recording pin", 5, true, true, {kRecordingLine, kPlaybackLine}, 2,
         "[\"recording\",\"playback\"]"},
        {"stops at the last request of its recording walk", 16, true, true, {kRecordingLine, kPlaybackLine}, 2,
         "[\"recording\",\"playback\"]"},
        {"stops at the start of its playback walk", 17, true, true, {kPlaybackLine}, 1, "[\"recording\",\"playback\"]"},
        {"stops inside its playback pin", 30, true, true, {kPlaybackLine}, 1, "[\"recording\",\"playback\"]"},
        {"has no capture alias, stops at once", 0, false, true,
         {L"   *ERROR KS Recording Device not listed.", kPlaybackLine}, 2, "[\"playback\"]"},
        // ...and one more error: a driver with a capture interface alone.
        {"has no render alias, stops at once", 0, true, false,
         {kRecordingLine, L"   *ERROR KS Playback Device not listed."}, 3, "[\"recording\"]"},
    };
    FakeKsFilter& filter = installFirstDriver();
    filter.timing = PEND_UNTIL_CANCELLED;
    for (const auto& c : cases) {
        filter.answersAtOnce = c.answered;
        filter.requestsSeen = 0;
        devices.ks.interfaces.back().captureAlias = c.captureAlias ? SPINT_ACTIVE : 0;
        devices.ks.interfaces.back().renderAlias = c.renderAlias ? SPINT_ACTIVE : 0;
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
        if (c.total == 2 && c.captureAlias && c.renderAlias) EXPECT_TRUE(matchesGolden(text(), "filter_not_responding.txt")) << c.what;
        const bool recordingListed = c.ksLines.size() == 1;
        EXPECT_EQ(recordingListed, text().find(L"\r\nIN KS  Halvane Point | HalvaneVSOWDM | ") != std::wstring::npos)
            << c.what;
        ASSERT_EQ(1u, recordCount(g_inventory.silentFilters)) << c.what;
        EXPECT_EQ(0x8u | (c.captureAlias ? 0x10000u : 0) | (c.renderAlias ? 0x20000u : 0),
                  recordAt(g_inventory.silentFilters, 1)->kind)
            << c.what;
        EXPECT_EQ(c.sides, silentSides(json)) << c.what;
        releaseJsonRuns(&json);
        closeInventory();
    }
}

HANDLE WINAPI noThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
}

// As a start does it: the drivers are asked while the pass runs, so a wedged filter and a
// wedged control device cost one wait together; without a thread for the requests, one each.
TEST_F(KsReportTest, AWedgedFilterAndAWedgedControlDeviceShareOneWait) {
    FakeKsFilter& filter = installFirstDriver();
    filter.timing = PEND_UNTIL_CANCELLED;
    devices.addDriver(DRIVER_CATALOG[1].interfaceGuid, DRIVER_CATALOG[1].expectedVersion).timing = PEND_UNTIL_CANCELLED;
    for (bool threads : {true, false}) {
        if (!threads) g_driverControlApi.createThread = noThread;
        clear(&log);
        const DWORD start = GetTickCount();
        DriverVersionJob* versions = startCatalogVersions();
        EXPECT_EQ(threads, versions != nullptr);
        openInventory(kCollectionOptions);
        const TestRunContext context = {&log, &g_inventory, &os, 1, 0, versions};
        EXPECT_EQ(2 + 1, runTest(context)) << threads;
        const DWORD took = GetTickCount() - start;
        EXPECT_GE(took, threads ? 950u : 1900u) << threads;
        EXPECT_LT(took, threads ? 1700u : 2900u) << threads;
        const std::vector<std::wstring> lines = logLines(log);
        for (const wchar_t* line : {L"   *ERROR KS Recording Device not responding.",
                                    L"CHECKING Halvane Vesso A : Driver Not Responding"})
            EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), line)) << threads;
        closeInventory();
    }
}

}  // namespace
