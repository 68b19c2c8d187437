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
    void SetUp() override { initList(&silent); }
    void TearDown() override {
        // Once its walkers have returned, a walk's state is freed and was never written after.
        EXPECT_TRUE(ks.endThreads());
        EXPECT_EQ(0, ks.liveStates);
        EXPECT_EQ(0, ks.freedStatesWritten);
        EXPECT_EQ(0, ks.openSets) << "a device information set was not destroyed";
        EXPECT_EQ(0, ks.openKeys) << "an interface key was not closed";
        EXPECT_EQ(0, ks.openFilters) << "a filter was not closed";
        EXPECT_EQ(0, ks.liveBlocks);
        EXPECT_EQ(0, ks.threadHandles) << "a thread handle was not closed";
        freeList(&silent);
    }
    // One pass over the fake's interfaces: the map, then every filter for both directions.
    void collectAll() {
        resetList(&inventory.inputDevices);
        resetList(&inventory.outputDevices);
        resetList(&silent);
        ASSERT_EQ(0, collectKsInterfaces(&inventory.ksInterfaces));
        KsDeviceCollection ksDevices(true);
        DriverWalk walk(ksDevices.jobCount(), ksDevices.jobBytes());
        ksDevices.addJobs(&walk);
        walk.run();
        ksDevices.takeAnswers(walk);
        ksDevices.addDevices(inventory.ksInterfaces, &inventory.inputDevices, DIRECTION_RECORDING);
        ksDevices.addDevices(inventory.ksInterfaces, &inventory.outputDevices, DIRECTION_PLAYBACK);
        ksDevices.addSilentFilters(&silent);
    }

    FakeKs ks;
    CheckWorld world;
    DeviceInventory& inventory = world.inventory;
    RecordList silent;
};

TEST_F(KsInterfacesTest, AnInterfaceWithBothAliases) {
    FakeKsInterface& both = ks.addInterface(L"\\\\?\\root#media#0001#{6994ad04}\\wave", L"Halvane Point", "HalvaneVSOWDM",
                                            true, true);
    both.friendlyName = L"Halvane Virtual Vesso";
    collectAll();
    ASSERT_EQ(2u, recordCount(inventory.ksInterfaces));
    const DeviceRecord* capture = recordAt(inventory.ksInterfaces, 1);
    const DeviceRecord* render = recordAt(inventory.ksInterfaces, 2);
    EXPECT_EQ(KIND_KS, capture->kind);
    EXPECT_EQ(1u, capture->ksAliases);  // a capture alias
    EXPECT_EQ(2u, render->ksAliases);   // a render alias
    EXPECT_STREQ(L"Halvane Virtual Vesso", capture->pinNameW);  // the device's name
    EXPECT_STREQ(L"Halvane Point", capture->driverNameW);      // the interface's name
    EXPECT_STREQ("Halvane Point", capture->driverName);
    EXPECT_STREQ("HalvaneVSOWDM", render->hardwareId);         // the first hardware ID only

    ASSERT_EQ(1u, recordCount(inventory.inputDevices));
    ASSERT_EQ(1u, recordCount(inventory.outputDevices));
    // The checker's own thread calls no driver; nothing pended or held, so one walker asked all.
    EXPECT_EQ(1, ks.threadsStarted);
    EXPECT_EQ(0u, recordCount(silent));
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
    EXPECT_EQ(2u, recordAt(inventory.ksInterfaces, 1)->ksAliases);  // only its render alias counts
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

// Ten filters that stop answering, each after another number of requests (the two pins of a
// filter take 34 over both walks), five of them ignoring the cancel, among filters that answer:
// the walk waits one deadline and one grace period for all of them, not for its threads to end
// (Windows keeps a thread until its requests are done), keeps the others' order, and keeps
// every request it gave up with its storage and event.
TEST_F(KsInterfacesTest, WedgedFiltersCostOneWaitTogether) {
    ks.threadExitMs = 5000;
    std::vector<size_t> wedged;
    for (int i = 0; i < 10; ++i) {
        ks.addInterface(L"\\\\?\\wedged" + std::to_wstring(i), L"Wedged " + std::to_wstring(i),
                        i == 9 ? "" : "WEDGED" + std::to_string(i), true, true);
        wedged.push_back(ks.filters.size() - 1);
        FakeKsFilter& f = ks.filters.back();
        f.answersAtOnce = 3 * i;
        f.timing = i % 2 ? PEND_IGNORING_CANCEL : PEND_UNTIL_CANCELLED;
        f.completeAfterMs = 3000;
        if (i % 3 == 0) ks.addInterface(L"\\\\?\\speakers" + std::to_wstring(i), L"Speakers", "HDAUDIO", false, true);
    }
    const DWORD start = GetTickCount();
    collectAll();
    const DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 1950u);
    EXPECT_LT(took, 2500u);

    EXPECT_EQ((std::vector<std::wstring>{L"Speakers", L"Speakers [A]", L"Speakers [B]", L"Speakers [C]"}),
              pinNames(inventory.outputDevices));
    EXPECT_STREQ(L"\\\\?\\speakers0", recordAt(inventory.outputDevices, 1)->driverNameW);
    EXPECT_STREQ(L"\\\\?\\speakers9", recordAt(inventory.outputDevices, 4)->driverNameW);
    // Those that stopped in their playback walk had answered all their recording requests.
    EXPECT_EQ((std::vector<std::wstring>{L"Wedged 6", L"Wedged 7", L"Wedged 8", L"Wedged 9"}),
              pinNames(inventory.inputDevices));
    ASSERT_EQ(10u, recordCount(silent));
    for (int i = 0; i < 10; ++i) {
        const DeviceRecord* r = recordAt(silent, i + 1);
        EXPECT_EQ(L"Wedged " + std::to_wstring(i), r->pinNameW);
        EXPECT_EQ(L"\\\\?\\wedged" + std::to_wstring(i), r->driverNameW);
        EXPECT_EQ("\\\\?\\wedged" + std::to_string(i), r->driverName);
        EXPECT_EQ(i == 9 ? "" : "WEDGED" + std::to_string(i), std::string(r->hardwareId));
        EXPECT_EQ(KIND_KS, r->kind);
        EXPECT_EQ(3u, r->ksAliases);  // a capture and a render alias
        EXPECT_EQ(3 * i + 1, ks.filters[wedged[i]].requestsSeen) << "filter " << i << " asked after it stopped";
    }
    // Walkers are started only for jobs waiting behind a held walker, one for each held walker
    // at most: never one per request, and never more than the filters. (On an idle machine it is
    // one per filter that stops, and the first; a machine loaded enough to hold a walker up for
    // 50 ms between two answers makes that filter look held too.)
    EXPECT_LE(ks.threadsStarted, int(ks.filters.size()));
    EXPECT_EQ(5, ks.liveEvents) << "a request given up keeps its event";
    // The five late answers arrive in the storage the walk left to them.
    Sleep(3000 + 400 > took ? 3000 + 400 - took : 0);
    EXPECT_EQ(5, ks.lateWrites);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, NULL));
}

