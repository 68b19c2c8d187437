#include "app/commands.h"

#include <commdlg.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "app/app_state.h"
#include "app/device_list_commands.h"
#include "app/integrity_check.h"
#include "app/main_window.h"
#include "base/pe_checksum.h"
#include "app/report_file.h"
#include "app/resource_ids.h"
#include "base/owners.h"
#include "base/product.h"
#include "base/text.h"
#include "inventory/device_inventory.h"
#include "checks/driver_checks.h"
#include "report/checker_run.h"

namespace {

// Tells the user at the screen that a report file was not written, why (the Windows reason),
// and what follows.
void showWriteFailure(HWND owner, const wchar_t* heading, const wchar_t* path, DWORD error,
                      const wchar_t* closing, const wchar_t* caption) {
    wchar_t reason[512] = L"";
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0,
                        reason, sizeof(reason) / sizeof(reason[0]), NULL))
        reason[0] = 0;
    wchar_t text[REPORT_PATH_CAPACITY + 1024];
    _snwprintf(text, sizeof(text) / sizeof(text[0]), L"%ls\n%ls\n\n%ls(error %lu)%ls", heading, path, reason,
               error, closing);
    text[sizeof(text) / sizeof(text[0]) - 1] = 0;
    MessageBoxW(owner, text, caption, MB_ICONWARNING);
}

// The log view keeps the report of a failed "-o" file.
void showReportFileError(HWND owner, DWORD error) {
    showWriteFailure(owner, L"The report could not be written to the file", g_app.reportPath, error,
                     L"\n\nThe log view shows the report. Every later test tries the file again, "
                     L"without this message.",
                     L"Report File");
}

// A name the user can keep: HalvaneDevicesChecker-<computer name>-<yyyymmdd-hhmm>Z.txt, in UTC
// like the report's TEST DATE (the "Z" says so), so that the name and the report inside agree
// wherever they are read. A character a file name cannot hold becomes "_".
void defaultReportName(wchar_t* name, size_t capacity) {
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = L"";
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(computer, &size)) computer[0] = 0;
    computer[MAX_COMPUTERNAME_LENGTH] = 0;
    for (wchar_t* c = computer; *c; ++c)
        if (*c < L' ' || wcschr(L"\\/:*?\"<>|", *c)) *c = L'_';
    SYSTEMTIME now;
    GetSystemTime(&now);
    _snwprintf(name, capacity, L"HalvaneDevicesChecker-%ls-%04u%02u%02u-%02u%02uZ.txt", computer,
               unsigned(now.wYear), unsigned(now.wMonth), unsigned(now.wDay), unsigned(now.wHour),
               unsigned(now.wMinute));
    name[capacity - 1] = 0;
}

// The types "Save Report As..." offers, in the order of its filter.
enum { SAVE_AS_TEXT = 1, SAVE_AS_JSON = 2 };

bool endsWithIgnoringCase(const wchar_t* path, const wchar_t* tail) {
    const size_t length = wcslen(path), tailLength = wcslen(tail);
    return length >= tailLength && equalIgnoringAsciiCase(path + length - tailLength, tail);
}

// A name typed with ".json" or ".txt" says what it wants; any other name gets the chosen type's
// extension. Such a name was not the one the dialog asked about, so an existing file is asked
// about here. False when the user keeps the file, or when the name does not fit (said in a box).
bool settleReportName(HWND owner, wchar_t* path, size_t capacity, DWORD chosenType) {
    if (endsWithIgnoringCase(path, L".json") || endsWithIgnoringCase(path, L".txt")) return true;
    const wchar_t* extension = chosenType == SAVE_AS_JSON ? L".json" : L".txt";
    const size_t length = wcslen(path);
    if (length + wcslen(extension) >= capacity) {
        showWriteFailure(owner, L"The report could not be saved to the file", path, ERROR_FILENAME_EXCED_RANGE, L"",
                         L"Save Report As");
        return false;
    }
    copyText(path + length, extension, capacity - length);
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return true;
    wchar_t question[REPORT_PATH_CAPACITY + 64];
    _snwprintf(question, sizeof(question) / sizeof(question[0]), L"%ls already exists.\nDo you want to replace it?",
               path);
    question[sizeof(question) / sizeof(question[0]) - 1] = 0;
    return MessageBoxW(owner, question, L"Save Report As", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

// "Save Report As...": the whole log as "-o" writes it, or every test of the session as JSON,
// to a file chosen in Windows' own save dialog (the XP one too), starting in Documents. Cancel
// does nothing.
void saveReportAs(HWND owner) {
    wchar_t path[REPORT_PATH_CAPACITY];
    defaultReportName(path, REPORT_PATH_CAPACITY);
    wchar_t documents[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(NULL, CSIDL_PERSONAL, NULL, SHGFP_TYPE_CURRENT, documents))) documents[0] = 0;

    OPENFILENAMEW dialog;
    ZeroMemory(&dialog, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"Text report (*.txt)\0*.txt\0JSON report (*.json)\0*.json\0";
    dialog.nFilterIndex = SAVE_AS_TEXT;
    dialog.lpstrFile = path;
    dialog.nMaxFile = REPORT_PATH_CAPACITY;
    dialog.lpstrInitialDir = documents[0] ? documents : NULL;
    dialog.lpstrTitle = L"Save Report As";
    // With a default extension set, the dialog gives a name typed without one the extension of
    // the chosen type.
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog)) return;
    if (!settleReportName(owner, path, REPORT_PATH_CAPACITY, dialog.nFilterIndex)) return;

    if (writeReport(path, g_app.log.text, g_app.jsonRuns) != REPORT_FILE_OK)
        showWriteFailure(owner, L"The report could not be saved to the file", path, GetLastError(), L"",
                         L"Save Report As");
}

