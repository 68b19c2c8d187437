#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sources/ks/ks_interfaces.h"
#include "support/check_world.h"
#include "support/fake_ks.h"
#include "support/records.h"
#include "support/test_registry.h"

namespace {

class KsInterfacesTest : public testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(0, ks.openSets) << "a device information set was not destroyed";
        EXPECT_EQ(0, ks.openKeys) << "an interface key was not closed";
        EXPECT_EQ(0, ks.openFilters) << "a filter was not closed";
        EXPECT_EQ(0, ks.liveBlocks);
    }
    void collectAll() {
        resetList(&inventory.inputDevices);
        resetList(&inventory.outputDevices);
        ASSERT_EQ(0, collectKsInterfaces(&inventory.ksInterfaces));
        ASSERT_EQ(0, collectKsDevices(inventory.ksInterfaces, &inventory.inputDevices, DIRECTION_RECORDING));
        ASSERT_EQ(0, collectKsDevices(inventory.ksInterfaces, &inventory.outputDevices, DIRECTION_PLAYBACK));
    }

    FakeKs ks;
    CheckWorld world;
    DeviceInventory& inventory = world.inventory;
};

TEST_F(KsInterfacesTest, AnInterfaceWithBothAliases) {
    FakeKsInterface& both = ks.addInterface(L"\\\\?\\root#media#0001#{6994ad04}\\wave", L"Halvane Point", "HalvaneVSOWDM",
                                            true, true);
    both.friendlyName = L"Halvane Virtual Vesso";
    collectAll();
    ASSERT_EQ(2u, recordCount(inventory.ksInterfaces));
    const DeviceRecord* capture = recordAt(inventory.ksInterfaces, 1);
    const DeviceRecord* render = recordAt(inventory.ksInterfaces, 2);
    EXPECT_EQ(KS_CAPTURE_FLAG, capture->kind);
    EXPECT_EQ(0u, render->kind);
    EXPECT_STREQ(L"Halvane Virtual Vesso", capture->pinNameW);  // the device's name
    EXPECT_STREQ(L"Halvane Point", capture->driverNameW);      // the interface's name
    EXPECT_STREQ("Halvane Point", capture->driverName);
    EXPECT_STREQ("HalvaneVSOWDM", render->hardwareId);         // the first hardware ID only

    ASSERT_EQ(1u, recordCount(inventory.inputDevices));
    ASSERT_EQ(1u, recordCount(inventory.outputDevices));
    const DeviceRecord* input = recordAt(inventory.inputDevices, 1);
    EXPECT_EQ(KIND_KS, input->kind);
    EXPECT_STREQ(L"Halvane Point", input->pinNameW);  // the interface's own name first
    EXPECT_STREQ("Halvane Point", input->pinName);
    EXPECT_STREQ(L"\\\\?\\root#media#0001#{6994ad04}\\wave", input->driverNameW);  // the path opened
    EXPECT_STREQ("HalvaneVSOWDM", input->hardwareId);
    EXPECT_EQ(0, input->index);
    EXPECT_EQ(0u, input->channels);
}

TEST_F(KsInterfacesTest, RemovedOrMissingAliasesAndFailingMembersAreSkipped) {
    ks.addInterface(L"\\\\?\\removed", L"Removed", "HW1", true, true).captureAlias = SPINT_ACTIVE | SPINT_REMOVED;
    ks.addInterface(L"\\\\?\\renderonly", L"Render Only", "HW2", false, true);
    ks.addInterface(L"\\\\?\\nodetail", L"No Detail", "HW3", true, true).detailFails = true;
    ks.addInterface(L"\\\\?\\nohardware", L"No Hardware", "", true, true);
    collectAll();
    EXPECT_EQ((std::vector<std::wstring>{L"Removed", L"Render Only"}), pinNames(inventory.ksInterfaces));
    EXPECT_EQ(0u, recordAt(inventory.ksInterfaces, 1)->kind);  // only its render alias counts
    EXPECT_EQ(std::vector<std::wstring>{L"No Hardware"}, pinNames(inventory.inputDevices));
    EXPECT_EQ((std::vector<std::wstring>{L"Removed", L"Render Only", L"No Hardware"}), pinNames(inventory.outputDevices));
    EXPECT_STREQ("", recordAt(inventory.outputDevices, 3)->hardwareId);
}

