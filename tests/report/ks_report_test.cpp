#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "checks/driver_checks.h"
#include "inventory/device_inventory.h"
#include "fixes/fix_apply.h"
#include "report/checker_run.h"
#include "support/check_world.h"
#include "support/fake_endpoints.h"
#include "support/fake_world.h"
#include "support/golden.h"
#include "support/planted_evidence.h"
#include "support/scenario_files.h"
#include "support/test_registry.h"

namespace {

const std::wstring kDrivers = L"%SystemRoot%\\System32\\drivers\\";

void removeWave(std::vector<FakeWaveDevice>& devices, const std::wstring& name) {
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].name == name) devices.erase(devices.begin() + i--);
}
void setEndpointState(FakeEndpoints& endpoints, const std::wstring& guid, DWORD state) {
    for (FakeEndpoint& e : endpoints.endpoints)
        if (e.id.find(guid) != std::wstring::npos) e.state = state;
}
// Whole reports of worlds in which catalogued drivers are installed in every device list:
// wave devices, kernel-streaming filters, Core Audio endpoints and their MMDevices entries.
class KsReportTest : public testing::Test {
protected:
    void SetUp() override {
        createLog(&log);
        createLog(&whatToDo);
        createLog(&forFile);
    }
    void TearDown() override {
        closeInventory();
        releaseLog(&log);
        releaseLog(&whatToDo);
        releaseLog(&forFile);
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
    // Evidence of every kind, as Windows keeps it, planted in the prefix: device nodes with
    // problem codes (and a driver's two), the endpoint store's states, names and icons; the
    // control devices, filters, endpoints and wave devices from the fakes. Each row gets its cause.
    void plantEveryCause() {
        const std::wstring render1 = L"{aaaaaaaa-0000-0000-0000-000000000001}";
        const std::wstring capture1 = L"{bbbbbbbb-0000-0000-0000-000000000001}";
        // 1: renamed by the user on the recording side; playback endpoint disabled in the Sound
        // settings, so that neither its endpoint nor its wave device is listed.
        installFirstDriver();
        registry.setString(TestRegistry::propertiesPath(L"Capture", capture1), kStoreValue.description, L"My Mic");
        for (FakeEndpoint& e : endpoints.endpoints)
            if (e.id.find(capture1) != std::wstring::npos) e.name = L"My Mic (Halvane Virtual Vesso)";
        for (FakeWaveDevice& w : devices.waveIn)
            if (w.name.find(L"VESSO Output") == 0) w.name = L"My Mic (Halvane Virtual Vesso)";
        registry.setDword(TestRegistry::directionPath(L"Render") + L"\\" + render1, L"DeviceState", 2);
        setEndpointState(endpoints, render1, DEVICE_STATE_DISABLED);
        removeWave(devices.waveOut, L"VESSO Input (Halvane Virtual Vesso)");
        // 2 to 5: device nodes Windows did not start, and no control device.
        for (const auto& n : {std::make_pair(L"HalvaneVSOAWDM", 22), {L"HalvaneVSOBWDM", 52}, {L"Halvane101WDMVessoC", 10},
                              {L"Halvane102WDMVessoD", 14}})
            nodes.emplace_back(new PlantedDeviceNode(n.first, n.second));
        // 6 and 7: an older and a newer driver.
        devices.addDriver(DRIVER_CATALOG[5].interfaceGuid, 0x01000304);
        devices.addDriver(DRIVER_CATALOG[6].interfaceGuid, 0x01000306);
        // 8: installed twice.
        const DriverCatalogEntry& tondrel = DRIVER_CATALOG[7];
        for (int number : {8, 18})
            install(tondrel, number, kDrivers + L"halvane_tdnoda64_win10.sys,-101", kDrivers + L"halvane_tdnoda64_win10.sys,-100");
        for (int i = 0; i < 2; ++i) nodes.emplace_back(new PlantedDeviceNode(L"HalvaneTDNODA", 0));
        // 9: a kernel-streaming interface, but no control device.
        devices.ks.addInterface(L"\\\\?\\root#media#0009#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\wave",
                                L"Tondrel Aux noda", "HalvaneTDAUXNODA", true, true);
        // 10: the playback icon changed by the user, the recording endpoint not present.
        const DriverCatalogEntry& noda3 = DRIVER_CATALOG[9];
        install(noda3, 10, kDrivers + L"halvane_tdnoda364_win10.sys,-101", L"C:\\Users\\me\\guitar.ico");
        registry.setDword(TestRegistry::directionPath(L"Capture") + L"\\{bbbbbbbb-0000-0000-0000-000000000010}",
                          L"DeviceState", 0x10000004);
        setEndpointState(endpoints, L"{bbbbbbbb-0000-0000-0000-000000000010}", DEVICE_STATE_NOTPRESENT);
        removeWave(devices.waveIn, L"Tondrel NODA3 Output (Halvane Tondrel NODA3)");
        // The checker's own file changed since it was stamped.
        initValue = -4;
    }
    // A run of a new pass; the fixes made before it (null: none), and the plan of its own.
    int32_t run(const FixList* before = nullptr, FixList* plan = nullptr) {
        closeInventory();
        openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
        CatalogVersions versions;
        const RunContext context = {&g_inventory, &os, 1, initValue, askCatalogVersions(&versions), before};
        return runAndRender(context, &log, &json, &whatToDo, plan, &forFile);
    }
    std::wstring text() const { return std::wstring(log.text, log.length); }
    std::string document() const { return std::string(json.bytes, json.length); }

    FakeWorld devices;
    FakeEndpoints endpoints;
    TestRegistry registry;
    LogBuffer log, whatToDo, forFile;
    JsonRuns json = {};
    OsIdentification os = {OS_WIN10, 10, 0, 19045, 2};
    int32_t initValue = 0;
    std::vector<std::unique_ptr<PlantedDeviceNode>> nodes;
};

// Also with another maker's filter that stops answering: it is in no list and in no line, the
// report is the same, and the pass keeps it among the filters that did not answer.
TEST_F(KsReportTest, TwoDriversInstalledCorrectlyInEveryList) {
    installTwoDrivers();
    EXPECT_EQ(0, run());
    EXPECT_TRUE(matchesGolden(text(), "two_drivers_installed.txt"));
    saveScenario("two_drivers_installed", json, text());
    EXPECT_NE(std::wstring::npos,
              std::wstring(whatToDo.text, whatToDo.length).find(L"\r\nNo error found: the drivers need nothing.\r\n"));
    EXPECT_EQ(0u, forFile.length) << "a report file without problems is written as it always was";
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
    EXPECT_EQ(KIND_KS, silent->kind);
    EXPECT_EQ(3u, silent->ksAliases);  // found with a capture and a render alias
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

// A filter that answers its first requests and then stops, by leaving a request pending or by
// holding the thread that sent it: where its walk got to decides which direction still lists it.
// Its two pins take 17 requests per direction, recording first. A held request is given up at its
// deadline; let go afterwards, its walker asks nothing more. The JSON report lists it among the
// silent filters with the sides of its live aliases, so that a filter of one side has that side
// there, as its "not responding" line has.
TEST_F(KsReportTest, AFilterThatStopsPartWay) {
    const wchar_t* const kRecordingLine = L"   *ERROR KS Recording Device not responding.";
    const wchar_t* const kPlaybackLine = L"   *ERROR KS Playback Device not responding.";
    const char* const kBoth = "[\"recording\",\"playback\"]";
    const struct {
        const char* what;
        FakeKsTiming timing;
        int answered;
        bool captureAlias, renderAlias;
        std::vector<std::wstring> ksLines;
        int32_t total;
        const char* sides;
    } cases[] = {
        {"stops inside its recording pin", PEND_UNTIL_CANCELLED, 5, true, true, {kRecordingLine, kPlaybackLine}, 2,
         kBoth},
        {"stops at the last request of its recording walk", PEND_UNTIL_CANCELLED, 16, true, true,
         {kRecordingLine, kPlaybackLine}, 2, kBoth},
        {"stops at the start of its playback walk", PEND_UNTIL_CANCELLED, 17, true, true, {kPlaybackLine}, 1, kBoth},
        {"stops inside its playback pin", PEND_UNTIL_CANCELLED, 30, true, true, {kPlaybackLine}, 1, kBoth},
        {"has no capture alias, stops at once", PEND_UNTIL_CANCELLED, 0, false, true,
         {L"   *ERROR KS Recording Device not listed.", kPlaybackLine}, 2, "[\"playback\"]"},
        // ...and one more error: a driver with a capture interface alone.
        {"has no render alias, stops at once", PEND_UNTIL_CANCELLED, 0, true, false,
         {kRecordingLine, L"   *ERROR KS Playback Device not listed."}, 3, "[\"recording\"]"},
        {"holds the last request of its recording walk", HOLD_THE_THREAD, 16, true, true,
         {kRecordingLine, kPlaybackLine}, 2, kBoth},
        {"holds the first request of its playback walk", HOLD_THE_THREAD, 17, true, true, {kPlaybackLine}, 1, kBoth},
    };
    FakeKsFilter& filter = installFirstDriver();
    for (const auto& c : cases) {
        filter.timing = c.timing;
        filter.answersAtOnce = c.answered;
        filter.requestsSeen = 0;
        devices.ks.interfaces.back().captureAlias = c.captureAlias ? SPINT_ACTIVE : 0;
        devices.ks.interfaces.back().renderAlias = c.renderAlias ? SPINT_ACTIVE : 0;
        clear(&log);
        const DWORD start = GetTickCount();
        EXPECT_EQ(c.total, run()) << c.what;
        const DWORD took = GetTickCount() - start;
        EXPECT_LT(took, c.timing == HOLD_THE_THREAD ? 2400u : 1950u) << c.what;
        ASSERT_TRUE(devices.ks.endThreads()) << c.what;
        EXPECT_EQ(c.answered + 1, filter.requestsSeen) << c.what << ": asked after it stopped";
        std::vector<std::wstring> ksLines;
        for (const std::wstring& line : logLines(log))
            if (line.compare(0, 13, L"   *ERROR KS ") == 0) ksLines.push_back(line);
        EXPECT_EQ(c.ksLines, ksLines) << c.what;
        if (c.total == 2 && c.captureAlias && c.renderAlias)
            EXPECT_TRUE(matchesGolden(text(), "filter_not_responding.txt")) << c.what;
        const bool recordingListed = c.ksLines.size() == 1;
        EXPECT_EQ(recordingListed, text().find(L"\r\nIN KS  Halvane Point | HalvaneVSOWDM | ") != std::wstring::npos)
            << c.what;
        ASSERT_EQ(1u, recordCount(g_inventory.silentFilters)) << c.what;
        EXPECT_EQ((c.captureAlias ? 1u : 0) | (c.renderAlias ? 2u : 0), recordAt(g_inventory.silentFilters, 1)->ksAliases)
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

// As a start does it: the drivers are asked in the opening pass, beside the filters, so a wedged
// filter and a wedged control device cost one wait together. Without a thread nothing is asked
// (the checker's own thread calls no driver), and every driver found reads as not responding.
TEST_F(KsReportTest, AWedgedFilterAndAWedgedControlDeviceShareOneWait) {
    FakeKsFilter& filter = installFirstDriver();
    filter.timing = PEND_UNTIL_CANCELLED;
    devices.addDriver(DRIVER_CATALOG[1].interfaceGuid, DRIVER_CATALOG[1].expectedVersion).timing = PEND_UNTIL_CANCELLED;
    const struct {
        bool threads;
        int32_t total;
        DWORD least, most;
        std::vector<std::wstring> lines;
    } cases[] = {
        {true, 2 + 1, 950, 1700,
         {L"CHECKING Halvane Virtual Vesso (version 01000305)", L"   *ERROR KS Recording Device not responding.",
          L"CHECKING Halvane Vesso A : Driver Not Responding"}},
        {false, 1 + 1, 0, 500,
         {L"CHECKING Halvane Virtual Vesso : Driver Not Responding",
          L"CHECKING Halvane Vesso A : Driver Not Responding"}},
    };
    for (const auto& c : cases) {
        if (!c.threads) g_workerApi.createThread = noThread;
        clear(&log);
        devices.ks.threadsStarted = 0;
        const DWORD start = GetTickCount();
        CatalogVersions versions;
        const DriverJobs versionJobs = catalogVersionJobs(&versions);
        openInventory(kCollectionOptions, catalogHardwareIds(), &versionJobs);
        const RunContext context = {&g_inventory, &os, 1, 0, versions.answers};
        EXPECT_EQ(c.total, runAndRender(context, &log, nullptr)) << c.threads;
        const DWORD took = GetTickCount() - start;
        EXPECT_GE(took, c.least) << c.threads;
        EXPECT_LT(took, c.most) << c.threads;
        const std::vector<std::wstring> lines = logLines(log);
        for (const std::wstring& line : c.lines)
            EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), line)) << c.threads << " " << line.c_str();
        EXPECT_EQ(1u, recordCount(g_inventory.silentFilters)) << c.threads;
        // One walker for the drivers and the filters, and one more when the control device's
        // request pended while the filter still waited.
        EXPECT_EQ(c.threads ? 2 : 0, devices.ks.threadsStarted) << c.threads;
        closeInventory();
    }
}

// The row's part of a JSON run: its object in the drivers array.
std::string driverJson(const std::string& doc, const char* name) {
    const size_t at = doc.find("\n        {\n          \"name\": \"" + std::string(name) + "\"");
    const size_t end = doc.find("\n        }", at + 1);
    return at == std::string::npos ? "" : doc.substr(at, end - at);
}

TEST_F(KsReportTest, EveryCauseFromWhatWindowsKeeps) {
    plantEveryCause();

    const int32_t total = run();
    EXPECT_TRUE(matchesGolden(text(), "every_cause.txt"));
    // The report file ends with the why, in lines of its own: a script that counts the report's
    // lines (its errors, its rows) counts the same; each line is What To Do's, as the view has it.
    const std::vector<std::wstring> report = logLines(log), why = logLines(forFile);
    const std::vector<std::wstring> view = logLines(whatToDo);
    ASSERT_GT(why.size(), 20u);
    for (const std::wstring& line : why) {
        EXPECT_EQ(report.end(), std::find(report.begin(), report.end(), line)) << toUtf8(line);
        const bool heading = line.find(L"=====") == 0 || line == L"WHAT TO DO AFTER THE LAST TEST" ||
                             line == L"27 errors found. For each driver with a problem: why, and the steps that fix it.";
        if (!heading) EXPECT_NE(view.end(), std::find(view.begin(), view.end(), line)) << toUtf8(line);
    }
    EXPECT_NE(why.end(), std::find(why.begin(), why.end(), L"Why: The driver's device is disabled in Device Manager."));
    EXPECT_TRUE(matchesGolden(std::wstring(whatToDo.text, whatToDo.length), "every_cause_what_to_do.txt"));
    saveScenario("every_cause", json, text());
    EXPECT_EQ(4 + 1 + 1 + 1 + 1 + 1 + 1 + 12 + 1 + 4, total);

    // Each row's cause and first step in the JSON report, as the README's table words them.
    const struct {
        const char* driver;
        const char* cause;
        const char* firstStep;
    } rows[] = {
        {"Halvane Virtual Vesso", "renamedByUser",
         "Open the Sound control panel: press Windows+R, type mmsys.cpl and press Enter."},
        {"Halvane Vesso A", "driverDisabled", "Open Device Manager: press Windows+R, type devmgmt.msc and press Enter."},
        {"Halvane Vesso B", "signatureNotVerified",
         "Do not use the Halvane Vesso B driver as it is: its file may have been changed since Halvane signed it."},
        {"Halvane Vesso C", "driverNotStarted",
         "Restart Windows (choose Restart, not Shut down), then run the test again."},
        {"Halvane Vesso D", "restartNeeded", "Restart Windows (choose Restart, not Shut down), then run the test again."},
        {"Halvane RZ40 Virtual I/O", "olderDriver", "Install version 01000305 of the Halvane RZ40 Virtual I/O driver from Halvane."},
        {"Halvane Clarel Vesso", "newerDriver",
         "Download the current Halvane Devices Checker from Halvane and run it: this one expects version 01000305."},
        {"Halvane Tondrel NODA", "installedTwice", "Open Device Manager: press Windows+R, type devmgmt.msc and press Enter."},
        {"Halvane Tondrel AUX NODA", "driverNotAnswering",
         "Restart Windows (choose Restart, not Shut down), then run the test again."},
        {"Halvane Tondrel NODA3", "endpointNotPresent",
         "Restart Windows (choose Restart, not Shut down), then run the test again."},
    };
    const std::string doc = document();
    for (const auto& r : rows) {
        const std::string row = driverJson(doc, r.driver);
        EXPECT_NE(std::string::npos, row.find("\n          \"cause\": \"" + std::string(r.cause) + "\",")) << r.driver;
        EXPECT_NE(std::string::npos, row.find("\"steps\": [\n            \"" + std::string(r.firstStep) + "\"")) << r.driver;
    }
    EXPECT_NE(std::string::npos, doc.find("\"checkerIntegrity\": {\n        \"cause\": \"checkerDamaged\","));
    // Every cause of a row with its steps, and what decided each in fields: the first driver's
    // rename (its recording entry) and its disabled playback endpoint; the second's device node.
    const std::string vesso = driverJson(doc, "Halvane Virtual Vesso");
    const size_t causes = vesso.find("\"causes\": [");
    ASSERT_NE(std::string::npos, causes);
    for (const char* part : {"\"cause\": \"renamedByUser\",\n              \"decidedBy\": {\n                \"deviceNodes\": [],\n"
                             "                \"endpointGuid\": \"{bbbbbbbb-0000-0000-0000-000000000001}\",",
                             "\"cause\": \"endpointDisabled\",\n              \"decidedBy\": {\n                \"deviceNodes\": [],\n"
                             "                \"endpointGuid\": \"{aaaaaaaa-0000-0000-0000-000000000001}\",",
                             "\"On the Playback tab, right-click the list and tick \\\"Show Disabled Devices\\\".\""})
        EXPECT_NE(std::string::npos, vesso.find(part, causes)) << part;
    EXPECT_NE(std::string::npos, driverJson(doc, "Halvane Vesso A").find("\"decidedBy\": {\n            \"deviceNodes\": [\n              \"ROOT"));
    // The states of a row Windows holds without running it, and of one that does not answer.
    EXPECT_NE(std::string::npos, driverJson(doc, "Halvane Vesso A").find("\"state\": \"installedNotRunning\","));
    EXPECT_NE(std::string::npos,
              driverJson(doc, "Halvane Tondrel AUX NODA").find("\"state\": \"installedNotAnswering\","));
    // The device node of the second driver, as Windows keeps it.
    EXPECT_NE(std::string::npos, driverJson(doc, "Halvane Vesso A")
                                     .find("\"present\": true,\n                \"problemCode\": 22,\n                "
                                           "\"status\": null,\n                \"cause\": \"driverDisabled\",\n"
                                           "                \"deciding\": true\n"));
}

// A filter that answers every request slowly, each answer well within its wait: its answers
// share one deadline, so the pass ends within it and the row says the filter stopped answering.
TEST_F(KsReportTest, SlowAnswersAddUpToOneDeadlineAtMost) {
    FakeKsFilter& filter = installFirstDriver();
    filter.timing = PEND_THEN_COMPLETE;
    filter.completeAfterMs = 500;  // its fourteen answers would take 7 s
    const DWORD start = GetTickCount();
    EXPECT_EQ(2, run());
    EXPECT_LT(GetTickCount() - start, 3500u);
    EXPECT_LT(filter.requestsSeen, 14);
    const std::vector<std::wstring> lines = logLines(log);
    for (const wchar_t* line : {L"   *ERROR KS Recording Device not responding.", L"   *ERROR KS Playback Device not responding."})
        EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), line)) << toUtf8(line);
}

