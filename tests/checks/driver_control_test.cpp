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
    g_driverControlApi.closeHandle(device);
}

TEST(DriverControlOnWindows, NoDriverOfTheCatalogueHere) {
    // The real SetupAPI path on this machine, which has none of the drivers.
    for (const DriverCatalogEntry& row : DRIVER_CATALOG) {
        EXPECT_EQ(INVALID_HANDLE_VALUE, openDriverControl(row.interfaceGuid));
        EXPECT_EQ(0u, queryDriverVersion(row.interfaceGuid));
    }
}

}  // namespace