TEST_F(KsInterfacesTest, SameNamesGetLettersPerDirection) {
    for (int i = 0; i < 3; ++i)
        ks.addInterface(L"\\\\?\\n" + std::to_wstring(i), L"Speakers", "HW" + std::to_string(i), i == 2, true);
    collectAll();
    EXPECT_EQ((std::vector<std::wstring>{L"Speakers", L"Speakers [A]", L"Speakers [B]"}), pinNames(inventory.outputDevices));
    EXPECT_EQ(std::vector<std::wstring>{L"Speakers"}, pinNames(inventory.inputDevices));
    // Each takes the hardware ID of the first interface of that name.
    EXPECT_STREQ("HW0", recordAt(inventory.outputDevices, 3)->hardwareId);
}

TEST_F(KsInterfacesTest, TheTwentyEighthFilterOfANameIsNotListed) {
    for (int i = 0; i < 28; ++i) ks.addInterface(L"\\\\?\\n" + std::to_wstring(i), L"Same", "HW", false, true);
    collectAll();
    ASSERT_EQ(27u, recordCount(inventory.outputDevices));
    EXPECT_STREQ(L"Same [Z]", recordAt(inventory.outputDevices, 27)->pinNameW);
}

TEST_F(KsInterfacesTest, NameFallbacks) {
    const std::wstring classKey = L"SYSTEM\\CurrentControlSet\\Control\\Class\\{hv-test-class}";
    TestRegistry registry;
    registry.setString(classKey + L"\\0003", L"DriverDesc", L"Described Driver");

    FakeKsInterface& described = ks.addInterface(L"\\\\?\\described", L"", "HW1", true, false);
    described.hasInterfaceName = false;
    described.hasFriendlyName = false;
    described.driver = L"{hv-test-class}\\0003";
    FakeKsInterface& bare = ks.addInterface(L"\\\\?\\bare", L"", "HW2", true, false);
    bare.hasInterfaceKey = false;
    bare.hasFriendlyName = false;
    bare.driver = L"{hv-test-class}\\0009";  // no such class key: the driver value stays
    FakeKsInterface& nothing = ks.addInterface(L"\\\\?\\nothing", L"", "HW3", true, false);
    nothing.hasInterfaceName = false;
    nothing.hasFriendlyName = false;
    nothing.hasDriver = false;
    collectAll();

    EXPECT_EQ((std::vector<std::wstring>{L"Described Driver", L"{hv-test-class}\\0009", L""}),
              pinNames(inventory.ksInterfaces));
    EXPECT_EQ((std::vector<std::wstring>{L"Described Driver", L"{hv-test-class}\\0009", L""}),
              pinNames(inventory.inputDevices));
    EXPECT_STREQ(L"", recordAt(inventory.ksInterfaces, 1)->driverNameW);  // no interface name
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Class", 0, KEY_ALL_ACCESS, &key) ==
        ERROR_SUCCESS) {
        RegDeleteKeyW(key, L"{hv-test-class}\\0003");
        RegDeleteKeyW(key, L"{hv-test-class}");
        RegCloseKey(key);
    }
}

TEST_F(KsInterfacesTest, LongHardwareIdsAreCut) {
    ks.addInterface(L"\\\\?\\long", L"Long", std::string(300, 'h'), false, true);
    collectAll();
    ASSERT_EQ(1u, recordCount(inventory.ksInterfaces));
    EXPECT_EQ(std::string(127, 'h'), recordAt(inventory.ksInterfaces, 1)->hardwareId);
}

TEST_F(KsInterfacesTest, FiltersWithoutPinsOfTheDirectionOrThatCannotOpenAreNotListed) {
    ks.addInterface(L"\\\\?\\capturepins", L"Capture Pins", "HW1", true, true).renderAlias = SPINT_ACTIVE;
    ks.filters.back().pins.pop_back();  // only a capture pin left
    ks.addInterface(L"\\\\?\\locked", L"Locked", "HW2", true, true);
    ks.filters.back().opens = false;
    collectAll();
    EXPECT_EQ(std::vector<std::wstring>{L"Capture Pins"}, pinNames(inventory.inputDevices));
    EXPECT_EQ(0u, recordCount(inventory.outputDevices));
    EXPECT_EQ(4u, recordCount(inventory.ksInterfaces));  // the map does not open filters
}

