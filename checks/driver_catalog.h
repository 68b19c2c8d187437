// The maker's ten virtual audio drivers: the catalogue every test run checks, and the store
// entries of their endpoints that the device list shows.
#pragma once

#include <windows.h>
#include <stdint.h>

struct EndpointRegistryTable;

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

// Rebuilds the device list's table from the store: the playback and recording entries of each
// catalogued driver whose playback entry exists, in catalogue order.
void fillEndpointRegistryTable(EndpointRegistryTable* table);