// The fixes of that world, made for real in the prefix: the renamed endpoint's name is put back
// into its entry alone; Wine's class installer refuses the two device nodes, which the fix
// lines and What To Do tell in Windows' words; the test after them carries them, and the
// restart is only said, never made.
TEST_F(KsReportTest, TheFixesOfEveryCauseAndTheTestAgain) {
    plantEveryCause();
    static FixList fixes;
    run(nullptr, &fixes);
    EXPECT_TRUE(fixes.restartNeeded);
    applyFixes(true, &fixes);
    run(&fixes);
    std::wstring told;
    for (const std::wstring& line : logLines(log))
        if (line.compare(0, 4, L"FIX ") == 0) told += line + L"\r\n";
    const std::wstring advice(whatToDo.text, whatToDo.length);
    const size_t section = advice.find(L"FIXES MADE");
    EXPECT_TRUE(matchesGolden(told + advice.substr(section, advice.find(L"-----", section) - section),
                              "every_cause_fixes.txt"));
    saveScenario("every_cause_fixed", json, text());
    wchar_t name[REGISTRY_STRING_SIZE] = L"";
    readRegistryString((TestRegistry::propertiesPath(L"Capture", L"{bbbbbbbb-0000-0000-0000-000000000001}")).c_str(),
                       kStoreValue.description, name);
    EXPECT_STREQ(L"VESSO Output", name);
    EXPECT_NE(std::string::npos, document().find("\"restartNeeded\": true"));
}