TEST_F(KsInterfacesTest, LongNamesAndPathsAreCutToTheirFields) {
    ks.addInterface(L"\\\\?\\" + std::wstring(254, L'p'), std::wstring(400, L'n'), "HW", false, true);
    collectAll();
    ASSERT_EQ(1u, recordCount(inventory.outputDevices));
    const DeviceRecord* r = recordAt(inventory.outputDevices, 1);
    EXPECT_EQ(std::wstring(255, L'n'), r->pinNameW);
    EXPECT_EQ(std::string(255, 'n'), r->pinName);
    EXPECT_EQ(255u, wcslen(r->driverNameW));  // the 258-unit path, cut to the field
    EXPECT_EQ(std::wstring(255, L'n'), recordAt(inventory.ksInterfaces, 1)->driverNameW);

    // A path longer than the filter's field is cut there too.
    const std::wstring longPath = L"\\\\?\\" + std::wstring(300, L'q');
    ks.add(longPath, 1);
    KsFilter* filter = openKsFilter(longPath.c_str(), std::wstring(300, L'f').c_str());
    ASSERT_NE(nullptr, filter);
    EXPECT_EQ(259u, wcslen(filter->devicePath));
    EXPECT_EQ(279u, wcslen(filter->friendlyName));
    closeKsFilter(filter);
}

TEST_F(KsInterfacesTest, NoInterfaceSet) {
    ks.addInterface(L"\\\\?\\x", L"X", "HW", true, true);
    ks.classDevsFail = true;
    collectAll();
    EXPECT_EQ(0u, recordCount(inventory.ksInterfaces));
    EXPECT_EQ(0u, recordCount(inventory.inputDevices));
}

TEST_F(KsInterfacesTest, FindKsInterfaceByEitherNameAndDirection) {
    RecordFields capture, render, blank;
    capture.kind = KS_CAPTURE_FLAG;
    capture.name = L"Device Name";
    capture.driverName = L"Interface Name";
    capture.hardwareId = "CAPTURE";
    render.kind = 0;
    render.name = L"Device Name";
    render.driverName = L"Interface Name";
    render.hardwareId = "RENDER";
    blank.kind = 0;
    blank.name = L"Named";
    blank.hardwareId = "BLANK";
    for (const RecordFields* fields : {&capture, &render, &blank}) {
        const DeviceRecord r = makeRecord(*fields);
        appendRecord(&inventory.ksInterfaces, &r);
    }
    EXPECT_STREQ("CAPTURE", findKsInterface(inventory.ksInterfaces, L"Interface Name", DIRECTION_RECORDING)->hardwareId);
    EXPECT_STREQ("CAPTURE", findKsInterface(inventory.ksInterfaces, L"Device Name", DIRECTION_RECORDING)->hardwareId);
    EXPECT_STREQ("RENDER", findKsInterface(inventory.ksInterfaces, L"Device Name", DIRECTION_PLAYBACK)->hardwareId);
    EXPECT_EQ(nullptr, findKsInterface(inventory.ksInterfaces, L"device name", DIRECTION_PLAYBACK));  // exact
    // An empty name names nothing, not even the interface that has no name of its own.
    EXPECT_EQ(nullptr, findKsInterface(inventory.ksInterfaces, L"", DIRECTION_PLAYBACK));
    EXPECT_EQ(nullptr, findKsInterface(inventory.ksInterfaces, L"", DIRECTION_RECORDING));
}

TEST_F(KsInterfacesTest, OnlyKsRecordsTakeANameInTheirDirection) {
    RecordFields wave;
    wave.kind = KIND_MME;
    wave.name = L"Speakers";
    const DeviceRecord r = makeRecord(wave);
    appendRecord(&inventory.outputDevices, &r);
    EXPECT_FALSE(isKsNameTaken(inventory.outputDevices, L"Speakers"));
    RecordFields ks;
    ks.kind = KIND_KS;
    ks.name = L"Speakers";
    const DeviceRecord k = makeRecord(ks);
    appendRecord(&inventory.outputDevices, &k);
    EXPECT_TRUE(isKsNameTaken(inventory.outputDevices, L"Speakers"));
    EXPECT_FALSE(isKsNameTaken(inventory.inputDevices, L"Speakers"));
}

}  // namespace
