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