// Values of 2^31 and above as Windows gives them (a problem code, a DeviceState of 0xFFFFFFFF):
// written unsigned, as the schema takes them.
TEST_F(KsReportTest, NumbersOfThirtyTwoBitsStayUnsigned) {
    installFirstDriver();
    registry.setDword(TestRegistry::directionPath(L"Render") + L"\\{aaaaaaaa-0000-0000-0000-000000000001}",
                      L"DeviceState", 0xFFFFFFFF);
    nodes.emplace_back(new PlantedDeviceNode(L"HalvaneVSOAWDM", 0xFFFFFFFF));
    run();
    saveScenario("large_numbers", json, text());
    for (const char* number : {"\"problemCode\": 4294967295,", "\"deviceState\": 4294967295,"})
        EXPECT_NE(std::string::npos, document().find(number)) << number;
}

// Windows Audio stopped and its endpoint builder disabled: the first driver's wave devices and
// endpoints are gone, its filters are not.
TEST_F(KsReportTest, TheAudioServicesDown) {
    installFirstDriver();
    devices.waveIn.clear();
    devices.waveOut.clear();
    endpoints.endpoints.clear();
    PlantedService audio(L"AudioSrv", false), builder(L"AudioEndpointBuilder", true);
    EXPECT_EQ(4, run());
    EXPECT_TRUE(matchesGolden(text(), "audio_services_down.txt"));
    EXPECT_TRUE(matchesGolden(std::wstring(whatToDo.text, whatToDo.length), "audio_services_down_what_to_do.txt"));
    saveScenario("audio_services_down", json, text());
    const std::string row = driverJson(document(), "Halvane Virtual Vesso");
    EXPECT_NE(std::string::npos, row.find("\n          \"cause\": \"audioServiceNotRunning\",")) << row;
    EXPECT_NE(std::string::npos, row.find("\"services\": [\n              \"AudioEndpointBuilder\",\n              \"AudioSrv\"\n")) << row;
}

