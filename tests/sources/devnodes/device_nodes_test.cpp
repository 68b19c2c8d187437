#include <gtest/gtest.h>

#include <string>

#include "sources/devnodes/device_nodes.h"
#include "support/fake_device_tree.h"
#include "support/planted_evidence.h"

namespace {

const char* const kIds[] = {"HalvaneVSOWDM", "HalvaneVSOAWDM"};
const HardwareIdSet kWatched = {kIds, 2};

TEST(DeviceNodes, WineKeepsAPlantedProblemCode) {
    PlantedDeviceNode broken(L"HalvaneVSOAWDM", 22), plain(L"halvanevsoawdm", 0);
    PlantedDeviceNode other(L"OtherMakerWDM", 22), lookAlike(L"\xFF28\xFF41lvaneVSOAWDM", 22);
    DeviceNodeList list;
    collectDeviceNodes(kWatched, &list);
    ASSERT_EQ(2, list.count);
    EXPECT_EQ(broken.instanceId(), list.nodes[0].instanceId);
    EXPECT_EQ(1, list.nodes[0].idIndex);
    EXPECT_EQ(NODE_PRESENT | NODE_PROBLEM_KNOWN, list.nodes[0].known & (NODE_PRESENT | NODE_PROBLEM_KNOWN));
    EXPECT_EQ(22u, list.nodes[0].problemCode);
    // Nothing planted: Wine has no problem code to give.
    EXPECT_EQ(plain.instanceId(), list.nodes[1].instanceId);
    EXPECT_EQ(uint32_t(NODE_PRESENT), list.nodes[1].known & (NODE_PRESENT | NODE_PROBLEM_KNOWN));
}

TEST(DeviceNodes, FromTheDeviceTree) {
    FakeDeviceTree tree;
    // A machine without the drivers pays one walk of its device tree.
    tree.add(L"PCI\\VEN_8086", L"PCI\\VEN_8086&DEV_2668");
    DeviceNodeList none;
    collectDeviceNodes(kWatched, &none);
    EXPECT_EQ(0, none.count);
    EXPECT_EQ(1, tree.setsAsked);
    // Windows XP: the status call, whose problem code counts only with DN_HAS_PROBLEM.
    FakeDeviceNode& xp = tree.add(L"ROOT\\MEDIA\\0000", L"HalvaneVSOWDM");
    xp.hasProperties = false;
    xp.status = 0x400 | 0x2;
    xp.problem = 22;
    FakeDeviceNode& noProblem = tree.add(L"ROOT\\MEDIA\\0001", L"HalvaneVSOWDM");
    noProblem.hasProperties = false;
    noProblem.problem = 10;
    tree.add(L"ROOT\\MEDIA\\0002", L"HalvaneVSOWDM").present = false;
    // The second of a node's hardware IDs counts as much as the first.
    const wchar_t twoIds[] = L"ROOT\\OTHER\0HALVANEVSOAWDM\0";
    tree.add(L"ROOT\\MEDIA\\0005", L"").hardwareIds.assign(twoIds, twoIds + sizeof(twoIds) / sizeof(twoIds[0]));
    // Hardware IDs of the wrong type, and a list that fills the buffer without any terminator.
    tree.add(L"ROOT\\MEDIA\\0003", L"HalvaneVSOWDM").hardwareIdType = REG_SZ;
    tree.add(L"ROOT\\MEDIA\\0004", L"").hardwareIds.assign(2048, L'H');
    DeviceNodeList list;
    collectDeviceNodes(kWatched, &list);
    ASSERT_EQ(4, list.count);
    EXPECT_EQ(22u, list.nodes[0].problemCode);
    EXPECT_EQ(0x402u, list.nodes[0].status);
    EXPECT_EQ(0u, list.nodes[1].problemCode);
    EXPECT_EQ(uint32_t(NODE_PROBLEM_KNOWN | NODE_STATUS_KNOWN), list.nodes[1].known & ~uint32_t(NODE_PRESENT));
    EXPECT_EQ(std::wstring(L"ROOT\\MEDIA\\0005"), list.nodes[2].instanceId);
    EXPECT_EQ(1, list.nodes[2].idIndex);
    // Present ones first; a node that is not present has no state read.
    EXPECT_EQ(std::wstring(L"ROOT\\MEDIA\\0002"), list.nodes[3].instanceId);
    EXPECT_EQ(0u, list.nodes[3].known);
    EXPECT_EQ(0, tree.openSets);

    // More nodes than the list holds are counted.
    tree.nodes.clear();
    for (int i = 0; i < 40; ++i) tree.add(L"ROOT\\MEDIA\\" + std::to_wstring(i), L"HalvaneVSOWDM");
    collectDeviceNodes(kWatched, &list);
    EXPECT_EQ(32, list.count);
    EXPECT_EQ(8, list.leftOut);
}

}  // namespace
