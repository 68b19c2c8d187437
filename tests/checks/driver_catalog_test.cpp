#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checks/driver_checks.h"
#include "checks/driver_control.h"
#include "report/text_report.h"
#include "support/driver_jobs.h"
#include "support/check_world.h"
#include "support/fake_world.h"

namespace {

typedef std::vector<std::wstring> Lines;

const DriverCatalogEntry& kVesso = DRIVER_CATALOG[0];
const DriverCatalogEntry& kVessoA = DRIVER_CATALOG[1];

class CheckDriverTest : public testing::Test {
protected:
    void SetUp() override { createLog(&log); }
    void TearDown() override { releaseLog(&log); }

    // The check's findings, and its section as the report renders it.
    int32_t check(const DriverCatalogEntry& row, int32_t osClass = 7) {
        return checkInto(world, row, osClass);
    }
    int32_t checkInto(CheckWorld& lists, const DriverCatalogEntry& row, int32_t osClass = 7) {
        clear(&log);
        lists.sortLists();
        const CheckContext context = {&lists.inventory, OsClass(osClass)};
        DriverVersionAnswer answer = {0, 0};
        askDriverVersions(&row.interfaceGuid, 1, &answer);
        const int32_t errors = checkDriver(row, answer, context, &result);
        appendDriverSection(result, &log);
        return errors;
    }
    Lines lines() const { return logLines(log); }
    // An installed driver of the right version, with its render interface.
    void install(const DriverCatalogEntry& row) {
        devices.addDriver(row.interfaceGuid, row.expectedVersion);
        world.addInterface(row, false, widen(row.displayName) + L" Device");
    }

