#include "report/checker_run.h"

#include <string.h>
#include <wchar.h>

#include "base/product.h"
#include "base/text.h"
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

const DeviceNodeRecord* nodeOf(const RowEvidence& evidence, const wchar_t* instanceId) {
    if (evidence.deciding && equalIgnoringAsciiCase(evidence.deciding->instanceId, instanceId)) return evidence.deciding;
    for (int32_t i = 0; i < evidence.keptNodes && i < ROW_EVIDENCE_CAPACITY; ++i)
        if (equalIgnoringAsciiCase(evidence.nodes[i]->instanceId, instanceId)) return evidence.nodes[i];
    return NULL;
}

const WatchedEntry* entryOf(const RowEvidence& evidence, const FixRecord& fix) {
    for (int32_t i = 0; i < evidence.keptEntries && i < ROW_EVIDENCE_CAPACITY; ++i)
        if (evidence.entries[i]->direction == fix.side && equalIgnoringAsciiCase(evidence.entries[i]->endpointGuid, fix.target))
            return evidence.entries[i];
    return NULL;
}

// Whether this test still finds what a fix Windows did was for: a service not running, a node
// with a problem (or a driver that still does not answer), a name or icon not the driver's.
FixConfirmation confirm(const FixRecord& fix, const RunResults& r) {
    if (fix.outcome != FIX_DONE) return FIX_NOT_CONFIRMED;
    const bool builder = wcscmp(fix.target, ENDPOINT_BUILDER_SERVICE_NAME) == 0;
    const DriverResult* row = fix.row >= 0 && fix.row < DRIVER_CATALOG_SIZE ? &r.drivers[fix.row] : NULL;
    bool gone = false;
    switch (fix.action) {
    case FIX_START_SERVICE:
        gone = (builder ? r.services.endpointBuilder : r.services.audio) == AUDIO_SERVICE_RUNNING;
        break;
    case FIX_ENABLE_DEVICE:
    case FIX_RESTART_DEVICE: {
        const DeviceNodeRecord* node = row ? nodeOf(row->evidence, fix.target) : NULL;
        gone = node && nodeProblem(*node) == NODE_FINE && row->state != DRIVER_STATE_NOT_ANSWERING &&
               row->state != DRIVER_STATE_NOT_RESPONDING;
        break;
    }
    default: {
        const WatchedEntry* e = row ? entryOf(row->evidence, fix) : NULL;
        gone = e && wcscmp(fix.action == FIX_RESTORE_NAME ? e->name : e->icon, fix.after) == 0;
        break;
    }
    }
    return gone ? FIX_CONFIRMED : FIX_STILL_FOUND;
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
    for (int32_t i = 0; r.fixes && i < r.fixes->count && i < FIXES_CAPACITY; ++i)
        r.confirmed[i] = confirm(r.fixes->fixes[i], r);
    r.restartNeeded = restartNeededBy(r);
    GetSystemTime(&r.testDate);  // UTC, so that reports from anywhere compare
    return r.errorTotal;
}

namespace {

// The catalogue's version requests of the run's pass (the first run's in the opening pass), and
// their answers, which the pass leaves here.
CatalogVersions g_versions;

}  // namespace

void openRunSide() {
    const DriverJobs versions = catalogVersionJobs(&g_versions);
    openInventory(CHECKER_COLLECTION_OPTIONS, catalogHardwareIds(), &versions);
}

void closeRunSide() { closeInventory(); }

int32_t runChecker(const RunSettings& settings, const FixList* fixes, RunResults* results) {
    const DriverJobs versions = catalogVersionJobs(&g_versions);
    collectDevicesForRun(&versions);
    const RunContext context = {&g_inventory, settings.os, settings.is64BitWindows, settings.initValue,
                                g_versions.answers, fixes};
    return runTest(context, results);
}

void renderRun(const RunResults& results, const RunReports& reports) {
    if (reports.log) appendTextReport(results, reports.log);
    if (reports.json) appendJsonRun(reports.json, results);
    if (reports.whatToDo) renderWhatToDo(results, reports.whatToDo);
    if (reports.whatToDoForFile) renderWhatToDoForFile(results, reports.whatToDoForFile);
}
