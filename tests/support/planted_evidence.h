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
    // Demand start (stopped), or disabled, around a program that is no service (it never runs)
    // or around a real one (tests/gui/test_service.c), which the service manager starts; a
    // running one is stopped before it goes.
    PlantedService(const wchar_t* name, bool disabled,
                   const std::wstring& program = L"C:\\windows\\system32\\notepad.exe");
    ~PlantedService();
    PlantedService(const PlantedService&) = delete;
    PlantedService& operator=(const PlantedService&) = delete;
    bool created() const { return created_; }
    // Its state (SERVICE_RUNNING...) and start type (SERVICE_AUTO_START...), 0 when unknown.
    DWORD state() const;
    DWORD startType() const;

private:
    std::wstring name_;
    bool created_;
};
