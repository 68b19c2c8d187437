// Benchmark, not a test: the time of one whole test (the opening collection pass and the test
// run, as a hidden start does it) on a machine with the ten catalogued drivers installed in
// every device list, when drivers stop answering:
//   healthy        every request answered at once
//   wedged filter  the first driver's filter answers 256 pin types, then nothing (it honours
//                  the cancel)
//   wedged filters every driver's filter stops answering, each after another number of requests
//                  (so at another pin, in either direction's walk): five until the request is
//                  cancelled, five ignoring the cancel
//   wedged control every control device leaves its version request pending: five until it is
//                  cancelled, five ignoring the cancel
//   all wedged     every filter and every control device, as in the two worlds before
//   all held       every filter and every control device holds the thread that calls it
//                  instead of pending: five opens and five requests of each kind (the filters'
//                  requests after another number of answers each), let go only after the test
// Prints per world the median of the runs (the whole test, and the opening collection pass in
// it, which asks the version requests too), the report's error total and its length.
//
//   wedged_drivers_bench.exe [runs] [world...]   (worlds: healthy filter filters control all held)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "checks/driver_catalog.h"
#include "inventory/device_inventory.h"
#include "base/system_identification.h"
#include "report/checker_run.h"
#include "support/check_world.h"
#include "support/fake_endpoints.h"
#include "support/fake_world.h"
#include "support/test_registry.h"

namespace {

double seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// The icon a row's installer registers: its .ico file, or a resource of its driver file.
std::wstring iconOf(const DriverCatalogEntry& row, Direction direction) {
    wchar_t built[128];
    if (!row.driverFileBase)
        return std::wstring(L"C:\\Program Files\\Halvane\\") +
               (direction == DIRECTION_RECORDING ? row.recordingIcon : row.playbackIcon);
    driverIconReference(row.driverFileBase, direction, OS_WIN10, 1, built);
    return std::wstring(L"%SystemRoot%\\System32\\drivers\\") + built;
}

struct Result {
    double seconds;
    double passSeconds;  // the opening collection pass alone
    int32_t total;
    int32_t length;
};

struct World {
    const char* name;
    const char* label;
    bool filter;    // the first filter answers 256 pin types, then nothing
    bool filters;   // every filter stops answering
    bool control;   // every control device
    bool held;      // every filter and control device holds its calls
};

// One test in a fresh world of ten installed drivers.
Result runOnce(const World& world) {
    FakeWorld devices;
    FakeEndpoints endpoints;
    TestRegistry registry;
    for (int i = 0; i < DRIVER_CATALOG_SIZE; ++i) {
        const DriverCatalogEntry& row = DRIVER_CATALOG[i];
        installCataloguedDriver(devices, endpoints, registry, row, i + 1, iconOf(row, DIRECTION_RECORDING),
                                iconOf(row, DIRECTION_PLAYBACK));
        if (world.control) {
            FakeDriverInterface& driver = devices.interfaces.back();
            driver.timing = i % 2 ? PEND_IGNORING_CANCEL : PEND_UNTIL_CANCELLED;
            driver.completeAfterMs = 3000;
        }
        if (world.held) {
            FakeDriverInterface& driver = devices.interfaces.back();
            FakeKsFilter& filter = devices.ks.filters.back();
            if (i % 2) {
                driver.openHolds = filter.openHolds = true;
            } else {
                driver.timing = filter.timing = HOLD_THE_THREAD;
                filter.answersAtOnce = 3 * i;
            }
        }
        if (world.filters) {
            // A filter of two pins takes 34 requests for both walks: stopping after 0, 3, ...
            // 27 of them spreads the stops over both walks and every kind of request.
            FakeKsFilter& filter = devices.ks.filters.back();
            filter.answersAtOnce = 3 * i;
            filter.timing = i % 2 ? PEND_IGNORING_CANCEL : PEND_UNTIL_CANCELLED;
            filter.completeAfterMs = 3000;
        }
    }
    if (world.filter) {
        FakeKsFilter& filter = devices.ks.filters[0];
        filter.pinTypes = 256;
        filter.pinTypesAtOnce = true;
        filter.timing = PEND_UNTIL_CANCELLED;
    }
    LogBuffer log;
    createLog(&log);
    OsIdentification os = {OS_WIN10, 10, 0, 19045, 2};
    LARGE_INTEGER t0, tPass, t1;
    QueryPerformanceCounter(&t0);
    // As a hidden start does it: the drivers are asked in the opening pass.
    CatalogVersions versions;
    const DriverJobs versionJobs = catalogVersionJobs(&versions);
    openInventory(kCollectionOptions, catalogHardwareIds(), &versionJobs);
    QueryPerformanceCounter(&tPass);
    const RunContext context = {&g_inventory, &os, 1, 0, versions.answers};
    RunResults results;
    const int32_t total = runTest(context, &results);
    const RunReports text = {&log, NULL, NULL};
    renderRun(results, text);
    QueryPerformanceCounter(&t1);
    closeInventory();
    const Result result = {seconds(t0, t1), seconds(t0, tPass), total, int32_t(log.length)};
    releaseLog(&log);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? atoi(argv[1]) : 3;
    const World worlds[] = {
        {"healthy", "healthy", false, false, false, false},
        {"filter", "one wedged filter (256 pin types)", true, false, false, false},
        {"filters", "ten wedged filters", false, true, false, false},
        {"control", "ten wedged control devices", false, false, true, false},
        {"all", "all wedged", false, true, true, false},
        {"held", "all held", false, false, false, true},
    };
    printf("%-36s %12s %12s %8s %8s\n", "world", "test (s)", "pass (s)", "errors", "report");
    fflush(stdout);
    for (const auto& world : worlds) {
        bool chosen = argc <= 2;
        for (int i = 2; i < argc; ++i) chosen = chosen || strcmp(argv[i], world.name) == 0;
        if (!chosen) continue;
        std::vector<double> times, passTimes;
        Result last = {0, 0, 0, 0};
        for (int run = 0; run < runs; ++run) {
            last = runOnce(world);
            times.push_back(last.seconds);
            passTimes.push_back(last.passSeconds);
        }
        std::sort(times.begin(), times.end());
        std::sort(passTimes.begin(), passTimes.end());
        printf("%-36s %12.4f %12.4f %8d %8d\n", world.label, times[times.size() / 2], passTimes[passTimes.size() / 2],
               int(last.total), int(last.length));
        fflush(stdout);
    }
    return 0;
}
