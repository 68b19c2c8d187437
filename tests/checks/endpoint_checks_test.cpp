#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "checks/driver_checks.h"
#include "report/text_report.h"
#include "inventory/device_inventory.h"
#include "support/driver_jobs.h"
#include "support/check_world.h"
#include "support/fake_endpoints.h"
#include "support/fake_world.h"
#include "support/test_registry.h"

namespace {

typedef std::vector<std::wstring> Lines;

const DriverCatalogEntry& kVesso = DRIVER_CATALOG[0];
const std::wstring kRenderGuid = L"{aaaaaaaa-0000-0000-0000-000000000001}";
const std::wstring kCaptureGuid = L"{bbbbbbbb-0000-0000-0000-000000000002}";
const std::wstring kDriverText = L"{1}.ROOT\\MEDIA\\0000:HalvaneVSOWDM";

// The first catalogued driver registered in the wave device list, the Core Audio endpoints and
// the endpoint store of the real registry: what a correct installation leaves. Each test
// changes one thing.
class EndpointChecksTest : public testing::Test {
protected:
    void SetUp() override {
        createLog(&log);
        devices.addDriver(kVesso.interfaceGuid, kVesso.expectedVersion);
        addEntry(L"Render", kRenderGuid, L"VESSO Input", L"Halvane Virtual Vesso", kDriverText,
                 L"%ProgramFiles%\\Halvane\\VESSO\\pin_in.ico");
        addEntry(L"Capture", kCaptureGuid, L"VESSO Output", L"Halvane Virtual Vesso", kDriverText,
                 L"%ProgramFiles%\\Halvane\\VESSO\\pin_out.ico");
        devices.waveOut.push_back({L"VESSO Input (Halvane Virtual Vesso)", 2, false});
        devices.waveIn.push_back({L"VESSO Output (Halvane Virtual Vesso)", 2, false});
        endpoints.add(eRender, L"{0.0.0.00000000}." + kRenderGuid, L"VESSO Input (Halvane Virtual Vesso)",
                      L"Halvane Virtual Vesso");
        endpoints.add(eCapture, L"{0.0.1.00000000}." + kCaptureGuid, L"VESSO Output (Halvane Virtual Vesso)",
                      L"Halvane Virtual Vesso");
        // The driver's kernel-streaming interface, with a capture and a render alias and a
        // streaming pin for each.
        devices.ks.addInterface(L"\\\\?\\root#media#0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\wave",
                                L"Halvane Point", "HalvaneVSOWDM", true, true)
            .friendlyName = L"Halvane Virtual Vesso";
    }
    void TearDown() override {
        closeInventory();
        releaseLog(&log);
    }

    void addEntry(const wchar_t* direction, const std::wstring& guid, const std::wstring& description,
                  const std::wstring& adapter, const std::wstring& driverText, const std::wstring& icon) {
        registry.addEndpoint(direction, guid, description, adapter, driverText, icon);
    }

