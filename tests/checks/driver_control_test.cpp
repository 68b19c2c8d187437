#include <gtest/gtest.h>

#include "checks/driver_checks.h"
#include "checks/driver_control.h"
#include "support/fake_world.h"

namespace {

const GUID kVesso = DRIVER_CATALOG[0].interfaceGuid;
const GUID kVessoA = DRIVER_CATALOG[1].interfaceGuid;

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
    EXPECT_EQ(0x01000305u, queryDriverVersion(kVesso));
    EXPECT_EQ(1, world.versionRequests);
    // Asked as the drivers take it: code 0x222040 on an overlapped handle, no input, 4 bytes out.
    EXPECT_EQ(0, world.refusedRequests);
}

TEST_F(DriverControlTest, NoInterfaceOfTheClass) {
    world.addDriver(kVessoA, 0x01000305);
    EXPECT_EQ(0u, queryDriverVersion(kVesso));
    EXPECT_EQ(0, world.versionRequests);
}

TEST_F(DriverControlTest, OnlyTheFirstInterfaceIsAsked) {
    world.addDriver(kVesso, 0x11111111);
    world.addDriver(kVesso, 0x22222222);
    EXPECT_EQ(0x11111111u, queryDriverVersion(kVesso));
    ASSERT_EQ(1u, world.openedPaths.size());
    world.interfaces[0].opens = false;  // no fallback to the second one
    EXPECT_EQ(0u, queryDriverVersion(kVesso));
    EXPECT_EQ(1u, world.openedPaths.size());
}

TEST_F(DriverControlTest, RefusedOpenReadsAsNotInstalled) {
    world.addDriver(kVesso, 0x01000305).opens = false;
    EXPECT_EQ(0u, queryDriverVersion(kVesso));
    EXPECT_EQ(INVALID_HANDLE_VALUE, openDriverControl(kVesso));
}

TEST_F(DriverControlTest, RejectedRequestReadsAsNotInstalled) {
    world.addDriver(kVesso, 0x01000305).answers = false;
    EXPECT_EQ(0u, queryDriverVersion(kVesso));
    EXPECT_EQ(1, world.versionRequests);
}

TEST_F(DriverControlTest, OpenGivesAHandleTheCallerCloses) {
    world.addDriver(kVesso, 1);
    HANDLE device = openDriverControl(kVesso);
    ASSERT_NE(INVALID_HANDLE_VALUE, device);
    EXPECT_EQ(1, world.openHandles);
    EXPECT_EQ(0, world.openSets);
    g_driverControlApi.request.closeHandle(device);
}

// A driver that does not complete its version request holds the checker for at most two waits
// of a second, whatever it does with the cancel, and never writes into memory given back.
TEST_F(DriverControlTest, DriversThatDoNotAnswerInTime) {
    struct Case {
        FakeKsTiming timing;
        DWORD completeAfterMs;
        int32_t result;
        uint32_t version;
    } cases[] = {
        {PEND_THEN_COMPLETE, 200, DRIVER_ANSWERED, 0x01000305},   // late but within the wait
        {PEND_UNTIL_CANCELLED, 0, DRIVER_NOT_RESPONDING, 0},       // answers only the cancel
        {PEND_THEN_COMPLETE, 1500, DRIVER_NOT_RESPONDING, 0},      // too late: cancelled first
        {PEND_IGNORING_CANCEL, 2600, DRIVER_NOT_RESPONDING, 0},    // keeps the request after the cancel
    };
    for (const Case& c : cases) {
        world.interfaces.clear();
        FakeDriverInterface& driver = world.addDriver(kVesso, 0x01000305);
        driver.timing = c.timing;
        driver.completeAfterMs = c.completeAfterMs;
        uint32_t version = 7;
        const DWORD start = GetTickCount();
        EXPECT_EQ(c.result, askDriverVersion(kVesso, &version)) << c.timing << " " << c.completeAfterMs;
        EXPECT_LT(GetTickCount() - start, 3000u);
        EXPECT_EQ(c.version, version);
    }
    EXPECT_EQ(0, world.refusedRequests);
    // The driver that kept its request was left the request's event; every other one is closed.
    EXPECT_EQ(1, world.liveEvents);
    for (int i = 0; i < 300 && world.lateWrites == 0; ++i) Sleep(10);  // it answers a little later
    EXPECT_EQ(1, world.lateWrites);
}

TEST(DriverControlOnWindows, NoDriverOfTheCatalogueHere) {
    // The real SetupAPI path on this machine, which has none of the drivers.
    for (const DriverCatalogEntry& row : DRIVER_CATALOG) {
        EXPECT_EQ(INVALID_HANDLE_VALUE, openDriverControl(row.interfaceGuid));
        EXPECT_EQ(0u, queryDriverVersion(row.interfaceGuid));
    }
}

}  // namespace
