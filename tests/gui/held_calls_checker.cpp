// The real checker (app/main.cpp, its window, message loop and exit, built here with its WinMain
// renamed) on a fake device world whose drivers hold the threads that call them and never let go:
// Wine's own drivers cannot hold an open, so the fakes stand in for them from the start. The GUI
// tests start it to show that a run ends, and a closed window ends the process, while workers are
// still held inside drivers, with the error total as the exit code.
#include <windows.h>

#include "checks/driver_catalog.h"
#include "support/fake_world.h"

// app/main.cpp's WinMain, which the Windows headers declare with C linkage.
extern "C" int WINAPI productWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

namespace {

// Four catalogued drivers, every call held for ever: the first's filter holds its open, the
// fourth's filter a request (after five answers); the second's control device holds its open,
// the third's its version request. The first and the fourth answer their version.
void holdForEver(FakeWorld* world) {
    for (int i = 0; i < 4; ++i) {
        const DriverCatalogEntry& row = DRIVER_CATALOG[i];
        FakeDriverInterface& control = world->addDriver(row.interfaceGuid, row.expectedVersion);
        if (i == 1) control.openHolds = true;
        if (i == 2) control.timing = HOLD_THE_THREAD;
        if (i != 0 && i != 3) continue;
        const std::wstring path = L"\\\\?\\root#media#000" + std::to_wstring(i) + L"#{6994ad04}\\wave";
        const std::string id = row.driverHardwareId, name = row.displayName;
        world->ks.addInterface(path, std::wstring(id.begin(), id.end()), id, true, true).friendlyName =
            std::wstring(name.begin(), name.end());
        FakeKsFilter& filter = world->ks.filters.back();
        if (i == 0) filter.openHolds = true;
        filter.answersAtOnce = 5;
        filter.timing = HOLD_THE_THREAD;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    // Never destroyed: the held calls are never let go, and the process ends with them held.
    holdForEver(new FakeWorld);
    return productWinMain(instance, previous, commandLine, show);
}