// Twenty-four filters whose opens never return, one after another among filters that answer:
// each held open is found 50 ms after it was made, and the walk then keeps as many free walkers
// as are held, so all are made within five rounds (1, 2, 4, 8, 16 walkers), not one round each
// (24 x 50 ms), and the pass ends at about 2.3 s. The others are listed in their order.
TEST_F(KsInterfacesTest, OpensHeldOneAfterAnotherAreFoundInAFewRounds) {
    for (int i = 0; i < 24; ++i)
        ks.addInterface(L"\\\\?\\held" + std::to_wstring(i), L"Held", "HELD", false, true);
    for (FakeKsFilter& filter : ks.filters) filter.openHolds = true;
    ks.addInterface(L"\\\\?\\prompt", L"Prompt", "PROMPT", false, true);
    const DWORD start = GetTickCount();
    collectAll();
    const DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 2000u);
    EXPECT_LT(took, 2000u + 5 * 50 + 450);
    EXPECT_EQ(24, ks.heldCalls);
    EXPECT_EQ(std::vector<std::wstring>{L"Prompt"}, pinNames(inventory.outputDevices));
    EXPECT_EQ(24u, recordCount(silent));
}

// A filter that answers late, but in time, is listed first, as SetupAPI lists it, though the
// filters after it are done long before; the walk hands on once, not per request: the first
// walker and one more.
TEST_F(KsInterfacesTest, ALateFilterKeepsItsPlace) {
    ks.addInterface(L"\\\\?\\late", L"Speakers", "LATE", false, true);
    // Its pin type count and its pin's first two requests pend (a size query that pends tells
    // no size, so later ones cannot).
    ks.filters.back().timing = PEND_THEN_COMPLETE;
    ks.filters.back().completeAfterMs = 100;
    ks.filters.back().pendingRequests = 3;
    ks.addInterface(L"\\\\?\\prompt1", L"Speakers", "PROMPT", false, true);
    ks.addInterface(L"\\\\?\\prompt2", L"Speakers", "PROMPT", false, true);
    collectAll();
    EXPECT_EQ((std::vector<std::wstring>{L"Speakers", L"Speakers [A]", L"Speakers [B]"}),
              pinNames(inventory.outputDevices));
    EXPECT_STREQ(L"\\\\?\\late", recordAt(inventory.outputDevices, 1)->driverNameW);
    EXPECT_EQ(0u, recordCount(silent));
    EXPECT_EQ(2, ks.threadsStarted);
    EXPECT_EQ(0, ks.cancels);
}

// Without a thread no filter is asked, since the checker's own thread calls no driver: each one
// counts as not answering, at once.
TEST_F(KsInterfacesTest, WithoutThreadsNoFilterIsAsked) {
    ks.threadsFail = true;
    ks.addInterface(L"\\\\?\\wedged", L"Wedged", "WEDGED", false, true).captureAlias = SPINT_ACTIVE;
    ks.addInterface(L"\\\\?\\prompt", L"Prompt", "PROMPT", false, true);
    const DWORD start = GetTickCount();
    collectAll();
    EXPECT_LT(GetTickCount() - start, 200u);
    EXPECT_EQ(0, ks.requests);
    EXPECT_EQ(0u, recordCount(inventory.outputDevices));
    ASSERT_EQ(2u, recordCount(silent));
    EXPECT_EQ(KIND_KS, recordAt(silent, 1)->kind);
    EXPECT_EQ(3u, recordAt(silent, 1)->ksAliases);  // a capture and a render alias
    EXPECT_EQ(2u, recordAt(silent, 2)->ksAliases);  // a render alias only
    EXPECT_STREQ("PROMPT", recordAt(silent, 2)->hardwareId);
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
    KsFilter* filter = openKsFilter(longPath.c_str(), std::wstring(300, L'f').c_str(), nullptr);
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
    capture.kind = render.kind = blank.kind = KIND_KS;
    capture.ksAliases = KS_ALIAS_CAPTURE;
    capture.name = L"Device Name";
    capture.driverName = L"Interface Name";
    capture.hardwareId = "CAPTURE";
    render.ksAliases = KS_ALIAS_RENDER;
    render.name = L"Device Name";
    render.driverName = L"Interface Name";
    render.hardwareId = "RENDER";
    blank.ksAliases = KS_ALIAS_RENDER;
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
