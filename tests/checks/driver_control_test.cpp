#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checks/driver_checks.h"
#include "checks/driver_control.h"
#include "support/driver_jobs.h"
#include "support/fake_world.h"

namespace {

const GUID kVesso = DRIVER_CATALOG[0].interfaceGuid;
const GUID kVessoA = DRIVER_CATALOG[1].interfaceGuid;

// The version a driver hands over when asked alone, 0 where it gave none.
uint32_t versionOf(const GUID& interfaceGuid) {
    DriverVersionAnswer answer = {0, 0};
    askDriverVersions(&interfaceGuid, 1, &answer);
    return answer.version;
}

class DriverControlTest : public testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(0, world.openSets) << "a device information set was not destroyed";
        EXPECT_EQ(0, world.openHandles) << "a control device was not closed";
    }
    FakeWorld world;
};

TEST_F(DriverControlTest, AnswerIsReturnedUnchanged) {
    world.addDriver(kVesso, 0x01000305);
    EXPECT_EQ(0x01000305u, versionOf(kVesso));
    EXPECT_EQ(1, world.versionRequests);
    // Asked as the drivers take it: code 0x222040 on an overlapped handle, no input, 4 bytes out.
    EXPECT_EQ(0, world.refusedRequests);
    // Opened by its wide path, which holds a letter outside the ANSI code page.
    EXPECT_EQ(std::vector<std::wstring>{FakeWorld::interfacePath(0)}, world.openedPaths);
}

TEST_F(DriverControlTest, NoInterfaceOfTheClass) {
    world.addDriver(kVessoA, 0x01000305);
    EXPECT_EQ(0u, versionOf(kVesso));
    EXPECT_EQ(0, world.versionRequests);
}

TEST_F(DriverControlTest, OnlyTheFirstInterfaceIsAsked) {
    world.addDriver(kVesso, 0x11111111);
    world.addDriver(kVesso, 0x22222222);
    EXPECT_EQ(0x11111111u, versionOf(kVesso));
    ASSERT_EQ(1u, world.openedPaths.size());
    world.interfaces[0].opens = false;  // no fallback to the second one
    EXPECT_EQ(0u, versionOf(kVesso));
    EXPECT_EQ(1u, world.openedPaths.size());
}

TEST_F(DriverControlTest, RefusedOpenReadsAsNotInstalled) {
    world.addDriver(kVesso, 0x01000305).opens = false;
    DriverVersionAnswer answer = {0, 0};
    askDriverVersions(&kVesso, 1, &answer);
    EXPECT_EQ(DRIVER_NOT_FOUND, answer.result);
    EXPECT_EQ(0u, answer.version);
    EXPECT_EQ(0, world.versionRequests);
}

TEST_F(DriverControlTest, RejectedRequestReadsAsNotInstalled) {
    world.addDriver(kVesso, 0x01000305).answers = false;
    EXPECT_EQ(0u, versionOf(kVesso));
    EXPECT_EQ(1, world.versionRequests);
}

// Finding the device is SetupAPI's work alone: its wide path, and no open.
TEST_F(DriverControlTest, FindingTheDeviceOpensNothing) {
    world.addDriver(kVessoA, 1);
    world.addDriver(kVesso, 1);
    wchar_t path[DRIVER_CONTROL_PATH_UNITS + 1];
    ASSERT_TRUE(findDriverControl(kVesso, path));
    EXPECT_EQ(FakeWorld::interfacePath(1), path);
    EXPECT_TRUE(world.openedPaths.empty());
    EXPECT_EQ(0, world.openSets);
}

// Drivers that do not complete their version request in time are asked together: they share
// one wait of a second, one cancel each and one second more, whatever they do with the cancel,
// and none ever writes into memory given back. An answer that comes after the cancel still
// counts by its final status.
TEST_F(DriverControlTest, DriversThatDoNotAnswerInTime) {
    struct Case {
        FakeKsTiming timing;
        DWORD completeAfterMs;
        int32_t result;
        uint32_t version;
    } cases[] = {
        {ANSWER_AT_ONCE, 0, DRIVER_ANSWERED, 0x01000301},
        {PEND_THEN_COMPLETE, 200, DRIVER_ANSWERED, 0x01000302},   // late but within the wait
        {PEND_UNTIL_CANCELLED, 0, DRIVER_NOT_RESPONDING, 0},       // answers only the cancel
        {PEND_THEN_COMPLETE, 1500, DRIVER_NOT_RESPONDING, 0},      // too late: cancelled first
        {PEND_IGNORING_CANCEL, 1500, DRIVER_ANSWERED, 0x01000305}, // answers after the cancel
        {PEND_IGNORING_CANCEL, 2600, DRIVER_NOT_RESPONDING, 0},    // keeps the request after both waits
    };
    const size_t n = sizeof(cases) / sizeof(cases[0]);
    GUID classes[n + 1];
    for (size_t i = 0; i < n; ++i) {
        classes[i] = DRIVER_CATALOG[i].interfaceGuid;
        FakeDriverInterface& driver = world.addDriver(classes[i], 0x01000301 + uint32_t(i));
        driver.timing = cases[i].timing;
        driver.completeAfterMs = cases[i].completeAfterMs;
    }
    classes[n] = DRIVER_CATALOG[n].interfaceGuid;  // not installed
    DriverVersionAnswer answers[n + 1];
    const DWORD start = GetTickCount();
    askDriverVersions(classes, n + 1, answers);
    EXPECT_LT(GetTickCount() - start, 3000u);
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(cases[i].result, answers[i].result) << cases[i].timing << " " << cases[i].completeAfterMs;
        EXPECT_EQ(cases[i].version, answers[i].version) << cases[i].timing << " " << cases[i].completeAfterMs;
    }
    EXPECT_EQ(DRIVER_NOT_FOUND, answers[n].result);
    EXPECT_EQ(0u, answers[n].version);
    // Every request was out before the first cancel, and each one pending at the deadline was
    // cancelled once.
    EXPECT_EQ(6, world.requestsAtFirstCancel);
    EXPECT_EQ(4, world.cancels);
    EXPECT_EQ(0, world.refusedRequests);
    // The driver that kept its request was left the request's event; every other one is closed.
    EXPECT_EQ(1, world.liveEvents);
    for (int i = 0; i < 300 && world.lateWrites < 2; ++i) Sleep(10);  // it answers a little later
    EXPECT_EQ(2, world.lateWrites);
    EXPECT_EQ(0, world.writesIntoFreedMemory) << "a late answer found its request's storage freed";
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, NULL));
}

TEST(DriverControlOnWindows, NoDriverOfTheCatalogueHere) {
    // The real SetupAPI path on this machine, which has none of the drivers.
    for (const DriverCatalogEntry& row : DRIVER_CATALOG) {
        wchar_t path[DRIVER_CONTROL_PATH_UNITS + 1];
        EXPECT_FALSE(findDriverControl(row.interfaceGuid, path));
        EXPECT_EQ(0u, versionOf(row.interfaceGuid));
    }
}

}  // namespace
