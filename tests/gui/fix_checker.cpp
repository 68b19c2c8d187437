// The real checker (app/main.cpp's start, window, runs and exit, its WinMain renamed) on a fake
// device world whose catalogued drivers answer as installed ones do, while the services, the
// device nodes and the endpoint store stay Wine's own, so that the fixes change them for real.
// HV_FIX_WORLD picks the world:
//   services  the first driver answers and its filters are listed, but no wave device or
//             endpoint is (Wine's audio is off): the audio services the test planted are blamed;
//   icon      the eighth driver in every list, its endpoints completed from the store entries the
//             test planted (its playback icon changed by the user).
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "checks/driver_catalog.h"
#include "support/catalogued_devices.h"
#include "support/fake_endpoints.h"
#include "support/fake_world.h"

// app/main.cpp's WinMain, which the Windows headers declare with C linkage.
extern "C" int WINAPI productWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    // Never destroyed: the process ends with them in place.
    FakeWorld* devices = new FakeWorld;
    FakeEndpoints* endpoints = new FakeEndpoints;
    const char* world = getenv("HV_FIX_WORLD");
    if (world && strcmp(world, "services") == 0) {
        installCataloguedDevices(*devices, *endpoints, CataloguedDriver(DRIVER_CATALOG[0], 1));
        devices->waveIn.clear();
        devices->waveOut.clear();
        endpoints->endpoints.clear();
    } else if (world && strcmp(world, "icon") == 0) {
        installCataloguedDevices(*devices, *endpoints, CataloguedDriver(DRIVER_CATALOG[7], 8));
    }
    return productWinMain(instance, previous, commandLine, show);
}
