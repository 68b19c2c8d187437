#include "app/report_commands.h"

#include <commdlg.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "app/app_state.h"
#include "app/report_file.h"
#include "base/owners.h"
#include "base/text.h"

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

// A name typed with ".json" or ".txt" says what it wants; any other name gets the chosen type's
// extension. Such a name was not the one the dialog asked about, so an existing file is asked
// about here. False when the user keeps the file, or when the name does not fit (said in a box).
bool settleReportName(HWND owner, wchar_t* path, size_t capacity, DWORD chosenType) {
    if (endsWithIgnoringAsciiCase(path, L".json") || endsWithIgnoringAsciiCase(path, L".txt")) return true;
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

// Puts a copy of the text on the clipboard as Unicode text, in place of what it held; the
// system keeps the copy from then on.
bool putOnClipboard(HWND owner, const ReportText& text) {
    const size_t logLength = text.log ? wcslen(text.log) : 0, adviceLength = text.whatToDo ? wcslen(text.whatToDo) : 0;
    GlobalBlock block((logLength + adviceLength + 1) * sizeof(wchar_t));
    wchar_t* copy = static_cast<wchar_t*>(block.get() ? GlobalLock(block.get()) : NULL);
    if (!copy) return false;
    if (logLength) memcpy(copy, text.log, logLength * sizeof(wchar_t));
    if (adviceLength) memcpy(copy + logLength, text.whatToDo, adviceLength * sizeof(wchar_t));
    copy[logLength + adviceLength] = 0;
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

}  // namespace

void showReportFileError(HWND owner, DWORD error) {
    showWriteFailure(owner, L"The report could not be written to the file", g_app.switches.reportPath, error,
                     L"\n\nThe log view shows the report. Every later test tries the file again, "
                     L"without this message.",
                     L"Report File");
}

// "Save Report As...": the whole log as "-o" writes it, or every run of the session as JSON,
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

    if (writeReport(path, sessionReportText(), g_app.jsonRuns) != SAFE_FILE_OK)
        showWriteFailure(owner, L"The report could not be saved to the file", path, GetLastError(), L"",
                         L"Save Report As");
}

// What the report file holds, the What To Do part included.
void copyReport(HWND owner) {
    const ReportText text = sessionReportText();
    if (!putOnClipboard(owner, text))
        MessageBoxA(owner, "The report could not be put on the clipboard.", "Copy Report", MB_ICONWARNING);
}