    FakeWorld devices;
    CheckWorld world;
    LogBuffer log;
    DriverResult result;
};

TEST_F(CheckDriverTest, EverythingInOrderWritesOneLine) {
    install(kVesso);
    world.addCorrectDevices(kVesso);
    EXPECT_EQ(0, check(kVesso));
    EXPECT_EQ(Lines{L"CHECKING Halvane Virtual Vesso Device (version 01000305)"}, lines());
}

TEST_F(CheckDriverTest, NotInstalled) {
    EXPECT_EQ(0, check(kVesso));
    EXPECT_EQ(Lines{L"CHECKING Halvane Virtual Vesso : Not Installed"}, lines());
    devices.addDriver(kVesso.interfaceGuid, 0);  // present, but answering 0
    EXPECT_EQ(0, check(kVesso));
    EXPECT_EQ(Lines{L"CHECKING Halvane Virtual Vesso : Not Installed"}, lines());
}

TEST_F(CheckDriverTest, AnyOtherVersionIsBad) {
    for (uint32_t version : {0x01000306u, 0x01000304u, 0x00000001u}) {
        devices.interfaces.clear();
        devices.addDriver(kVesso.interfaceGuid, version);
        world.addInterface(kVesso, false, L"Vesso");
        EXPECT_EQ(1, check(kVesso));
        char expected[256];
        _snprintf(expected, sizeof(expected),
                  "CHECKING Halvane Virtual Vesso (version %08X): Bad version number (or the driver is not updated, "
                  "or this RududuZedadid is not updated)",
                  version);
        EXPECT_EQ(Lines{widen(expected)}, lines());
        EXPECT_EQ(DRIVER_STATE_WRONG_VERSION, result.state);
        EXPECT_EQ(version, result.version);
        EXPECT_EQ(0, result.findingCount);
    }
}

TEST_F(CheckDriverTest, NoInterfaceIsAnInstallationProblem) {
    devices.addDriver(kVesso.interfaceGuid, kVesso.expectedVersion);
    world.addCorrectDevices(kVesso);  // devices in every list do not help
    world.addInterface(kVessoA, false, L"another driver's interface");
    EXPECT_EQ(2, check(kVesso));
    EXPECT_EQ(Lines{L"CHECKING Halvane Virtual Vesso (version 01000305): Installation Problem Detected"}, lines());
}

TEST_F(CheckDriverTest, ACaptureInterfaceAloneIsASilentError) {
    devices.addDriver(kVesso.interfaceGuid, kVesso.expectedVersion);
    world.addInterface(kVesso, true, L"Capture Only");
    world.addCorrectDevices(kVesso);
    EXPECT_EQ(1, check(kVesso));
    EXPECT_EQ((Lines{L"CHECKING Capture Only (version 01000305)", L"   *ERROR TOTAL FOUND: 1"}), lines());
}

// The interface and every device are found by their hardware IDs whatever the case: each
// record here spells it another way.
TEST_F(CheckDriverTest, HardwareIdsIgnoreCase) {
    devices.addDriver(kVesso.interfaceGuid, kVesso.expectedVersion);
    RecordFields fields;
    fields.name = L"lower case";
    fields.hardwareId = "halvanevsowdm";
    fields.ksAliases = KS_ALIAS_RENDER;
    world.add(world.inventory.ksInterfaces, fields);
    const char* const spellings[] = {"HALVANEVSOWDM", "halvanevsowdm", "hALVANEvsoWDM"};
    int spelling = 0;
    for (DeviceSource kind : {KIND_MME, KIND_KS, KIND_WDM})
        for (bool recording : {true, false}) {
            RecordFields device = CheckWorld::correctDevice(kVesso, kind, recording);
            device.hardwareId = spellings[spelling++ % 3];
            world.add(recording ? world.inventory.inputDevices : world.inventory.outputDevices, device);
        }
    EXPECT_EQ(0, check(kVesso));
    EXPECT_EQ(Lines{L"CHECKING lower case (version 01000305)"}, lines());
}

TEST_F(CheckDriverTest, NothingListedOnWindows10) {
    install(kVesso);
    EXPECT_EQ(6, check(kVesso, 7));
    EXPECT_EQ((Lines{L"CHECKING Halvane Virtual Vesso Device (version 01000305)",
                     L"   *ERROR MME Recording Device not listed.", L"   *ERROR MME Playback Device not listed.",
                     L"   *ERROR KS Recording Device not listed.", L"   *ERROR KS Playback Device not listed.",
                     L"   *ERROR WDM Recording Device not listed.", L"   *ERROR WDM Playback Device not listed.",
                     L"   *ERROR TOTAL FOUND: 6"}),
              lines());
}

TEST_F(CheckDriverTest, NothingListedBeforeVista) {
    install(kVesso);
    for (int32_t osClass : {0, 1, 2}) {
        EXPECT_EQ(4, check(kVesso, osClass)) << osClass;
        EXPECT_EQ((Lines{L"CHECKING Halvane Virtual Vesso Device (version 01000305)",
                         L"   *ERROR MME Recording Device not listed.", L"   *ERROR MME Playback Device not listed.",
                         L"   *ERROR KS Recording Device not listed.", L"   *ERROR KS Playback Device not listed.",
                         L"   *ERROR TOTAL FOUND: 4"}),
                  lines())
            << osClass;
    }
    // An unknown release is not an old one.
    EXPECT_EQ(6, check(kVesso, -1));
}

TEST_F(CheckDriverTest, LegacyModeOnlyLooksForWaveDevices) {
    install(kVesso);
    RecordFields wrong = CheckWorld::correctDevice(kVesso, KIND_MME, true);
    wrong.name = L"Wrong Name";
    wrong.driverName = L"Wrong Driver";
    wrong.iconPath = L"";
    world.add(world.inventory.inputDevices, wrong);
    // The playback wave device carries no hardware ID, but has the kernel-streaming name.
    RecordFields byName;
    byName.name = widen(kVesso.ksName);
    world.add(world.inventory.outputDevices, byName);
    world.add(world.inventory.inputDevices, CheckWorld::correctDevice(kVesso, KIND_KS, true));
    world.add(world.inventory.outputDevices, CheckWorld::correctDevice(kVesso, KIND_KS, false));
    EXPECT_EQ(0, check(kVesso, 1));
    EXPECT_EQ(Lines{L"CHECKING Halvane Virtual Vesso Device (version 01000305)"}, lines());
    // After Vista the same lists are wrong.
    EXPECT_EQ(3 + 1 + 2, check(kVesso, 4));
}

TEST_F(CheckDriverTest, LegacyNameFallbackIsExact) {
    install(kVesso);
    RecordFields byName;
    byName.name = L"halvane point";  // case differs
    world.add(world.inventory.inputDevices, byName);
    byName.name = widen(kVesso.ksName);
    byName.kind = KIND_WDM;  // right name, wrong kind
    world.add(world.inventory.outputDevices, byName);
    world.add(world.inventory.inputDevices, CheckWorld::correctDevice(kVesso, KIND_KS, true));
    world.add(world.inventory.outputDevices, CheckWorld::correctDevice(kVesso, KIND_KS, false));
    EXPECT_EQ(2, check(kVesso, 1));
    EXPECT_EQ((Lines{L"CHECKING Halvane Virtual Vesso Device (version 01000305)",
                     L"   *ERROR MME Recording Device not listed.", L"   *ERROR MME Playback Device not listed.",
                     L"   *ERROR TOTAL FOUND: 2"}),
              lines());
}

TEST_F(CheckDriverTest, SharedValuesNameTheFirstOtherRecordOnce) {
    install(kVessoA);
    world.addCorrectDevices(kVessoA);
    // Two more endpoint records with the same hardware ID: only the first other one is named.
    RecordFields second = CheckWorld::correctDevice(kVessoA, KIND_WDM, true);
    second.name = L"VESSO-A Output (Halvane Vesso A) 2";
    second.iconPath = L"elsewhere.ico";
    second.deviceGuid = L"{second}";
    world.add(world.inventory.inputDevices, second);
    second.name = L"VESSO-A Output (Halvane Vesso A) 3";
    second.deviceGuid = L"{third}";
    world.add(world.inventory.inputDevices, second);
    EXPECT_EQ(1, check(kVessoA));
    EXPECT_EQ((Lines{L"CHECKING Halvane Vesso A Device (version 01000305)",
                     L"   *ERROR WDM Input - Found same hardware ID used by: VESSO-A Output (Halvane Vesso A) 2",
                     L"   *ERROR TOTAL FOUND: 1"}),
              lines());
    ASSERT_EQ(1, result.findingCount);
    const Finding& shared = result.findings[0];
    EXPECT_EQ(FINDING_SAME_HARDWARE_ID, shared.kind);
    EXPECT_EQ(KIND_WDM, shared.source);
    EXPECT_EQ(DIRECTION_RECORDING, shared.side);
    EXPECT_STREQ("HalvaneVSOAWDM", shared.narrowValue);
    EXPECT_STREQ(L"VESSO-A Output (Halvane Vesso A) 2", shared.otherName);
}

TEST_F(CheckDriverTest, EndpointGuidsCompareIgnoringCaseAndEmptyMatchesEmpty) {
    install(kVesso);
    world.addCorrectDevices(kVesso);
    RecordFields other = CheckWorld::correctDevice(kVesso, KIND_WDM, false);
    other.name = L"Some other endpoint";
    other.hardwareId = "OTHER";
    other.iconPath = L"other.ico";
    std::wstring upper = CheckWorld::correctDevice(kVesso, KIND_WDM, false).deviceGuid;
    for (wchar_t& c : upper) c = wchar_t(towupper(c));
    other.deviceGuid = upper;
    world.add(world.inventory.outputDevices, other);
    EXPECT_EQ(1, check(kVesso));
    EXPECT_EQ(L"   *ERROR WDM Output - Found same MMEDeviceGUID used by: Some other endpoint", lines().at(1));

    // Both empty: the same too.
    CheckWorld fresh;
    install(kVesso);
    RecordFields mine = CheckWorld::correctDevice(kVesso, KIND_MME, true);
    mine.deviceGuid = L"";
    fresh.add(fresh.inventory.inputDevices, mine);
    RecordFields blank;
    blank.name = L"No GUID either";
    fresh.add(fresh.inventory.inputDevices, blank);
    fresh.addInterface(kVesso, false, L"Vesso");
    checkInto(fresh, kVesso);
    EXPECT_EQ(L"   *ERROR MME Input - Found same MMEDeviceGUID used by: No GUID either", logLines(log).at(1));
}

TEST_F(CheckDriverTest, SharedValuesOnlyWithinOneKind) {
    install(kVesso);
    // The correct devices already share the hardware ID across kinds and across the two lists.
    world.addCorrectDevices(kVesso);
    // A kernel-streaming record with the recording endpoint's icon and GUID does not conflict.
    RecordFields crossKind = CheckWorld::correctDevice(kVesso, KIND_WDM, true);
    crossKind.kind = KIND_KS;
    crossKind.name = L"ks";
    crossKind.hardwareId = "OTHER";
    world.add(world.inventory.inputDevices, crossKind);
    EXPECT_EQ(0, check(kVesso));
    EXPECT_EQ(1u, lines().size());
}

TEST_F(CheckDriverTest, ErrorsAddUpWithTheSilentOne) {
    devices.addDriver(kVesso.interfaceGuid, kVesso.expectedVersion);
    world.addInterface(kVesso, true, L"Capture Only");
    world.addCorrectDevices(kVesso);
    DeviceRecord* mme = nullptr;
    for (uint32_t i = 1; i <= world.inventory.inputDevices.count; ++i)
        if (recordAt(world.inventory.inputDevices, i)->kind == KIND_MME) mme = recordAt(world.inventory.inputDevices, i);
    ASSERT_NE(nullptr, mme);
    strcpy(mme->driverName, "Halvane virtual vesso");  // case matters here
    strcpy(mme->pinName, "vESSO Output");
    lstrcpyW(mme->iconPath, L"C:\\Program Files\\Halvane\\vesso\\pin_out.ico");
    EXPECT_EQ(4, check(kVesso));
    EXPECT_EQ((Lines{L"CHECKING Capture Only (version 01000305)",
                     L"   *ERROR MME Input - Bad Driver Name: Halvane virtual vesso",
                     L"   *ERROR MME Input - Bad Pin Name: vESSO Output",
                     L"   *ERROR MME Input - Bad Pin Icon: C:\\Program Files\\Halvane\\vesso\\pin_out.ico",
                     L"   *ERROR TOTAL FOUND: 4"}),
              lines());
    // The findings behind those lines: the silent one first, then kind, source, side and value.
    EXPECT_EQ(DRIVER_STATE_CHECKED, result.state);
    EXPECT_STREQ(L"Capture Only", result.interfaceName);
    ASSERT_EQ(4, result.findingCount);
    EXPECT_EQ(FINDING_CAPTURE_ONLY_INTERFACE, result.findings[0].kind);
    EXPECT_EQ(KIND_KS, result.findings[0].source);
    const Finding& name = result.findings[1];
    EXPECT_EQ(FINDING_BAD_DRIVER_NAME, name.kind);
    EXPECT_EQ(KIND_MME, name.source);
    EXPECT_EQ(DIRECTION_RECORDING, name.side);
    EXPECT_STREQ("Halvane virtual vesso", name.narrowValue);
    EXPECT_EQ(nullptr, name.otherName);
    EXPECT_EQ(FINDING_BAD_PIN_NAME, result.findings[2].kind);
    EXPECT_EQ(FINDING_BAD_PIN_ICON, result.findings[3].kind);
    EXPECT_STREQ(L"C:\\Program Files\\Halvane\\vesso\\pin_out.ico", result.findings[3].value);
}

TEST(PinNameMatches, LeadingPartOfEitherForm) {
    const char* stem = kVesso.recordingPinName;
    const char* display = kVesso.displayName;
    const std::string full = "VESSO Output (Halvane Virtual Vesso)";
    struct Case {
        std::string name;
        bool matches;
    } cases[] = {
        {full, true},
        {full.substr(0, 31), true},  // a wave device name, cut by Windows
        {"VESSO Output", true},
        {"VESSO Output(Halvane Virtual Vesso)", true},
        {"", true},
        {full + " 2", false},
        {"vESSO Output", false},
        {"VESSO Output (Halvane Virtual Vesso", true},
        {"VESSO Output  (Halvane Virtual Vesso)", false},
        {"VESSO Input (Halvane Virtual Vesso)", false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.matches, pinNameMatches(c.name.c_str(), stem, display)) << c.name;
}

TEST(IconPathEndsWith, CaseSensitiveTail) {
    const wchar_t* icon = kVesso.recordingIcon;
    EXPECT_TRUE(iconPathEndsWith(L"C:\\Program Files\\Halvane\\VESSO\\pin_out.ico", icon));
    EXPECT_TRUE(iconPathEndsWith(L"VESSO\\pin_out.ico", icon));
    EXPECT_FALSE(iconPathEndsWith(L"C:\\Program Files\\Halvane\\vesso\\pin_out.ico", icon));
    EXPECT_FALSE(iconPathEndsWith(L"pin_out.ico", icon));
    EXPECT_FALSE(iconPathEndsWith(L"", icon));
    EXPECT_TRUE(iconPathEndsWith(L"", L""));
    EXPECT_TRUE(iconPathEndsWith(L"anything", L""));
    EXPECT_FALSE(iconPathEndsWith(L"C:\\VESSO\\pin_out.ico ", icon));
}

// Every column of the ten rows, written out: a typo in the catalogue is a test failure.
TEST(DriverCatalog, TheTenRowsAsPublished) {
    struct Row {
        const wchar_t* guid;
        uint32_t version;
        const char *hardwareId, *displayName, *recordingPin, *playbackPin;
        const wchar_t *recordingIcon, *playbackIcon;
        const char *ksName, *fileBase;
    };
    const Row rows[DRIVER_CATALOG_SIZE] = {
        {L"{FE4F5263-11D5-4724-95BA-A978983B6369}", 0x01000305, "HalvaneVSOWDM", "Halvane Virtual Vesso",
         "VESSO Output", "VESSO Input", L"VESSO\\pin_out.ico", L"VESSO\\pin_in.ico", "Halvane Point", nullptr},
        {L"{DE2BA9C8-CF2E-41DF-8B64-441C516B64AE}", 0x01000305, "HalvaneVSOAWDM", "Halvane Vesso A",
         "VESSO-A Output", "VESSO-A Input", L"VESSO-A\\pin_out.ico", L"VESSO-A\\pin_in.ico", "Halvane VESSO-A",
         nullptr},
        {L"{BC322BD5-6359-47D4-9926-363FE6A11024}", 0x01000305, "HalvaneVSOBWDM", "Halvane Vesso B",
         "VESSO-B Output", "VESSO-B Input", L"VESSO-B\\pin_out.ico", L"VESSO-B\\pin_in.ico", "Halvane VESSO-B",
         nullptr},
        {L"{A222643E-744A-46F8-85FE-02883EC5C2E3}", 0x02010502, "Halvane101WDMVessoC", "Halvane Vesso C",
         "VESSO-C Output", "VESSO-C Input", nullptr, nullptr, "Halvane VESSO-C", "halvane_vessoc"},
        {L"{775D096D-0F0F-45FA-8EE1-4C1FD194910B}", 0x02010502, "Halvane102WDMVessoD", "Halvane Vesso D",
         "VESSO-D Output", "VESSO-D Input", nullptr, nullptr, "Halvane VESSO-D", "halvane_vessod"},
        {L"{DBFD22D6-5229-407D-A407-E15D7FF35253}", 0x01000305, "HalvaneRZ40NODA", "Halvane RZ40 Virtual I/O",
         "RZ40 Output", "RZ40 Input", L"VESSORZ40\\pin_out.ico", L"VESSORZ40\\pin_in.ico", "Halvane RZ40 NODA",
         nullptr},
        {L"{BA04A117-26C3-4C87-A3BA-F3D7A1D8C4FE}", 0x01000305, "HalvaneCLNODA", "Halvane Clarel Vesso",
         "Clarel Vesso Output", "Clarel Vesso Input", L"VESSOClarel\\pin_out.ico", L"VESSOClarel\\pin_in.ico",
         "Halvane Clarel Vesso", nullptr},
        {L"{F78A830F-E6D0-4F70-BC4D-B29B6713961F}", 0x02010502, "HalvaneTDNODA", "Halvane Tondrel NODA",
         "Tondrel Output", "Tondrel Input", nullptr, nullptr, "Tondrel noda", "halvane_tdnoda"},
        {L"{C97816B5-B7B9-415A-AC71-7A40FBD66481}", 0x02010502, "HalvaneTDAUXNODA", "Halvane Tondrel AUX NODA",
         "Tondrel Aux Output", "Tondrel Aux Input", nullptr, nullptr, "Tondrel Aux noda", "halvane_tdauxnoda"},
        {L"{AFCE6DFE-B614-4EA5-95E0-957E81F276F3}", 0x02010502, "Halvane100TDNODA3", "Halvane Tondrel NODA3",
         "Tondrel NODA3 Output", "Tondrel NODA3 Input", nullptr, nullptr, "Tondrel NODA3", "halvane_tdnoda3"},
    };
    for (int i = 0; i < DRIVER_CATALOG_SIZE; ++i) {
        const Row& expected = rows[i];
        const DriverCatalogEntry& row = DRIVER_CATALOG[i];
        wchar_t guid[64];
        StringFromGUID2(row.interfaceGuid, guid, 64);
        EXPECT_STREQ(expected.guid, guid) << "row " << i + 1;
        EXPECT_EQ(expected.version, row.expectedVersion) << "row " << i + 1;
        EXPECT_STREQ(expected.hardwareId, row.driverHardwareId) << "row " << i + 1;
        EXPECT_STREQ(expected.displayName, row.displayName) << "row " << i + 1;
        EXPECT_STREQ(expected.recordingPin, row.recordingPinName) << "row " << i + 1;
        EXPECT_STREQ(expected.playbackPin, row.playbackPinName) << "row " << i + 1;
        EXPECT_STREQ(expected.recordingIcon, row.recordingIcon) << "row " << i + 1;
        EXPECT_STREQ(expected.playbackIcon, row.playbackIcon) << "row " << i + 1;
        EXPECT_STREQ(expected.ksName, row.ksName) << "row " << i + 1;
        EXPECT_STREQ(expected.fileBase, row.driverFileBase) << "row " << i + 1;
    }
    // CTL_CODE(FILE_DEVICE_UNKNOWN, 0x810, METHOD_BUFFERED, FILE_ANY_ACCESS); the fake drivers
    // answer this literal code only.
    EXPECT_EQ(0x222040u, IOCTL_DRIVER_GET_VERSION);
}

TEST(DriverIconReference, BaseBitnessSuffixAndSide) {
    struct Case {
        int32_t osClass;
        bool is64;
        Direction direction;
        const wchar_t* expected;
    } cases[] = {
        {7, 1, DIRECTION_RECORDING, L"halvane_vessoc64_win10.sys,-101"},
        {1, 0, DIRECTION_RECORDING, L"halvane_vessoc_xp.sys,-101"},
        {0, 0, DIRECTION_PLAYBACK, L"halvane_vessoc_xp.sys,-100"},
        {2, 1, DIRECTION_PLAYBACK, L"halvane_vessoc64_2003.sys,-100"},
        {3, 0, DIRECTION_PLAYBACK, L"halvane_vessoc_vista.sys,-100"},
        {4, 0, DIRECTION_PLAYBACK, L"halvane_vessoc_win7.sys,-100"},
        {5, 0, DIRECTION_PLAYBACK, L"halvane_vessoc_win7.sys,-100"},
        {6, 0, DIRECTION_PLAYBACK, L"halvane_vessoc_win7.sys,-100"},
        {8, 0, DIRECTION_RECORDING, L"halvane_vessoc_win10.sys,-101"},
        {-1, 1, DIRECTION_RECORDING, L"halvane_vessoc64,-101"},
    };
    for (const Case& c : cases) {
        wchar_t reference[128];
        driverIconReference("halvane_vessoc", c.direction, OsClass(c.osClass), c.is64, reference);
        EXPECT_STREQ(c.expected, reference) << "class " << c.osClass;
    }
    wchar_t reference[128];
    driverIconReference(std::string(300, 'b').c_str(), DIRECTION_RECORDING, OS_WIN10, 1, reference);
    EXPECT_EQ(127u, wcslen(reference));
}

}  // namespace
