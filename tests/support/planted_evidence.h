// Evidence planted in the Wine prefix as Windows keeps it, and removed again: device nodes with a
// hardware ID (and a problem code, which Wine 8 reads back through SetupDiGetDevicePropertyW),
// and services the service manager knows but never runs. Wine lists every registered device
// node as present, so nodes that are not present come from FakeDeviceTree below.
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "sources/devnodes/device_nodes.h"

class PlantedDeviceNode {
public:
    // problemCode 0: none planted (Wine then answers ERROR_NOT_FOUND for it).
    PlantedDeviceNode(const std::wstring& hardwareId, uint32_t problemCode);
    ~PlantedDeviceNode();
    PlantedDeviceNode(const PlantedDeviceNode&) = delete;
    PlantedDeviceNode& operator=(const PlantedDeviceNode&) = delete;
    const std::wstring& instanceId() const { return instanceId_; }

private:
    std::wstring instanceId_;
};

class PlantedService {
public:
    // Demand start (stopped), or disabled.
    PlantedService(const wchar_t* name, bool disabled);
    ~PlantedService();
    PlantedService(const PlantedService&) = delete;
    PlantedService& operator=(const PlantedService&) = delete;
    bool created() const { return created_; }

private:
    std::wstring name_;
    bool created_;
};

// A device tree standing in for Windows behind the device node walk while it lives.
struct FakeDeviceNode {
    std::wstring instanceId;
    std::vector<wchar_t> hardwareIds;  // the property's bytes as units, terminators as given
    DWORD hardwareIdType = REG_MULTI_SZ;
    bool present = true;
    uint32_t problem = 0, status = 0;
    bool hasProperties = true;  // false: Windows XP, where only CM_Get_DevNode_Status answers
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
};
