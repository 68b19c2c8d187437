#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/checker_run.h"
#include "report/text_report.h"
#include "support/check_world.h"
#include "support/fake_device_tree.h"
#include "support/fake_world.h"
#include "support/golden.h"
#include "support/scenario_files.h"
#include "support/test_registry.h"

namespace {

std::wstring deviceLine(const RecordFields& fields, Direction direction) {
    const DeviceRecord record = makeRecord(fields);
    wchar_t line[DEVICE_LINE_SIZE];
    formatDeviceLine(record, direction, line, DEVICE_LINE_SIZE);
    return line;
}

TEST(FormatDeviceLine, LayoutsByKind) {
    RecordFields ks;
    ks.kind = KIND_KS;
    ks.name = L"Halvane Point";
    ks.hardwareId = "HalvaneVSOWDM";
    ks.driverName = L"\\\\?\\root#media#0000#{6994ad04}\\wave";
    ks.iconPath = L"never shown";
    ks.deviceGuid = L"never shown";
    EXPECT_EQ(L"IN KS  Halvane Point | HalvaneVSOWDM | \\\\?\\root#media#0000#{6994ad04}\\wave", deviceLine(ks, DIRECTION_RECORDING));
    EXPECT_EQ(L"OUT KS  Halvane Point | HalvaneVSOWDM | \\\\?\\root#media#0000#{6994ad04}\\wave", deviceLine(ks, DIRECTION_PLAYBACK));

    RecordFields mme;
    mme.kind = KIND_MME;
    mme.name = L"VESSO Output (Halvane Virtual V";
    mme.hardwareId = "HalvaneVSOWDM";
    mme.driverName = L"never shown";
    mme.deviceGuid = L"{fe7d1f1b-0000-4a4b-8c1b-000000000001}";
    mme.iconPath = L"%ProgramFiles%\\Halvane\\VESSO\\pin_out.ico";
    EXPECT_EQ(L"IN MME VESSO Output (Halvane Virtual V | HalvaneVSOWDM | {fe7d1f1b-0000-4a4b-8c1b-000000000001} | "
              L"ICON: %ProgramFiles%\\Halvane\\VESSO\\pin_out.ico ",
              deviceLine(mme, DIRECTION_RECORDING));
    EXPECT_EQ(L"OUT MME VESSO Output (Halvane Virtual V | HalvaneVSOWDM | {fe7d1f1b-0000-4a4b-8c1b-000000000001} | "
              L"ICON: %ProgramFiles%\\Halvane\\VESSO\\pin_out.ico ",
              deviceLine(mme, DIRECTION_PLAYBACK));

    RecordFields wdm;
    wdm.kind = KIND_WDM;
    wdm.name = L"Speakers";
    EXPECT_EQ(L"OUT WDM Speakers |  |  | ICON:  ", deviceLine(wdm, DIRECTION_PLAYBACK));

    RecordFields other;
    other.kind = DeviceSource(2);
    other.name = L"odd";
    other.hardwareId = "X";
    EXPECT_EQ(L"IN --- odd | X |  | ICON:  ", deviceLine(other, DIRECTION_RECORDING));
}

TEST(FormatDeviceLine, HardwareIdIsConvertedAndCut) {
    RecordFields fields;
    fields.kind = KIND_KS;
    fields.hardwareId = "caf\xE9";
    EXPECT_EQ(L"IN KS   | caf\x00E9 | ", deviceLine(fields, DIRECTION_RECORDING));
    DeviceRecord record = makeRecord(fields);
    record.kind = KIND_KS;
    memset(record.hardwareId, 'h', sizeof(record.hardwareId));  // no terminator at all
    wchar_t line[DEVICE_LINE_SIZE];
    formatDeviceLine(record, DIRECTION_RECORDING, line, DEVICE_LINE_SIZE);
    EXPECT_EQ(L"IN KS   | " + std::wstring(127, L'h') + L" | ", std::wstring(line));
}

// Every reader shows a device on one line: C1 controls (next line, U+0085, among them) and the
// line and paragraph separators become "?" as C0 controls do, in wide texts and in a driver's
// ANSI text whose byte widens to a C1 control (0x81 in code page 1252).
TEST(ReportLines, NoTextFromOutsideBreaksALine) {
    RecordFields fields;
    fields.kind = KIND_MME;
    fields.name = L"Line\u0085In\u2028A\u2029B\u0080\u009F\u00A0";
    fields.iconPath = L"C:\\a.ico\u2028OUT MME Fake";
    EXPECT_EQ(L"IN MME Line?In?A?B??\u00A0 |  |  | ICON: C:\\a.ico?OUT MME Fake ", deviceLine(fields, DIRECTION_RECORDING));
    ASSERT_EQ(1252u, GetACP());
    Finding pin = {};
    pin.kind = FINDING_BAD_PIN_NAME;
    pin.source = KIND_MME;
    pin.side = DIRECTION_PLAYBACK;
    pin.value = L"Pin\u0081Out";
    pin.narrowValue = "Pin\x81Out\x85";
    wchar_t line[REPORT_LINE_SIZE];
    ASSERT_TRUE(formatFindingLine(pin, line));
    EXPECT_EQ(L"   *ERROR MME Output - Bad Pin Name: Pin?Out\u2026", std::wstring(line));
}

TEST(FormatDeviceLine, LongFieldsAreCutToTheLine) {
    RecordFields fields;
    fields.name = std::wstring(255, L'n');
    fields.iconPath = std::wstring(511, L'i');
    wchar_t line[64];
    formatDeviceLine(makeRecord(fields), DIRECTION_RECORDING, line, 64);
    EXPECT_EQ(63u, wcslen(line));
}

class CheckerRunTest : public testing::Test {
protected:
    void SetUp() override {
        createLog(&log);
        createLog(&whatToDo);
    }
    void TearDown() override {
        releaseLog(&log);
        releaseLog(&whatToDo);
        releaseJsonRuns(&json);
    }
    int32_t run(const DeviceInventory& inventory) {
        CatalogVersions versions;
        const RunContext context = {&inventory, &os, is64, initValue, askCatalogVersions(&versions)};
        return runAndRender(context, &log, &json, &whatToDo);
    }
    std::wstring text() const { return std::wstring(log.text, log.length); }

