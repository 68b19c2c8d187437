// One test run: the results of the catalogue's checks over a collection pass, evidence and
// causes included, and the one rendering of them into the reports.
#pragma once

#include <stdint.h>

#include "base/log_buffer.h"
#include "base/system_identification.h"
#include "checks/driver_control.h"
#include "inventory/device_inventory.h"
#include "report/json_report.h"
#include "report/run_results.h"

struct RunContext {
    const DeviceInventory* inventory;
    const OsIdentification* os;
    bool is64BitWindows;
    int32_t initValue;  // result of the integrity check of the program's own file
    // The catalogue's answers to the version requests, asked in the collection pass
    // (CatalogVersions) so that their wait is the pass's.
    const DriverVersionAnswer* versions;
    // The fixes made since the test before (null: none), which the results carry.
    const FixList* fixes;
};

// Runs one test over the lists of the collection pass that has just run and fills the results.
// Returns the error total.
int32_t runTest(const RunContext& context, RunResults* results);

// The program's runs and the audio side they read. The audio side opens (openRunSide) in a first
// collection pass that asks the catalogue's drivers their versions too, which the first run reads;
// each later run asks for a pass of its own, in which its drivers are asked, so that drivers that
// do not answer and filters that stop answering are waited for once. What a run needs of the
// program: the Windows release, its bitness, and the integrity check of the checker's own file.
struct RunSettings {
    const OsIdentification* os;
    bool is64BitWindows;
    int32_t initValue;
};
void openRunSide();
void closeRunSide();
// One run over its pass: the results (read before the next run) and the error total. `fixes`:
// those made since the run before, which this one tests again (null: none).
int32_t runChecker(const RunSettings& settings, const FixList* fixes, RunResults* results);

// Where a run's reports go; each may be null. The text report is appended to the log, the JSON
// run kept as the session's newest, and the What To Do texts (the view's, and the one a report
// file ends with) replaced by this run's.
struct RunReports {
    LogBuffer* log;
    JsonRuns* json;
    LogBuffer* whatToDo;
    LogBuffer* whatToDoForFile;
};
void renderRun(const RunResults& results, const RunReports& reports);
