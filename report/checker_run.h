// One test run: the results of the catalogue's checks over a collection pass, and its report
// appended to the log.
#pragma once

#include <stdint.h>

#include "base/log_buffer.h"
#include "base/system_identification.h"
#include "checks/driver_control.h"
#include "inventory/device_inventory.h"
#include "report/run_results.h"

struct TestRunContext {
    LogBuffer* log;  // where the text report goes; none when null
    const DeviceInventory* inventory;
    const OsIdentification* os;
    int32_t is64BitWindows;
    int32_t initValue;  // result of the integrity check of the program's own file
    // The catalogue's answers to the version requests, asked in the collection pass
    // (CatalogVersions) so that their wait is the pass's; null: the drivers are asked during the run.
    const DriverVersionAnswer* versions;
};

// Runs one test over the lists of the collection pass that has just run: fills results (when
// given) and appends the text report to the context's log. Returns the error total.
int32_t runTest(const TestRunContext& context, TestRunResults* results = NULL);