    FakeWorld devices;
    LogBuffer log, whatToDo;
    JsonRuns json = {};
    OsIdentification os = {OS_WIN10, 10, 0, 19045, 2};
    bool is64 = true;
    int32_t initValue = 0;
};

TEST_F(CheckerRunTest, EmptyMachine) {
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    EXPECT_EQ(0, run(g_inventory));
    closeInventory();
    EXPECT_TRUE(matchesGolden(text(), "empty_machine.txt"));
    saveScenario("empty_machine", json, text());
    EXPECT_NE(std::wstring::npos, std::wstring(whatToDo.text, whatToDo.length)
                                      .find(L"\r\nNo error found: none of Halvane's drivers is installed on this computer.\r\n"));
}

// What an uninstalled driver leaves: a device node that is not present (with the problem code it
// had) and its endpoints' entries in the store, not present either. Nothing of it runs or is
// listed: the report is the empty machine's, and the JSON report shows the evidence.
TEST_F(CheckerRunTest, LeftOversOfAnUninstalledDriverAreNotInstalled) {
    FakeDeviceTree tree;
    FakeDeviceNode& node = tree.add(L"ROOT\\MEDIA\\0000", L"HalvaneVSOWDM");
    node.present = false;
    node.problem = 22;
    TestRegistry registry;
    const std::wstring guid = L"{aaaaaaaa-0000-0000-0000-000000000001}";
    registry.addEndpoint(L"Render", guid, L"VESSO Input", L"Halvane Virtual Vesso",
                         L"{1}.ROOT\\MEDIA\\0000:HalvaneVSOWDM", L"C:\\VESSO\\pin_in.ico");
    registry.setDword(TestRegistry::directionPath(L"Render") + L"\\" + guid, L"DeviceState", 4);
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    EXPECT_EQ(0, run(g_inventory));
    closeInventory();
    EXPECT_TRUE(matchesGolden(text(), "empty_machine.txt"));
    const std::string doc(json.bytes, json.length);
    for (const char* evidence : {"\"instanceId\": \"ROOT\\\\MEDIA\\\\0000\",\n                \"present\": false,",
                                 "\"state\": \"notPresent\",\n                \"deviceState\": 4,"})
        EXPECT_NE(std::string::npos, doc.find(evidence)) << evidence;
    saveScenario("left_overs", json, text());
}

// Builds the world of the every-message golden: the first driver installed with every fault a
// list can show, a wrong version, an installation problem, a driver with no device listed, and
// wave devices of other makers.
struct EveryMessageWorld {
    explicit EveryMessageWorld(FakeWorld& devices) {
        const DriverCatalogEntry& vesso = DRIVER_CATALOG[0];
        devices.addDriver(vesso.interfaceGuid, vesso.expectedVersion);
        devices.addDriver(DRIVER_CATALOG[1].interfaceGuid, 0x01000306);
        devices.addDriver(DRIVER_CATALOG[2].interfaceGuid, DRIVER_CATALOG[2].expectedVersion);
        devices.addDriver(DRIVER_CATALOG[3].interfaceGuid, DRIVER_CATALOG[3].expectedVersion);
        // Two drivers that do not answer their version request: one until it is cancelled, one
        // that ignores the cancel and answers after the run gave up on it.
        devices.addDriver(DRIVER_CATALOG[4].interfaceGuid, DRIVER_CATALOG[4].expectedVersion).timing =
            PEND_UNTIL_CANCELLED;
        FakeDriverInterface& late = devices.addDriver(DRIVER_CATALOG[5].interfaceGuid, DRIVER_CATALOG[5].expectedVersion);
        late.timing = PEND_IGNORING_CANCEL;
        late.completeAfterMs = 2500;
        world.addInterface(vesso, true, L"Halvane Point Capture");  // capture alias only: silent error
        world.addInterface(DRIVER_CATALOG[3], false, L"Halvane VESSO-C");

        // For each side and each endpoint kind: a record with a wrong driver name, pin name and
        // icon, and a second record sharing the hardware ID, the catalogue's icon and the GUID.
        for (bool recording : {true, false}) {
            RecordList& list = recording ? world.inventory.inputDevices : world.inventory.outputDevices;
            for (DeviceSource kind : {KIND_MME, KIND_WDM}) {
                RecordFields bad = CheckWorld::correctDevice(vesso, kind, recording);
                const std::wstring label = std::wstring(kind == KIND_MME ? L"Wave " : L"Endpoint ") +
                                           (recording ? L"Rec" : L"Play");
                bad.name = label + L" A";
                bad.driverName = L"Other Driver";
                bad.iconPath = L"C:\\icons\\generic.ico";
                world.add(list, bad);
                RecordFields twin = CheckWorld::correctDevice(vesso, kind, recording);
                twin.name = label + L" B";
                for (wchar_t& c : twin.deviceGuid) c = wchar_t(towupper(c));
                world.add(list, twin);
            }
            // Kernel streaming: a wrong name, and a second filter with the same hardware ID and
            // the same interface path.
            RecordFields ks = CheckWorld::correctDevice(vesso, KIND_KS, recording);
            ks.name = std::wstring(L"KS ") + (recording ? L"Rec" : L"Play") + L" A";
            world.add(list, ks);
            ks.name = std::wstring(L"KS ") + (recording ? L"Rec" : L"Play") + L" B";
            world.add(list, ks);
            // Somebody else's devices, one with control characters in every text a driver or
            // the registry gave it: the golden shows each as one line of the report.
            RecordFields other;
            other.name = recording ? L"Microphone (USB Audio)" : L"Speakers (High Definition Audio)";
            other.hardwareId = "USB\\VID_0D8C&PID_0014";
            other.deviceGuid = recording ? L"{a1}" : L"{b2}";
            other.iconPath = L"%SystemRoot%\\system32\\mmres.dll,-3010";
            world.add(list, other);
            RecordFields hostile;
            hostile.name = recording ? L"Line\x1b[31m In\b" : L"Line\tOut\x7f";
            hostile.hardwareId = "HW\x01ID";
            hostile.deviceGuid = L"{c3}\r\n";
            hostile.iconPath = L"C:\\a.ico\r\nOUT MME Fake | x | {d4} | ICON: b.ico\n";
            world.add(list, hostile);
        }
        world.sortLists();
    }
    CheckWorld world;
};

TEST_F(CheckerRunTest, EveryMessageOfTheChecks) {
    EveryMessageWorld every(devices);
    const DWORD start = GetTickCount();
    const int32_t total = run(every.world.inventory);
    // Drivers that do not answer share one wait of a second and one more after the cancel.
    EXPECT_LT(GetTickCount() - start, 3000u);
    // 1 silent + 4 endpoint sides x 6 + 2 kernel-streaming sides x 3; 1 bad version; 2
    // installation problem; 6 not listed; 2 drivers not responding.
    EXPECT_EQ(31 + 1 + 2 + 6 + 2, total);
    EXPECT_TRUE(matchesGolden(text(), "every_message.txt"));
    saveScenario("every_message", json, text());

    // Every form of the message table is in that report.
    const wchar_t* const forms[] = {
        L"CHECKING Halvane Tondrel NODA3 : Not Installed",
        L"CHECKING Halvane Vesso A (version 01000306): Bad version number (or the driver is not updated, or this "
        L"RududuZedadid is not updated)",
        L"CHECKING Halvane Vesso B (version 01000305): Installation Problem Detected",
        L"CHECKING Halvane Point Capture (version 01000305)",
        L"CHECKING Halvane Vesso D : Driver Not Responding",
        L"CHECKING Halvane RZ40 Virtual I/O : Driver Not Responding",
        L"   *ERROR TOTAL FOUND: 31",
    };
    for (const wchar_t* form : forms) EXPECT_NE(std::wstring::npos, text().find(form)) << toUtf8(form);
    for (const wchar_t* source : {L"MME", L"KS", L"WDM"}) {
        for (const wchar_t* device : {L"Recording", L"Playback"})
            EXPECT_NE(std::wstring::npos,
                      text().find(std::wstring(L"   *ERROR ") + source + L" " + device + L" Device not listed."))
                << toUtf8(source) << " " << toUtf8(device);
        for (const wchar_t* end : {L"Input", L"Output"}) {
            const std::wstring side = std::wstring(L"   *ERROR ") + source + L" " + end + L" - ";
            std::vector<const wchar_t*> what = {L"Bad Driver Name: ", L"Found same hardware ID used by: "};
            if (std::wstring(source) == L"KS") {
                what.push_back(L"Found same driver string used by: ");
            } else {
                what.push_back(L"Bad Pin Name: ");
                what.push_back(L"Bad Pin Icon: ");
                what.push_back(L"Found same Icon used by: ");
                what.push_back(L"Found same MMEDeviceGUID used by: ");
            }
            for (const wchar_t* w : what) EXPECT_NE(std::wstring::npos, text().find(side + w)) << toUtf8(side + w);
        }
    }
}

TEST_F(CheckerRunTest, TotalsAddUpOverTheRows) {
    CheckWorld world;
    const DriverCatalogEntry& vesso = DRIVER_CATALOG[0];
    const DriverCatalogEntry& vessoB = DRIVER_CATALOG[2];
    devices.addDriver(vesso.interfaceGuid, vesso.expectedVersion + 1);                   // 1
    // 3 below: its answer comes after the cancel, and counts.
    FakeDriverInterface& late = devices.addDriver(vessoB.interfaceGuid, vessoB.expectedVersion);
    late.timing = PEND_IGNORING_CANCEL;
    late.completeAfterMs = 1500;
    world.addInterface(vessoB, false, L"Halvane VESSO-B");
    world.addCorrectDevices(vessoB);
    RecordFields second = CheckWorld::correctDevice(vessoB, KIND_WDM, false);  // Found same hardware ID
    second.name = L"Zz second endpoint";
    second.iconPath = L"other.ico";
    second.deviceGuid = L"{other}";
    world.add(world.inventory.outputDevices, second);
    world.sortLists();
    for (uint32_t i = 1; i <= world.inventory.inputDevices.count; ++i) {
        DeviceRecord* r = recordAt(world.inventory.inputDevices, i);
        if (r->kind == KIND_MME) strcpy(r->driverName, "Halvane Vesso");        // Bad Driver Name
        if (r->kind == KIND_KS) strcpy(r->pinName, "Halvane VESSO-b");           // Bad Driver Name
    }
    EXPECT_EQ(4, run(world.inventory));
    const std::vector<std::wstring> lines = logLines(log);
    EXPECT_EQ(L"CONCLUSION: 4 error detected (You may consider re-installing audio drivers)", lines.back());
}

// A single error is an error: the conclusion, the JSON and the exit code all say so.
TEST_F(CheckerRunTest, ExactlyOneErrorIsConcludedAsOne) {
    CheckWorld world;
    const DriverCatalogEntry& vesso = DRIVER_CATALOG[0];
    devices.addDriver(vesso.interfaceGuid, vesso.expectedVersion + 1);
    EXPECT_EQ(1, run(world.inventory));
    EXPECT_EQ(L"CONCLUSION: 1 error detected (You may consider re-installing audio drivers)", logLines(log).back());
    const std::string document = jsonDocument(json);
    EXPECT_NE(std::string::npos, document.find("\"errorTotal\": 1,\n      \"conclusion\": \"errorsDetected\","));
}

TEST_F(CheckerRunTest, ClosingBlock) {
    CheckWorld world;
    initValue = -4;
    os = {OS_SERVER_2003, 5, 2, 3790, 2};
    is64 = false;
    SYSTEMTIME before, after;
    GetSystemTime(&before);
    run(world.inventory);
    GetSystemTime(&after);
    const std::vector<std::wstring> lines = logLines(log);
    ASSERT_GE(lines.size(), 5u);
    const size_t n = lines.size();
    EXPECT_EQ(L"------------------------------------------------------------------", lines[n - 5]);
    EXPECT_EQ(L"Initialization value: -4", lines[n - 4]);
    EXPECT_EQ(L"Operating System: WIN Server 2003 32Bits Build: 3790", lines[n - 2]);
    EXPECT_EQ(L"CONCLUSION: OK (nothing bad detected)", lines[n - 1]);

    // The date is UTC: it is the system time around the run, whatever the local zone says.
    wchar_t first[80], last[80];
    _snwprintf(first, 80, L"TEST DATE: %04i/%02i/%02i - %02i:%02i:%02i (Checker Version 1.0.8.8)", before.wYear,
               before.wMonth, before.wDay, before.wHour, before.wMinute, before.wSecond);
    _snwprintf(last, 80, L"TEST DATE: %04i/%02i/%02i - %02i:%02i:%02i (Checker Version 1.0.8.8)", after.wYear,
               after.wMonth, after.wDay, after.wHour, after.wMinute, after.wSecond);
    EXPECT_TRUE(lines[n - 3] == first || lines[n - 3] == last) << toUtf8(lines[n - 3]);
    SYSTEMTIME local;
    GetLocalTime(&local);
    if (local.wHour != after.wHour) {
        wchar_t localLine[80];
        _snwprintf(localLine, 80, L"TEST DATE: %04i/%02i/%02i - %02i", local.wYear, local.wMonth, local.wDay,
                   local.wHour);
        EXPECT_NE(0u, lines[n - 3].find(localLine));
    }
}

TEST_F(CheckerRunTest, TwoRunsLeaveTwoReports) {
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    run(g_inventory);
    const int32_t firstLength = log.length;
    const std::wstring first = text();
    run(g_inventory);
    closeInventory();
    EXPECT_EQ(first, text().substr(0, firstLength));
    EXPECT_EQ(first.substr(first.find(L"INPUT DEVICE")).substr(0, 200), text().substr(firstLength, 200));
    EXPECT_EQ(0u, text().substr(firstLength).find(L"INPUT DEVICE: 0\r\n"));
}

TEST_F(CheckerRunTest, DeviceListsInListOrder) {
    devices.waveIn = {{L"Mic", 1, false}, {L"Line In", 2, false}};
    devices.waveOut = {{L"Speakers", 2, false}};
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    run(g_inventory);
    closeInventory();
    const std::vector<std::wstring> lines = logLines(log);
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(L"INPUT DEVICE: 2", lines[0]);
    EXPECT_EQ(L"IN MME Line In |  |  | ICON:  ", lines[2]);
    EXPECT_EQ(L"IN MME Mic |  |  | ICON:  ", lines[3]);
    EXPECT_EQ(L" ", lines[4]);
    EXPECT_EQ(L"OUTPUT DEVICE: 1", lines[5]);
    EXPECT_EQ(L"OUT MME Speakers |  |  | ICON:  ", lines[7]);
    EXPECT_EQ(L" ", lines[8]);
}

TEST(FormatOsLine, BitnessAndOutOfRangeClasses) {
    OsIdentification os = {OS_WIN10, 10, 0, 19045, 2};
    char line[64];
    formatOsLine(os, 1, line, sizeof(line));
    EXPECT_STREQ("Operating System: WIN 10 64Bits Build: 19045", line);
    os.osClass = OsClass(9);
    formatOsLine(os, 0, line, sizeof(line));
    EXPECT_STREQ("Operating System: unknown 32Bits Build: 19045", line);
    char small[20];
    formatOsLine(os, 0, small, sizeof(small));
    EXPECT_EQ(std::string("Operating System: "), std::string(small, 18));
    EXPECT_EQ(0, small[19]);
}

}  // namespace
