#include "report/checker_run.h"

#include <string.h>

#include "base/product.h"
#include "checks/driver_causes.h"
#include "checks/driver_checks.h"
#include "report/text_report.h"
#include "report/what_to_do.h"

namespace {

bool restartNeededBy(const RunResults& r) {
    for (const DriverResult& driver : r.drivers) {
        if (driver.why.cause == CAUSE_RESTART_NEEDED) return true;
        for (int32_t i = 0; i < driver.findingCount && i < DRIVER_FINDINGS_CAPACITY; ++i)
            if (driver.findings[i].why.cause == CAUSE_RESTART_NEEDED) return true;
    }
    for (int32_t i = 0; r.fixes && i < r.fixes->count; ++i)
        if (r.fixes->fixes[i].outcome == FIX_RESTART_NEEDED) return true;
    return false;
}

}  // namespace

int32_t runTest(const RunContext& context, RunResults* results) {
    RunResults& r = *results;
    memset(&r, 0, sizeof(r));
    r.checkerVersion = PRODUCT_VERSION;
    r.os = *context.os;
    r.is64BitWindows = context.is64BitWindows;
    identifyMachine(&r.machine);
    r.initValue = context.initValue;
    decideIntegrity(context.initValue, &r.integrity);
    r.evidenceGathered = context.inventory->evidence.gathered;
    r.services = context.inventory->evidence.services;
    r.recordingDevices = &context.inventory->inputDevices;
    r.playbackDevices = &context.inventory->outputDevices;
    r.silentFilters = &context.inventory->silentFilters;

    const CheckContext check = {context.inventory, context.os->osClass};
    for (int i = 0; i < DRIVER_CATALOG_SIZE; ++i) {
        DriverCatalogEntry row = DRIVER_CATALOG[i];
        wchar_t recordingIcon[128], playbackIcon[128];
        if (row.driverFileBase) {
            driverIconReference(row.driverFileBase, DIRECTION_RECORDING, context.os->osClass, context.is64BitWindows,
                                recordingIcon);
            driverIconReference(row.driverFileBase, DIRECTION_PLAYBACK, context.os->osClass, context.is64BitWindows,
                                playbackIcon);
            row.recordingIcon = recordingIcon;
            row.playbackIcon = playbackIcon;
        }
        r.errorTotal += checkDriver(row, context.versions[i], check, &r.drivers[i]);
    }
    r.conclusion = r.errorTotal > 0 ? CONCLUSION_ERRORS_DETECTED : CONCLUSION_OK;
    r.fixes = context.fixes;
    r.restartNeeded = restartNeededBy(r);
    GetSystemTime(&r.testDate);  // UTC, so that reports from anywhere compare
    return r.errorTotal;
}

void renderRun(const RunResults& results, const RunReports& reports) {
    if (reports.log) appendTextReport(results, reports.log);
    if (reports.json) appendJsonRun(reports.json, results);
    if (reports.whatToDo) renderWhatToDo(results, reports.whatToDo);
}