// Calls that hold the thread that makes them: a filter whose open never returns, a filter that
// answers a few requests and then holds the next one whatever is cancelled, and the same on two
// control devices, all in one test. Each is given up at its deadline, two seconds after it was
// made, and the walk hands the jobs still waiting on within 50 ms of a call being held: the pass
// ends 2 s after the first held call, plus 50 ms for each held call after it, plus scheduling.
// The filters' rows say they stopped answering, the control devices' rows that their drivers do
// not respond, and the total counts them. What the held threads do once let go goes into the
// storage their walk left them, which is freed when they return.
TEST_F(KsReportTest, CallsThatHoldTheirThreadCostOneWaitTogether) {
    installFirstDriver().openHolds = true;
    const std::wstring driverFile = L"%SystemRoot%\\System32\\drivers\\halvane_vessoc64_win10.sys";
    FakeKsFilter& second = install(DRIVER_CATALOG[3], 2, driverFile + L",-101", driverFile + L",-100");
    second.answersAtOnce = 5;
    second.timing = HOLD_THE_THREAD;
    devices.addDriver(DRIVER_CATALOG[1].interfaceGuid, DRIVER_CATALOG[1].expectedVersion).openHolds = true;
    devices.addDriver(DRIVER_CATALOG[2].interfaceGuid, DRIVER_CATALOG[2].expectedVersion).timing = HOLD_THE_THREAD;

    const DWORD start = GetTickCount();
    CatalogVersions versions;
    const DriverJobs versionJobs = catalogVersionJobs(&versions);
    openInventory(kCollectionOptions, catalogHardwareIds(), &versionJobs);
    const DWORD took = GetTickCount() - start;
    const RunContext context = {&g_inventory, &os, 1, 0, versions.answers};
    const int32_t total = runAndRender(context, &log, nullptr);
    EXPECT_GE(took, 1950u);
    EXPECT_LT(took, 2000u + 4 * 50 + 300);
    EXPECT_EQ(4, devices.ks.heldCalls) << "a held call came back";

    const std::vector<std::wstring> lines = logLines(log);
    const std::vector<std::wstring> expected = {
        L"CHECKING Halvane Virtual Vesso (version 01000305)",
        L"   *ERROR KS Recording Device not responding.",
        L"   *ERROR KS Playback Device not responding.",
        L"   *ERROR TOTAL FOUND: 2",
        L"CHECKING Halvane Vesso A : Driver Not Responding",
        L"CHECKING Halvane Vesso B : Driver Not Responding",
        L"CHECKING Halvane Vesso C (version 02010502)",
        L"   *ERROR KS Recording Device not responding.",
        L"   *ERROR KS Playback Device not responding.",
        L"   *ERROR TOTAL FOUND: 2",
        L"CHECKING Halvane Vesso D : Not Installed",
    };
    const auto first = std::find(lines.begin(), lines.end(), expected[0]);
    ASSERT_NE(lines.end(), first);
    const size_t shown = std::min<size_t>(expected.size(), lines.end() - first);
    EXPECT_EQ(expected, std::vector<std::wstring>(first, first + shown));
    EXPECT_EQ(6, total);
    EXPECT_EQ(L"CONCLUSION: 6 error detected (You may consider re-installing audio drivers)", lines.back());
    EXPECT_EQ(2u, recordCount(g_inventory.silentFilters));
    closeInventory();

    EXPECT_EQ(1, devices.ks.liveStates) << "the walk's state is not left to its held walkers";
    ASSERT_TRUE(devices.ks.endThreads());
    EXPECT_EQ(4u, devices.ks.heldStorage.size());
    EXPECT_EQ(0, devices.ks.heldStorageFreed) << "a held call came back to storage already freed";
    EXPECT_EQ(0, devices.ks.liveStates) << "the walk's state was not freed when its walkers returned";
    EXPECT_EQ(0, devices.ks.freedStatesWritten) << "a walker wrote into the walk's state after it was freed";
}

}  // namespace
