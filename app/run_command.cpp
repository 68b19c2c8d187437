#include "app/run_command.h"

#include "app/app_state.h"
#include "app/elevated_fixes.h"
#include "app/fix_command.h"
#include "app/log_view.h"
#include "app/report_commands.h"
#include "app/report_file.h"
#include "app/what_to_do_view.h"
#include "app/windows_places.h"
#include "fixes/fix_apply.h"
#include "report/checker_run.h"
#include "report/what_to_do.h"

namespace {

// A run over its collection pass; its error total is the exit code. `fixes`: those made since
// the run before, which this one tests again.
void runOverPass(RunResults* results, const FixList* fixes) {
    const RunSettings settings = {&g_app.os, g_app.is64BitWindows, g_app.initValue};
    g_app.exitCode = runChecker(settings, fixes, results);
}

// The reports and views, and the fixes the run's causes have (read before the next pass).
void showRun(HWND window, const RunResults& results) {
    const RunReports reports = {&g_app.log, &g_app.jsonRuns, &g_app.whatToDo, &g_app.whatToDoForFile};
    renderRun(results, reports);
    refreshLogView(&g_app.log, g_app.logView);
    refreshWhatToDo(window, results.errorTotal, results.integrity.cause != CAUSE_NONE);
    g_app.placesOffered = windowsPlacesOf(results);
    offerWindowsPlaces(GetMenu(window), g_app.placesOffered);
    planFixes(results.drivers, results.services, g_app.os.osClass, g_app.is64BitWindows, &g_app.fixPlan);
    g_app.elevated = results.machine.elevated;
    offerFixes(GetMenu(window), g_app.fixPlan);
}

// The "-o" file holds every run of the session so far, as the log view does. True when it was
// written or none is asked for; *error: the Windows reason of a failed write.
bool writeSessionReportFile(DWORD* error) {
    *error = 0;
    if (!g_app.switches.reportToFile) return true;
    const bool written = writeReport(g_app.switches.reportPath, sessionReportText(), g_app.jsonRuns) == SAFE_FILE_OK;
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

// "-fix": every safe fix of the first run's causes that was agreed to, without an administrator
// none (each says so), handed to the window that started this checker elevated where one did;
// then the run again, whose errors are the exit code.
void fixHidden(HWND window) {
    g_app.hiddenFixesMade = true;
    g_app.fixesMade = g_app.fixPlan;
    keepAgreedFixes(g_app.switches.fixAgreed, &g_app.fixesMade);
    applyFixes(g_app.elevated, &g_app.fixesMade);
    if (g_app.switches.replyToWindow) replyToWindow(g_app.switches.replyToken, g_app.fixesMade);
    RunResults results;
    runOverPass(&results, &g_app.fixesMade);
    showRun(window, results);
}

// The report file after a run, and the end of a hidden one.
void finishRun(HWND window) {
    DWORD reportError = 0;
    const bool reportWritten = writeSessionReportFile(&reportError);
    endHiddenRun(window, reportWritten);
    if (!reportWritten) tellOfFailedReportFile(window, reportError);
}

}  // namespace

void launchRun(HWND window) {
    RunResults results;
    runOverPass(&results, NULL);
    showRun(window, results);
    if (g_app.switches.fix && !g_app.hiddenFixesMade) fixHidden(window);
    finishRun(window);
}

void launchRunAfterFixes(HWND window, const FixList* fixes) {
    RunResults results;
    runOverPass(&results, fixes);
    showRun(window, results);
    finishRun(window);
}
