// A device tree standing in for Windows behind the device node walk while it lives: nodes
// present or not, with hardware IDs as raw units, and a problem code and status that either the
// device properties (Windows Vista on) or the configuration manager's status call (Windows XP)
// give.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "sources/devnodes/device_nodes.h"
#include "support/saved_table.h"

// A device tree standing in for Windows behind the device node walk while it lives.
struct FakeDeviceNode {
    std::wstring instanceId;
    std::vector<wchar_t> hardwareIds;  // the property's bytes as units, terminators as given
    DWORD hardwareIdType = REG_MULTI_SZ;
    bool present = true;
    uint32_t problem = 0, status = 0;
    bool hasProperties = true;  // false: Windows XP, where only CM_Get_DevNode_Status answers
    // Its class installer: the error it fails with (0: none), whether Windows then needs a
    // restart, and an event it waits for first (a held call).
    DWORD installerError = 0;
    bool needsReboot = false;
    HANDLE installerWaitsFor = NULL;
};
class FakeDeviceTree {
public:
    FakeDeviceTree();
    ~FakeDeviceTree();
    FakeDeviceTree(const FakeDeviceTree&) = delete;
    FakeDeviceTree& operator=(const FakeDeviceTree&) = delete;
    // A node with one hardware ID, terminated as Windows stores it.
    FakeDeviceNode& add(const std::wstring& instanceId, const std::wstring& hardwareId);
    std::vector<FakeDeviceNode> nodes;
    int openSets = 0;
    int setsAsked = 0;  // device information sets asked for
    // The fixes' calls in order ("open ROOT\MEDIA\0000", "params enable global", "install"),
    // which worker threads append to while the test waits for them.
    std::vector<std::string> calls;

private:
    SavedTable<DeviceNodeApi> savedApi_{g_deviceNodeApi};  // Windows as it was
};
