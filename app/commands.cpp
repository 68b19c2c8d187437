#include "app/commands.h"

#include <commdlg.h>
#include <stdio.h>

#include "app/app_state.h"
#include "app/device_list_commands.h"
#include "app/integrity_check.h"
#include "app/pe_checksum.h"
#include "app/resource_ids.h"
#include "base/product.h"
#include "inventory/device_inventory.h"
#include "report/test_run.h"

namespace {

void launchTest(HWND window) {
    collectDevices();
    const TestRunContext context = {&g_app.log, &g_inventory, &g_app.os, g_app.is64BitWindows, g_app.initValue};
    g_app.exitCode = runTest(context);
    refreshLogView(&g_app.log, g_app.logView);
    if (g_app.startHidden) {
        if (g_app.showAfterTest) {
            ShowWindow(window, SW_SHOW);
            UpdateWindow(window);
        } else {
            quitApplication();
        }
    }
}

void checkChosenFileIntegrity(HWND owner) {
    char path[1024] = "";
    OPENFILENAMEA dialog;
    ZeroMemory(&dialog, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = "Programs and drivers (*.exe;*.dll;*.sys)\0*.exe;*.dll;*.sys\0"
                         "All files (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof(path);
    dialog.lpstrTitle = "Check File Integrity";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&dialog)) return;

    const int32_t result = checkExecutableIntegrity(path);
    char text[1400];
    _snprintf(text, sizeof(text), "%s\n\n%s\n\nResult: %i", path, describeIntegrityResult(result),
              int(result));
    text[sizeof(text) - 1] = 0;
    MessageBoxA(owner, text, "Check File Integrity",
                result == INTEGRITY_OK ? MB_ICONINFORMATION : MB_ICONWARNING);
}

}  // namespace

void showAbout(HWND owner) {
    MessageBoxA(owner,
                PRODUCT_NAME
                "\nVersion : " PRODUCT_VERSION
                "\nStandalone Application\n\n"
                "Check Halvane Driver registration in different devices lists\n"
                "and check data consistency from different information sources\n\n"
                "See Test CONCLUSION at end of log...\n\n" PRODUCT_WEB_LINE,
                "About...", MB_ICONINFORMATION);
}

void handleCommand(HWND window, int command) {
    switch (command) {
    case CMD_LAUNCH_TEST:
        launchTest(window);
        break;
    case CMD_CHECK_FILE_INTEGRITY:
        checkChosenFileIntegrity(window);
        break;
    case CMD_REGISTRY_ERROR:
        MessageBoxA(window,
                    "Cannot write in registry...\nAdministrator mode is required\n\n"
                    "Run this application in administrator mode...",
                    "Error", MB_ICONERROR);
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
