// The maker's ten virtual audio drivers, and the check run for each of them against the device
// lists of a collection pass.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "inventory/device_inventory.h"
#include "report/log_buffer.h"

struct DriverCatalogEntry {
    GUID interfaceGuid;
    uint32_t expectedVersion;
    const char* driverHardwareId;
    const char* displayName;
    const char* recordingPinName;
    const char* playbackPinName;
    const wchar_t* recordingIcon;  // for rows with a driverFileBase: built at run time
    const wchar_t* playbackIcon;
    const char* ksName;
    const char* driverFileBase;  // null when the icons are .ico files
};

enum { DRIVER_CATALOG_SIZE = 10 };
extern const DriverCatalogEntry DRIVER_CATALOG[DRIVER_CATALOG_SIZE];

// What a check reads besides the catalogue row.
struct CheckContext {
    LogBuffer* log;
    const DeviceInventory* inventory;
    int32_t osClass;
};

// Checks one driver and appends its lines to the log. Returns 0 (not installed, or no error),
// 1 (wrong version), 2 (installation problem) or the number of errors found in the lists.
int32_t checkDriver(const DriverCatalogEntry& row, const CheckContext& context);

// Case-sensitive: the path ends in the tail (an empty tail always does).
bool iconPathEndsWith(const wchar_t* path, const wchar_t* tail);
// Case-sensitive: the name is a leading part of "stem (display)" or "stem(display)".
bool pinNameMatches(const char* name, const char* stem, const char* displayName);

// The lookups: each walks one list from its start and returns the first record that
// qualifies, or null. Hardware IDs and GUIDs compare ignoring ASCII case.
const DeviceRecord* findInterfaceByHardwareId(const DeviceInventory& inventory, const char* hardwareId, int capture);
const DeviceRecord* findDeviceByHardwareId(const RecordList& list, uint32_t kind, const char* hardwareId);
const DeviceRecord* findOtherByHardwareId(const DeviceRecord* self, const RecordList& list, uint32_t kind,
                                          const char* hardwareId);
const DeviceRecord* findOtherByIcon(const DeviceRecord* self, const RecordList& list, uint32_t kind,
                                    const wchar_t* icon);
const DeviceRecord* findOtherByDeviceGuid(const DeviceRecord* self, const RecordList& list, uint32_t kind,
                                          const wchar_t* guid);
const DeviceRecord* findOtherKsByDriverName(const DeviceRecord* self, const RecordList& list, const char* driverName);
const DeviceRecord* findMmeByPinName(const RecordList& list, const char* name);
