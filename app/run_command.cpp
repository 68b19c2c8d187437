#include "app/run_command.h"

#include "app/app_state.h"
#include "app/log_view.h"
#include "app/report_commands.h"
#include "app/report_file.h"
#include "app/what_to_do_view.h"
#include "app/windows_places.h"
#include "checks/driver_checks.h"
#include "inventory/device_inventory.h"
#include "report/checker_run.h"
#include "report/what_to_do.h"

namespace {

// The catalogue's version requests, asked in the walk of the run's collection pass (the first
// run's in the opening pass) so that drivers that do not answer are waited for with the filters;
// the pass leaves the answers here.
CatalogVersions g_versions;

// The drivers are asked in the collection pass, so that those that do not answer and filters that
// stop answering are waited for once. The first run reads the pass the window's creation ran a
// moment ago; later ones a new one. The exit code is the run's error total.
void runOverPass(RunResults* results) {
    const DriverJobs versions = catalogVersionJobs(&g_versions);
    collectDevicesForRun(&versions);
    const RunContext context = {&g_inventory, &g_app.os, g_app.is64BitWindows, g_app.initValue,
                                    g_versions.answers};
    g_app.exitCode = runTest(context, results);
}

void showRun(HWND window, const RunResults& results) {
    const RunReports reports = {&g_app.log, &g_app.jsonRuns, &g_app.whatToDo};
    renderRun(results, reports);
    refreshLogView(&g_app.log, g_app.logView);
    refreshWhatToDo(window, results.errorTotal, results.integrity.cause != CAUSE_NONE);
    offerWindowsPlaces(GetMenu(window), windowsPlacesOf(results));
}

// The "-o" file holds every run of the session so far, as the log view does. True when it was
// written or none is asked for; *error: the Windows reason of a failed write.
bool writeSessionReportFile(DWORD* error) {
    *error = 0;
    if (!g_app.switches.reportToFile) return true;
    const bool written = writeReport(g_app.switches.reportPath, g_app.log.text, g_app.jsonRuns) == SAFE_FILE_OK;
    *error = GetLastError();
    return written;
}

void endHiddenRun(HWND window, bool reportWritten) {
    if (!g_app.switches.startHidden) return;
    // A script reads only the exit code, so a hidden run's missing report must show there.
    if (!reportWritten) g_app.exitCode = EXIT_REPORT_NOT_WRITTEN;
    if (g_app.switches.showAfterRun) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    } else {
        quitApplication();
    }
}

// Once per session, in a window that shows: a box after every run would make each one a chore.
void tellOfFailedReportFile(HWND window, DWORD error) {
    if (!IsWindowVisible(window) || g_app.reportFileErrorShown) return;
    g_app.reportFileErrorShown = true;
    showReportFileError(window, error);
}

}  // namespace

void openAudioSide() {
    // The first run's drivers are asked in the opening pass, which that run reads.
    const DriverJobs versions = catalogVersionJobs(&g_versions);
    openInventory(CHECKER_COLLECTION_OPTIONS, catalogHardwareIds(), &versions);
}

void closeAudioSide() { closeInventory(); }

void launchRun(HWND window) {
    RunResults results;
    runOverPass(&results);
    showRun(window, results);
    DWORD reportError = 0;
    const bool reportWritten = writeSessionReportFile(&reportError);
    endHiddenRun(window, reportWritten);
    if (!reportWritten) tellOfFailedReportFile(window, reportError);
}