// Puts a copy of the text on the clipboard as Unicode text, in place of what it held; the
// system keeps the copy from then on.
bool putOnClipboard(HWND owner, const wchar_t* text, size_t length) {
    GlobalBlock block((length + 1) * sizeof(wchar_t));
    wchar_t* copy = static_cast<wchar_t*>(block.get() ? GlobalLock(block.get()) : NULL);
    if (!copy) return false;
    memcpy(copy, text, length * sizeof(wchar_t));
    copy[length] = 0;
    GlobalUnlock(block.get());
    // Another program may hold the clipboard for a moment (a clipboard viewer reading it).
    for (int attempt = 0; attempt < 10; ++attempt, Sleep(20)) {
        OpenClipboardFor clipboard(owner);
        if (!clipboard.open()) continue;
        if (!EmptyClipboard() || !SetClipboardData(CF_UNICODETEXT, block.get())) return false;
        block.release();
        return true;
    }
    return false;
}

// "Copy Report": the whole log, CR LF as it stands, for a mail or a support form.
void copyReport(HWND owner) {
    const wchar_t* text = g_app.log.text ? g_app.log.text : L"";
    const size_t length = g_app.log.text ? size_t(g_app.log.length) : 0;
    if (!putOnClipboard(owner, text, length))
        MessageBoxA(owner, "The report could not be put on the clipboard.", "Copy Report", MB_ICONWARNING);
}

void launchTest(HWND window) {
    // The first test reads the pass the window's creation ran a moment ago; later ones a new one.
    // The drivers are asked while the pass runs, so that those that do not answer and filters
    // that stop answering are waited for once.
    if (!g_app.versions) g_app.versions = startCatalogVersions();
    collectDevicesForTest();
    const TestRunContext context = {&g_app.log, &g_inventory, &g_app.os, g_app.is64BitWindows, g_app.initValue,
                                    g_app.versions};
    g_app.versions = NULL;  // the run collects them
    TestRunResults results;
    g_app.exitCode = runTest(context, &results);
    appendJsonRun(&g_app.jsonRuns, results);
    refreshLogView(&g_app.log, g_app.logView);

    // The file holds every test of the session so far, as the log view does.
    bool reportWritten = true;
    DWORD reportError = 0;
    if (g_app.reportToFile) {
        reportWritten = writeReport(g_app.reportPath, g_app.log.text, g_app.jsonRuns) == REPORT_FILE_OK;
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
    // Wide throughout: a name outside the ANSI code page must reach the file as it is.
    wchar_t path[1024] = L"";
    OPENFILENAMEW dialog;
    ZeroMemory(&dialog, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"Programs and drivers (*.exe;*.dll;*.sys)\0*.exe;*.dll;*.sys\0"
                         L"All files (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof(path) / sizeof(path[0]);
    dialog.lpstrTitle = L"Check File Integrity";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) return;

    const int32_t result = checkExecutableIntegrity(path);
    SignatureCheck signature;
    checkFileSignature(path, &signature);
    wchar_t signatureText[MAX_PATH + 200];
    describeSignature(signature, signatureText, sizeof(signatureText) / sizeof(signatureText[0]));
    wchar_t text[2048];
    _snwprintf(text, sizeof(text) / sizeof(text[0]), L"%ls\n\n%hs\n\nResult: %i\n\n%ls", path,
               describeIntegrityResult(result), int(result), signatureText);
    text[sizeof(text) / sizeof(text[0]) - 1] = 0;
    const bool warn = result != INTEGRITY_OK || signature.result == SIGNATURE_NOT_TRUSTED ||
                      signature.result == SIGNATURE_BROKEN;
    MessageBoxW(owner, text, L"Check File Integrity", warn ? MB_ICONWARNING : MB_ICONINFORMATION);
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

// The box's text area is 176 dialog units wide under Wine and at least that on Windows (the
// longest line up to 278 units from Vista on, 5/8 of the screen on XP): every line fits it, so
// that no line is broken, and each example of -o stands on a line of its own.
void showUsage() {
    MessageBoxA(NULL,
                "Usage: HalvaneDevicesChecker.exe\n"
                "\t[-h [-s]] [-o <report file>] [-?]\n"
                "\n"
                "-h\tRun one test without a window,\n"
                "\tthen exit.\n"
                "-s\tWith -h: show the window after\n"
                "\tthe test.\n"
                "-o\tWrite the log to the file named\n"
                "\tnext (UTF-8) after every test;\n"
                "\ta name ending in .json gets\n"
                "\tevery test as JSON.\n"
                "\tQuote a path with blanks, whole\n"
                "\tor in parts, with or without a\n"
                "\tblank after -o:\n"
                "\t\t-o \"C:\\My Reports\\r.txt\"\n"
                "\t\t\"-o\" \"C:\\r.txt\"\n"
                "\t\t-oC:\\r.txt\n"
                "-?\tShow this help (not with -h,\n"
                "\twhich never shows a window).\n"
                "\n"
                "File > Save Report As... (Ctrl+S)\n"
                "writes the log to a file of your\n"
                "choice; File > Copy Report puts it\n"
                "on the clipboard.\n"
                "\n"
                "Exit code: the error total of the\n"
                "last test; -1 when no test ran; -2\n"
                "when -h could not write the file.",
                PRODUCT_NAME, MB_ICONINFORMATION);
}

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
