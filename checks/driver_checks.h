// The check run for one catalogued driver against the device lists of a collection pass: its
// version, its kernel-streaming interface, and its MME, KS and WDM devices on both sides.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "base/system_identification.h"
#include "checks/driver_catalog.h"
#include "checks/driver_control.h"
#include "checks/driver_result.h"
#include "inventory/device_inventory.h"

// What a check reads besides the catalogue row.
struct CheckContext {
    const DeviceInventory* inventory;
    OsClass osClass;
};

// The catalogued drivers' version requests, asked by a collection pass in the walk of its filters
// (catalogVersionJobs), so that drivers that do not answer and filters that stop answering share
// one wait; the answers in catalogue order once the pass is over.
struct CatalogVersions {
    GUID interfaceGuids[DRIVER_CATALOG_SIZE];
    DriverVersionAnswer answers[DRIVER_CATALOG_SIZE];
    DriverVersionJobs jobs;
};
DriverJobs catalogVersionJobs(CatalogVersions* versions);

// Checks one driver, given its answer to the version request, into result. Returns what the row
// adds to the error total: 0 (not installed, or no error), 1 (wrong version, or a driver that
// does not answer its version request), 2 (installation problem) or the number of findings.
int32_t checkDriver(const DriverCatalogEntry& row, const DriverVersionAnswer& answer, const CheckContext& context,
                    DriverResult* result);

// Case-sensitive: the path ends in the tail (an empty tail always does).
bool iconPathEndsWith(const wchar_t* path, const wchar_t* tail);
// Case-sensitive: the name is a leading part of "stem (display)" or "stem(display)".
bool pinNameMatches(const char* name, const char* stem, const char* displayName);
