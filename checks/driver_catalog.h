// The maker's ten virtual audio drivers: the catalogue every test run checks and whose endpoints
// the device list shows.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "base/device_record.h"
#include "base/system_identification.h"

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

// The rows' hardware IDs in catalogue order: what a collection pass gathers evidence for, and
// whose store entries the device list shows.
HardwareIdSet catalogHardwareIds();

// The icon location of a catalogued driver's endpoint inside its driver file, e.g.
// halvane_vessoc64_win10.sys,-101; one per side.
// Writes at most 127 characters and a terminator into `reference` (128 units).
void driverIconReference(const char* fileBase, Direction direction, OsClass osClass, bool is64BitWindows,
                         wchar_t* reference);
