// A catalogued driver's devices in the fakes, as its installer would leave them: a control device,
// wave devices and endpoints of both sides, and a kernel-streaming filter; `number` (1 to 99)
// tells its GUIDs and paths from the other drivers'. Its store entries are the test's to write
// (check_world.h's installCataloguedDriver writes both).
#pragma once

#include <string>

#include "checks/driver_catalog.h"

struct FakeKsFilter;
class FakeEndpoints;
class FakeWorld;

struct CataloguedDriver {
    CataloguedDriver(const DriverCatalogEntry& row, int number);
    const DriverCatalogEntry& row;
    std::wstring number;       // two digits
    std::wstring renderGuid;   // {aaaaaaaa-0000-0000-0000-0000000000nn}
    std::wstring captureGuid;  // {bbbbbbbb-...nn}
    std::wstring display;      // the driver's name
    std::wstring driverText;   // the store's driver text, its hardware ID last
};

// Returns its filter.
FakeKsFilter& installCataloguedDevices(FakeWorld& devices, FakeEndpoints& endpoints, const CataloguedDriver& driver);
