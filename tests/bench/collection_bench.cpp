// Benchmark, not a test: collection passes over Wine's real registry holding an MMDevices store
// of E left-over entries per direction (E = 0, 500, 3,000) and the entries of 200 wave devices
// and 200 endpoints per direction, which come from the fakes. Prints per world, side by side
// from one run: the pass's time, the registry keys it opened, and the floor (a plain walk of the
// same store reading the same values once), and the same pass without the evidence of the
// catalogue's drivers (device nodes, services, store states); then the test run with its text report, and what
// the JSON report (the run rendered and the document written out) adds to pass and run. Then one pass over 1,000 wave devices per direction
// and 3,000 entries, with a test run, and the process's peak memory.
//
//   collection_bench.exe [runs]     (in a prefix of its own: the store is rewritten)
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/registry.h"
#include "checks/driver_checks.h"
#include "inventory/device_inventory.h"
#include "report/checker_run.h"
#include "report/json_report.h"
#include "support/check_world.h"
#include "support/fake_endpoints.h"
#include "support/fake_world.h"
#include "support/saved_table.h"
#include "support/test_registry.h"

namespace {

const wchar_t* const kDirections[] = {L"Render", L"Capture"};

long g_opens = 0;
LONG WINAPI countedOpen(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    ++g_opens;
    return RegOpenKeyExW(key, subKey, options, access, result);
}

double seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

bool keepBytes(const void* bytes, size_t size, void* document) {
    static_cast<std::string*>(document)->append(static_cast<const char*>(bytes), size);
    return true;
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Left-over entries (kind 0) sort ahead of the devices' own entries (kind 1).
std::wstring guid(int side, int kind, int i) {
    wchar_t text[64];
    _snwprintf(text, 64, L"{%08X-0000-0000-%04X-000000000000}", unsigned(kind) << 28 | unsigned(i), side);
    return text;
}

// The store: left-over entries first (another device's names, as machines keep them), then one
// entry per wave device and endpoint.
void writeStore(TestRegistry& registry, int leftOvers, int devices) {
    TestRegistry::deleteStore();
    for (int side = 0; side < 2; ++side) {
        for (int i = 0; i < leftOvers; ++i)
            registry.addEndpoint(kDirections[side], guid(side, 0, i), L"Old Device " + std::to_wstring(i), L"Old Card",
                                 L"{1}.USB\\VID_0000:OLD" + std::to_wstring(i), L"%SystemRoot%\\old.ico,-1");
        for (int i = 0; i < devices; ++i)
            registry.addEndpoint(kDirections[side], guid(side, 1, i), L"Bench Device " + std::to_wstring(i),
                                 L"Bench Card", L"{1}.ROOT\\MEDIA:BENCH" + std::to_wstring(i), L"bench.ico");
    }
}

void addDevices(FakeWorld& world, FakeEndpoints& endpoints, int waves, int activeEndpoints) {
    world.waveIn.clear();
    world.waveOut.clear();
    endpoints.endpoints.clear();
    for (int side = 0; side < 2; ++side) {
        for (int i = 0; i < waves; ++i)
            (side ? world.waveIn : world.waveOut).push_back({L"Bench Device " + std::to_wstring(i) + L" (Bench Card)", 2, false});
        for (int i = 0; i < activeEndpoints; ++i)
            endpoints.add(side ? eCapture : eRender, L"{0.0." + std::to_wstring(side) + L".00000000}." + guid(side, 1, i),
                          L"Bench Device " + std::to_wstring(i) + L" (Bench Card)", L"Bench Card");
    }
}

// The floor: the same values of the same store, read once, with the plain registry calls.
void walkStoreOnce() {
    static const wchar_t* const kValues[] = {kStoreValue.description, kStoreValue.adapterName, kStoreValue.iconPath,
                                             kStoreValue.driverText};
    for (const wchar_t* direction : kDirections) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TestRegistry::directionPath(direction).c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            continue;
        wchar_t name[1000];
        for (DWORD i = 0; RegEnumKeyW(key, i, name, 1000) == ERROR_SUCCESS; ++i) {
            HKEY properties;
            if (RegOpenKeyExW(key, (std::wstring(name) + L"\\Properties").c_str(), 0, KEY_READ, &properties) !=
                ERROR_SUCCESS)
                continue;
            for (const wchar_t* value : kValues) {
                wchar_t text[2049];
                DWORD size = sizeof(text) - sizeof(wchar_t), type = 0;
                RegQueryValueExW(properties, value, NULL, &type, reinterpret_cast<BYTE*>(text), &size);
            }
            RegCloseKey(properties);
        }
        RegCloseKey(key);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? atoi(argv[1]) : 5;
    FakeWorld world;
    FakeEndpoints endpoints;
    TestRegistry registry;
    const SavedTable<RegistryApi> savedRegistryApi(g_registryApi);
    g_registryApi.regOpenKeyExW = countedOpen;

    printf("%-44s %12s %12s %12s %8s\n", "world (per direction)", "pass", "key opens", "floor", "ratio");
    for (int leftOvers : {0, 500, 3000}) {
        const int devices = 200;
        writeStore(registry, leftOvers, devices);
        addDevices(world, endpoints, devices, devices);
        openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
        std::vector<double> passes, floors, bare;
        long opens = 0;
        for (int run = 0; run < runs; ++run) {
            LARGE_INTEGER t0, t1, t2, t3;
            g_opens = 0;
            QueryPerformanceCounter(&t0);
            collectDevices(NULL);
            QueryPerformanceCounter(&t1);
            opens = g_opens;
            walkStoreOnce();
            QueryPerformanceCounter(&t2);
            // The same pass without the evidence (nothing watched), for what the evidence adds.
            g_inventory.watched = HardwareIdSet{NULL, 0};
            collectDevices(NULL);
            QueryPerformanceCounter(&t3);
            g_inventory.watched = catalogHardwareIds();
            passes.push_back(seconds(t0, t1));
            floors.push_back(seconds(t1, t2));
            bare.push_back(seconds(t2, t3));
        }
        char label[80];
        _snprintf(label, sizeof(label), "E=%d left-over, %d wave, %d endpoints", leftOvers, devices, devices);
        label[sizeof(label) - 1] = 0;
        printf("%-44s %9.1f ms %12ld %9.1f ms %8.2f\n", label, 1000 * median(passes), opens, 1000 * median(floors),
               median(passes) / median(floors));
        printf("%-44s without the evidence %.1f ms: the evidence adds %.1f %%\n", "", 1000 * median(bare),
               100 * (median(passes) - median(bare)) / median(bare));
        // The test run over this pass, with its text report, and then its JSON report.
        std::vector<double> testRuns, jsons;
        for (int run = 0; run < runs; ++run) {
            LogBuffer log;
            createLog(&log);
            OsIdentification os = {OS_WIN10, 10, 0, 19045, 2};
            CatalogVersions versions;
            const RunContext context = {&g_inventory, &os, 1, 0, askCatalogVersions(&versions)};
            RunResults results;
            JsonRuns json = {};
            std::string document;
            LARGE_INTEGER t0, t1, t2;
            QueryPerformanceCounter(&t0);
            runTest(context, &results);
            const RunReports text = {&log, NULL, NULL};
            renderRun(results, text);
            QueryPerformanceCounter(&t1);
            appendJsonRun(&json, results);
            writeJsonDocument(json, keepBytes, &document);
            QueryPerformanceCounter(&t2);
            testRuns.push_back(seconds(t0, t1));
            jsons.push_back(seconds(t1, t2));
            releaseJsonRuns(&json);
            releaseLog(&log);
        }
        printf("%-44s test run %.1f ms, JSON report %.2f ms = %.2f %% of pass and run\n", "", 1000 * median(testRuns),
               1000 * median(jsons), 100 * median(jsons) / (median(passes) + median(testRuns)));
        closeInventory();
    }

    // Memory: 1,000 wave devices per direction over 3,000 left-over entries, and a test run.
    writeStore(registry, 3000, 1000);
    addDevices(world, endpoints, 1000, 0);
    for (const DriverCatalogEntry& row : DRIVER_CATALOG) world.addDriver(row.interfaceGuid, row.expectedVersion);
    LogBuffer log;
    createLog(&log);
    OsIdentification os = {OS_WIN10, 10, 0, 19045, 2};
    openInventory(kCollectionOptions, catalogHardwareIds(), nullptr);
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    collectDevices(NULL);
    QueryPerformanceCounter(&t1);
    CatalogVersions versions;
    const RunContext context = {&g_inventory, &os, 1, 0, askCatalogVersions(&versions)};
    RunResults results;
    runTest(context, &results);
    const RunReports text = {&log, NULL, NULL};
    renderRun(results, text);
    printf("E=3000 left-over, 1000 wave: pass %.1f ms, %u + %u devices listed, report %d characters\n",
           1000 * seconds(t0, t1), recordCount(g_inventory.inputDevices), recordCount(g_inventory.outputDevices),
           int(log.length));
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
