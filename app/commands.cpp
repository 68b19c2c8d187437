#include "app/commands.h"

#include "app/app_state.h"
#include "app/device_list_commands.h"
#include "app/integrity_command.h"
#include "app/log_view.h"
#include "app/program_boxes.h"
#include "app/report_commands.h"
#include "app/report_file.h"
#include "app/resource_ids.h"
#include "app/what_to_do_view.h"
#include "checks/driver_checks.h"
#include "inventory/device_inventory.h"
#include "report/checker_run.h"

namespace {

void launchTest(HWND window) {
    // The first test reads the pass the window's creation ran a moment ago; later ones a new one.
    // The drivers are asked in the pass, so that those that do not answer and filters that stop
    // answering are waited for once.
    const DriverJobs versions = catalogVersionJobs(&g_app.versions);
    collectDevicesForTest(&versions);
    const TestRunContext context = {&g_inventory, &g_app.os, g_app.is64BitWindows, g_app.initValue,
                                    g_app.versions.answers};
    TestRunResults results;
    g_app.exitCode = runTest(context, &results);
    const RunReports reports = {&g_app.log, &g_app.jsonRuns, &g_app.whatToDo};
    renderRun(results, reports);
    refreshLogView(&g_app.log, g_app.logView);
    refreshWhatToDo(window, results.errorTotal, results.integrity.cause != CAUSE_NONE);

    // The file holds every test of the session so far, as the log view does.
    bool reportWritten = true;
    DWORD reportError = 0;
    if (g_app.switches.reportToFile) {
        reportWritten = writeReport(g_app.switches.reportPath, g_app.log.text, g_app.jsonRuns) == SAFE_FILE_OK;
        reportError = GetLastError();
    }
    // A script reads only the exit code, so a hidden run's missing report must show there.
    if (!reportWritten && g_app.switches.startHidden) g_app.exitCode = EXIT_REPORT_NOT_WRITTEN;

    if (g_app.switches.startHidden) {
        if (g_app.switches.showAfterRun) {
            ShowWindow(window, SW_SHOW);
            UpdateWindow(window);
        } else {
            quitApplication();
        }
    }
    // Once per session: a box after every test would make each one a chore.
    if (!reportWritten && IsWindowVisible(window) && !g_app.reportFileErrorShown) {
        g_app.reportFileErrorShown = true;
        showReportFileError(window, reportError);
    }
}

}  // namespace

void handleCommand(HWND window, int command) {
    switch (command) {
    case CMD_LAUNCH_TEST:
        launchTest(window);
        break;
    case CMD_SAVE_REPORT_AS:
        saveReportAs(window);
        break;
    case CMD_COPY_REPORT:
        copyReport(window);
        break;
    case CMD_WHAT_TO_DO:
        showWhatToDo(window, !g_app.whatToDoShown || g_app.panelShown);
        break;
    case CMD_CHECK_FILE_INTEGRITY:
        checkChosenFileIntegrity(window);
        break;
    case CMD_REGISTRY_ERROR:
        showRegistryError(window);
        break;
    case CMD_QUIT:
        quitApplication();
        break;
    case CMD_ABOUT:
        showAbout(window);
        break;
    default:
        // The device list commands; any other identifier is ignored.
        if (isDeviceListCommand(command)) handleDeviceListCommand(window, command);
        break;
    }
}
