#include "app/commands.h"

#include <commdlg.h>
#include <stdio.h>

#include "app/app_state.h"
#include "app/device_list_commands.h"
#include "app/integrity_check.h"
#include "app/pe_checksum.h"
#include "app/report_file.h"
#include "app/resource_ids.h"
#include "base/product.h"
#include "inventory/device_inventory.h"
#include "report/test_run.h"

namespace {

// Tells the user at the screen that the report file was not written; the log view keeps the report.
void showReportFileError(HWND owner, DWORD error) {
    wchar_t reason[512] = L"";
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0,
                        reason, sizeof(reason) / sizeof(reason[0]), NULL))
        reason[0] = 0;
    wchar_t text[REPORT_PATH_CAPACITY + 1024];
    _snwprintf(text, sizeof(text) / sizeof(text[0]),
               L"The report could not be written to the file\n%ls\n\n%ls(error %lu)\n\n"
               L"The log view shows the report. Every later test tries the file again, "
               L"without this message.",
               g_app.reportPath, reason, error);
    text[sizeof(text) / sizeof(text[0]) - 1] = 0;
    MessageBoxW(owner, text, L"Report File", MB_ICONWARNING);
}

void launchTest(HWND window) {
    // The first test reads the pass the window's creation ran a moment ago; later ones a new one.
    collectDevicesForTest();
    const TestRunContext context = {&g_app.log, &g_inventory, &g_app.os, g_app.is64BitWindows, g_app.initValue};
    g_app.exitCode = runTest(context);
    refreshLogView(&g_app.log, g_app.logView);

    // The file holds what the log view shows: every report of the session so far.
    bool reportWritten = true;
    DWORD reportError = 0;
    if (g_app.reportToFile) {
        reportWritten = writeReportFile(g_app.reportPath, g_app.log.text) == REPORT_FILE_OK;
        reportError = GetLastError();
    }
    // A script reads only the exit code, so a hidden run's missing report must show there.
    if (!reportWritten && g_app.startHidden) g_app.exitCode = EXIT_REPORT_NOT_WRITTEN;

    if (g_app.startHidden) {
        if (g_app.showAfterTest) {
            ShowWindow(window, SW_SHOW);
            UpdateWindow(window);
        } else {
            quitApplication();
        }
    }
    // Once per session: a box after every test would make each one a chore.
    if (!reportWritten && IsWindowVisible(window) && !g_app.reportFileErrorShown) {
        g_app.reportFileErrorShown = 1;
        showReportFileError(window, reportError);
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
    wchar_t widePath[1024];
    const int32_t signature = MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, 1024)
                                  ? checkFileSignature(widePath)
                                  : int32_t(SIGNATURE_UNKNOWN);
    char text[1600];
    _snprintf(text, sizeof(text), "%s\n\n%s\n\nResult: %i\n\n%s", path, describeIntegrityResult(result),
              int(result), describeSignatureResult(signature));
    text[sizeof(text) - 1] = 0;
    const bool warn = result != INTEGRITY_OK || signature == SIGNATURE_NOT_TRUSTED || signature == SIGNATURE_BROKEN;
    MessageBoxA(owner, text, "Check File Integrity", warn ? MB_ICONWARNING : MB_ICONINFORMATION);
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

void showUsage() {
    MessageBoxA(NULL,
                "Usage: HalvaneDevicesChecker.exe [-h [-s]] [-o <report file>] [-?]\n\n"
                "-h\tRun one test without a window, then exit.\n"
                "-s\tWith -h: show the window after the test.\n"
                "-o\tWrite the log to this file (UTF-8) after every test;\n"
                "\tquote a path with blanks.\n"
                "-?\tShow this help.\n\n"
                "Exit code: the error total of the last test;\n"
                "-1 when no test ran; -2 when -h could not write the report file.",
                PRODUCT_NAME, MB_ICONINFORMATION);
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
