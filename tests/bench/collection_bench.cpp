// Benchmark, not a test: one collection pass and one test run over a fake world of 1,000 wave
// devices per direction with all ten catalogued drivers answering their expected version.
// Prints the time per pass and per run, and the process's peak memory.
//
//   collection_bench.exe [runs]
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "inventory/device_inventory.h"
#include "checks/driver_checks.h"
#include "report/test_run.h"
#include "support/fake_world.h"

namespace {

double seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

void printStats(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times) sum += t;
    printf("%-28s mean %8.3f ms   median %8.3f ms   min %8.3f ms   max %8.3f ms\n", what,
           1000 * sum / times.size(), 1000 * times[times.size() / 2], 1000 * times.front(), 1000 * times.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? atoi(argv[1]) : 20;
    FakeWorld world;
    for (int i = 0; i < 1000; ++i) {
        // Names in no particular order, so that the sort has work to do.
        const unsigned key = unsigned(i) * 2654435761u;
        world.waveIn.push_back({L"Input " + std::to_wstring(key % 100000), 2, false});
        world.waveOut.push_back({L"Output " + std::to_wstring(key % 100000), 2, false});
    }
    for (const DriverCatalogEntry& row : DRIVER_CATALOG) world.addDriver(row.interfaceGuid, row.expectedVersion);

    LogBuffer log;
    createLog(&log);
    OsIdentification os = {7, 10, 0, 19045, 2};
    openInventory(0x10020D);

    std::vector<double> passTimes, runTimes;
    int32_t total = 0;
    for (int i = 0; i < runs; ++i) {
        clear(&log);  // each run on an empty log, as the first run of the program
        LARGE_INTEGER t0, t1, t2;
        QueryPerformanceCounter(&t0);
        collectDevices();
        QueryPerformanceCounter(&t1);
        const TestRunContext context = {&log, &g_inventory, &os, 1, 0};
        total = runTest(context);
        QueryPerformanceCounter(&t2);
        passTimes.push_back(seconds(t0, t1));
        runTimes.push_back(seconds(t1, t2));
    }

    printf("fake world: %u recording and %u playback wave devices, %d drivers installed\n",
           recordCount(g_inventory.inputDevices), recordCount(g_inventory.outputDevices), DRIVER_CATALOG_SIZE);
    printf("runs: %d, error total of a run: %d, report: %d characters\n", runs, int(total), int(log.length));
    printStats("collection pass", passTimes);
    printStats("test run (report)", runTimes);
    PROCESS_MEMORY_COUNTERS memory;
    ZeroMemory(&memory, sizeof(memory));
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory)))
        printf("peak working set %.1f MiB, peak private bytes %.1f MiB\n", memory.PeakWorkingSetSize / 1048576.0,
               memory.PeakPagefileUsage / 1048576.0);

    closeInventory();
    releaseLog(&log);
    return 0;
}