    // A collection pass over this world, then the driver's check.
    Lines check() {
        openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
        clear(&log);
        const CheckContext context = {&g_inventory, OS_WIN10};
        DriverResult result;
        DriverVersionAnswer answer = {0, 0};
        askDriverVersions(&kVesso.interfaceGuid, 1, &answer);
        errors = checkDriver(kVesso, answer, context, &result);
        appendDriverSection(result, &log);
        return logLines(log);
    }
    static bool has(const Lines& lines, const std::wstring& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    static std::string dump(const Lines& lines) {
        std::string text;
        for (const std::wstring& l : lines) text += std::string(l.begin(), l.end()) + "\n";
        return text;
    }

    FakeWorld devices;
    FakeEndpoints endpoints;
    TestRegistry registry;
    LogBuffer log;
    int32_t errors = 0;
};

// A correct driver: its section is the one line, named after its interface's device.
const Lines kCorrect = {L"CHECKING Halvane Virtual Vesso (version 01000305)"};

TEST_F(EndpointChecksTest, ACorrectRegistrationPassesItsWaveAndEndpointChecks) {
    const Lines lines = check();
    EXPECT_EQ(kCorrect, lines) << dump(lines);
    EXPECT_EQ(0, errors);
    // What the sources gathered, as the report shows it.
    ASSERT_EQ(3u, recordCount(g_inventory.outputDevices));
    const DeviceRecord* wdm = recordAt(g_inventory.outputDevices, 1);
    const DeviceRecord* ks = recordAt(g_inventory.outputDevices, 2);
    const DeviceRecord* mme = recordAt(g_inventory.outputDevices, 3);
    EXPECT_EQ(8u, ks->kind);  // KS
    EXPECT_STREQ("Halvane Point", ks->pinName);
    EXPECT_STREQ("HalvaneVSOWDM", ks->hardwareId);
    EXPECT_EQ(4u, wdm->kind);  // WDM
    EXPECT_EQ(1u, mme->kind);  // MME
    EXPECT_STREQ(L"VESSO Input (Halvane Virtual Ve", mme->pinNameW);  // wave names are cut to 31
    EXPECT_STREQ("HalvaneVSOWDM", mme->hardwareId);
    EXPECT_STREQ("HalvaneVSOWDM", wdm->hardwareId);
    EXPECT_EQ(kRenderGuid, mme->mmDeviceGuid);
    EXPECT_EQ(kRenderGuid, wdm->mmDeviceGuid);
    EXPECT_STREQ(L"%ProgramFiles%\\Halvane\\VESSO\\pin_in.ico", mme->iconPath);
    EXPECT_STREQ(L"Halvane Virtual Vesso", mme->driverNameW);
}

TEST_F(EndpointChecksTest, WrongDriverNames) {
    // The store's adapter name (the wave device's driver name) and the endpoint's adapter name.
    const std::wstring path = TestRegistry::propertiesPath(L"Render", kRenderGuid);
    registry.setString(path, L"{b3f8fa53-0004-438e-9003-51a46e139bfc},6", L"Halvane Virtual Vesso 2");
    endpoints.endpoints[0].adapter = L"Halvane Virtual Vesso 3";
    const Lines lines = check();
    EXPECT_TRUE(has(lines, L"   *ERROR MME Output - Bad Driver Name: Halvane Virtual Vesso 2")) << dump(lines);
    EXPECT_TRUE(has(lines, L"   *ERROR WDM Output - Bad Driver Name: Halvane Virtual Vesso 3")) << dump(lines);
    EXPECT_EQ(2, errors);
}

TEST_F(EndpointChecksTest, WrongPinNames) {
    const std::wstring path = TestRegistry::propertiesPath(L"Capture", kCaptureGuid);
    registry.setString(path, L"{a45c254e-df1c-4efd-8020-67d146a850e0},2", L"VESSO Outputs");
    devices.waveIn[0].name = L"VESSO Outputs (Halvane Virtual Vesso)";
    endpoints.endpoints[1].name = L"VESSO output (Halvane Virtual Vesso)";
    const Lines lines = check();
    EXPECT_TRUE(has(lines, L"   *ERROR MME Input - Bad Pin Name: VESSO Outputs (Halvane Virtual ")) << dump(lines);
    EXPECT_TRUE(has(lines, L"   *ERROR WDM Input - Bad Pin Name: VESSO output (Halvane Virtual Vesso)")) << dump(lines);
    EXPECT_EQ(2, errors);
}

TEST_F(EndpointChecksTest, WrongIcon) {
    registry.setString(TestRegistry::propertiesPath(L"Render", kRenderGuid), L"{259abffc-50a7-47ce-af08-68c9a7d73366},12",
                       L"%ProgramFiles%\\Halvane\\vesso\\pin_in.ico");
    const Lines lines = check();
    EXPECT_TRUE(has(lines, L"   *ERROR MME Output - Bad Pin Icon: %ProgramFiles%\\Halvane\\vesso\\pin_in.ico"))
        << dump(lines);
    EXPECT_TRUE(has(lines, L"   *ERROR WDM Output - Bad Pin Icon: %ProgramFiles%\\Halvane\\vesso\\pin_in.ico"))
        << dump(lines);
    EXPECT_EQ(2, errors);
}

TEST_F(EndpointChecksTest, SharedHardwareId) {
    // A second playback entry, wave device and endpoint claiming the driver's hardware ID.
    const std::wstring other = L"{cccccccc-0000-0000-0000-000000000003}";
    addEntry(L"Render", other, L"Wrong Speakers", L"Somebody", L"x:halvanevsowdm", L"C:\\other.ico");
    devices.waveOut.push_back({L"Wrong Speakers (Somebody)", 2, false});
    endpoints.add(eRender, L"{0.0.0.00000000}." + other, L"Wrong Speakers (Somebody)", L"Somebody");
    const Lines lines = check();
    EXPECT_TRUE(has(lines, L"   *ERROR MME Output - Found same hardware ID used by: Wrong Speakers (Somebody)"))
        << dump(lines);
    EXPECT_TRUE(has(lines, L"   *ERROR WDM Output - Found same hardware ID used by: Wrong Speakers (Somebody)"))
        << dump(lines);
    EXPECT_EQ(2, errors);
}

TEST_F(EndpointChecksTest, SharedIcon) {
    const std::wstring other = L"{dddddddd-0000-0000-0000-000000000004}";
    addEntry(L"Capture", other, L"Line In", L"Somebody", L"x:OTHER", L"D:\\copy\\VESSO\\pin_out.ico");
    devices.waveIn.push_back({L"Line In (Somebody)", 2, false});
    endpoints.add(eCapture, L"{0.0.1.00000000}." + other, L"Line In (Somebody)", L"Somebody");
    const Lines lines = check();
    EXPECT_TRUE(has(lines, L"   *ERROR MME Input - Found same Icon used by: Line In (Somebody)")) << dump(lines);
    EXPECT_TRUE(has(lines, L"   *ERROR WDM Input - Found same Icon used by: Line In (Somebody)")) << dump(lines);
    EXPECT_EQ(2, errors);
}

TEST_F(EndpointChecksTest, SharedEndpointGuid) {
    // An endpoint of another adapter whose identifier ends in the same GUID (case aside).
    std::wstring upper = kCaptureGuid;
    for (wchar_t& c : upper) c = wchar_t(towupper(c));
    endpoints.add(eCapture, L"{0.0.1.00000000}." + upper, L"Zz Ghost (Somebody)", L"Somebody");
    const Lines lines = check();
    EXPECT_TRUE(has(lines, L"   *ERROR WDM Input - Found same MMEDeviceGUID used by: Zz Ghost (Somebody)"))
        << dump(lines);
    // Through that GUID it also reads the driver's registry entry: the same hardware ID and icon.
    EXPECT_TRUE(has(lines, L"   *ERROR WDM Input - Found same hardware ID used by: Zz Ghost (Somebody)"))
        << dump(lines);
    EXPECT_TRUE(has(lines, L"   *ERROR WDM Input - Found same Icon used by: Zz Ghost (Somebody)")) << dump(lines);
    EXPECT_EQ(3, errors);
}

TEST_F(EndpointChecksTest, MissingRegistryEntriesLeaveTheWaveDevicesUnlisted) {
    TestRegistry::deleteStore();
    const Lines lines = check();
    EXPECT_TRUE(has(lines, L"   *ERROR MME Recording Device not listed.")) << dump(lines);
    EXPECT_TRUE(has(lines, L"   *ERROR MME Playback Device not listed.")) << dump(lines);
    // The endpoints still carry the interface's hardware ID, but no icon.
    EXPECT_TRUE(has(lines, L"   *ERROR WDM Output - Bad Pin Icon: ")) << dump(lines);
}

}  // namespace
