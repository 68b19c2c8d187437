// The check run for one catalogued driver against the device lists of a collection pass: its
// version, its kernel-streaming interface, and its MME, KS and WDM devices on both sides.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "checks/driver_catalog.h"
#include "checks/driver_control.h"
#include "checks/driver_result.h"
#include "inventory/device_inventory.h"

// What a check reads besides the catalogue row.
struct CheckContext {
    const DeviceInventory* inventory;
    int32_t osClass;
};

// Asks every catalogued driver for its version at once, on a thread of its own, so that a
// collection pass can run meanwhile (null: no thread; the drivers are asked when collected).
DriverVersionJob* startCatalogVersions();
// The answers in catalogue order: of a started job, or asked now for a null one.
void collectCatalogVersions(DriverVersionJob* job, DriverVersionAnswer answers[DRIVER_CATALOG_SIZE]);

// Checks one driver, given its answer to the version request, into result. Returns what the row
// adds to the error total: 0 (not installed, or no error), 1 (wrong version, or a driver that
// does not answer its version request), 2 (installation problem) or the number of findings.
int32_t checkDriver(const DriverCatalogEntry& row, const DriverVersionAnswer& answer, const CheckContext& context,
                    DriverResult* result);

// Case-sensitive: the path ends in the tail (an empty tail always does).
bool iconPathEndsWith(const wchar_t* path, const wchar_t* tail);
// Case-sensitive: the name is a leading part of "stem (display)" or "stem(display)".
bool pinNameMatches(const char* name, const char* stem, const char* displayName);

// The lookups: each walks one list from its start and returns the first record that
// qualifies, or null. Hardware IDs and GUIDs compare ignoring ASCII case.
// The interface map's record of the side: a capture alias for the recording side, a render
// alias for the playback side.
const DeviceRecord* findInterfaceByHardwareId(const DeviceInventory& inventory, const char* hardwareId,
                                              Direction side);
const DeviceRecord* findDeviceByHardwareId(const RecordList& list, uint32_t kind, const char* hardwareId);
const DeviceRecord* findOtherByHardwareId(const DeviceRecord* self, const RecordList& list, uint32_t kind,
                                          const char* hardwareId);
const DeviceRecord* findOtherByIcon(const DeviceRecord* self, const RecordList& list, uint32_t kind,
                                    const wchar_t* icon);
const DeviceRecord* findOtherByDeviceGuid(const DeviceRecord* self, const RecordList& list, uint32_t kind,
                                          const wchar_t* guid);
const DeviceRecord* findOtherKsByDriverName(const DeviceRecord* self, const RecordList& list, const char* driverName);
const DeviceRecord* findMmeByPinName(const RecordList& list, const char* name);
