// An inventory built record by record, for the driver checks and the test run: the lists a
// collection pass would leave, with each catalogued driver's devices registered correctly or
// with chosen faults.
#pragma once

#include <string>
#include <vector>

#include "base/log_buffer.h"
#include "checks/driver_checks.h"
#include "inventory/device_inventory.h"
#include "support/driver_jobs.h"
#include "support/records.h"


class CheckWorld {
public:
    CheckWorld();
    ~CheckWorld();
    CheckWorld(const CheckWorld&) = delete;
    CheckWorld& operator=(const CheckWorld&) = delete;

    DeviceInventory inventory;

    DeviceRecord* add(RecordList& list, const RecordFields& fields);
    // The kernel-streaming interface of a row's driver (capture alias or render alias).
    DeviceRecord* addInterface(const DriverCatalogEntry& row, bool capture, const std::wstring& name);
    // Every device of a row registered as it should be: MME, KS and WDM on both sides.
    void addCorrectDevices(const DriverCatalogEntry& row, const wchar_t* recordingIcon = nullptr,
                           const wchar_t* playbackIcon = nullptr);
    void sortLists();

    // What a MME, KS or WDM device of the row looks like when registered correctly.
    static RecordFields correctDevice(const DriverCatalogEntry& row, DeviceSource kind, bool recording,
                                    const wchar_t* icon = nullptr);
};

struct FakeKsFilter;
class FakeEndpoints;
class FakeWorld;
class TestRegistry;
// Registers a catalogued driver in every list as its installer would (a control device, wave
// devices, endpoints with their store entries, a kernel-streaming filter); `number` (1 to 99)
// tells its GUIDs and paths from the other drivers'. Returns its filter.
FakeKsFilter& installCataloguedDriver(FakeWorld& devices, FakeEndpoints& endpoints, TestRegistry& registry,
                                      const DriverCatalogEntry& row, int number, const std::wstring& recordingIcon,
                                      const std::wstring& playbackIcon);

// The pinNameW of every record of a list, in list order.
std::vector<std::wstring> pinNames(const RecordList& list);
// The lines of a log, without their CR LF.
std::vector<std::wstring> logLines(const LogBuffer& log);
std::wstring widen(const char* text);
