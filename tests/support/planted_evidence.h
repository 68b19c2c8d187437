// Evidence planted in the Wine prefix as Windows keeps it, and removed again: device nodes with a
// hardware ID (and a problem code, which Wine 8 reads back through SetupDiGetDevicePropertyW),
// and services the service manager knows but never runs. Wine lists every registered device
// node as present, so nodes that are not present come from FakeDeviceTree (fake_device_tree.h).
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <stdint.h>

#include <string>

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
