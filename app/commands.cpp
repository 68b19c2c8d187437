#include "app/commands.h"

#include "app/app_state.h"
#include "app/device_list_commands.h"
#include "app/fix_command.h"
#include "app/integrity_command.h"
#include "app/program_boxes.h"
#include "app/report_commands.h"
#include "app/resource_ids.h"
#include "app/run_command.h"
#include "app/what_to_do_view.h"
#include "app/windows_places.h"

void handleCommand(HWND window, int command) {
    // While fixes are made, the window waits: no command runs in between.
    if (g_app.fixing) return;
    switch (command) {
    case CMD_LAUNCH_TEST:
        launchRun(window);
        break;
    case CMD_SAVE_REPORT_AS:
        saveReportAs(window);
        break;
    case CMD_COPY_REPORT:
        copyReport(window);
        break;
    case CMD_WHAT_TO_DO:
        showWhatToDo(window, g_app.shownView != VIEW_WHAT_TO_DO);
        break;
    case CMD_FIX_PROBLEMS:
        fixProblems(window);
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
        // The Windows places (only those the last run's steps name, whose items are enabled) and
        // the device list commands; any other identifier is ignored.
        if (placeOfCommand(command) != PLACE_NONE) {
            if (g_app.placesOffered & placeOfCommand(command)) openWindowsPlace(window, placeOfCommand(command));
        } else if (isDeviceListCommand(command)) {
            handleDeviceListCommand(window, command);
        }
        break;
    }
}
