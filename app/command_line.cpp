#include "app/command_line.h"

#include <wchar.h>

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Reads the path behind "-o" from text and stores it resolved; returns where the scan goes on.
const wchar_t* takeReportPath(const wchar_t* text, AppState* state) {
    while (isBlank(*text)) ++text;
    if (*text == 0 || *text == L'-') return text;

    wchar_t path[REPORT_PATH_CAPACITY];
    size_t length = 0;
    bool tooLong = false;
    bool quoted = false;
    for (; *text && (quoted || !isBlank(*text)); ++text) {
        if (*text == L'"') {
            quoted = !quoted;
        } else if (length + 1 < REPORT_PATH_CAPACITY) {
            path[length++] = *text;
        } else {
            tooLong = true;
        }
    }
    path[length] = 0;
    if (length == 0) return text;  // "" names no file

    state->reportToFile = 1;
    state->reportPath[0] = 0;
    if (tooLong) return text;
    const DWORD full = GetFullPathNameW(path, REPORT_PATH_CAPACITY, state->reportPath, NULL);
    if (full == 0 || full >= REPORT_PATH_CAPACITY) state->reportPath[0] = 0;
    return text;
}

}  // namespace

const wchar_t* argumentsOf(const wchar_t* processCommandLine) {
    if (!processCommandLine) return L"";
    const wchar_t* p = processCommandLine;
    if (*p == L'"') {
        for (++p; *p && *p != L'"'; ++p) {
        }
        if (*p == L'"') ++p;
    } else {
        while (*p > L' ') ++p;
    }
    while (*p && *p <= L' ') ++p;
    return p;
}

void parseCommandLine(const wchar_t* commandLine, AppState* state) {
    if (!commandLine || wcslen(commandLine) < 2) return;
    const wchar_t* p = commandLine;
    while (*p) {
        if (*p != L'-') {
            ++p;
            continue;
        }
        const wchar_t letter = p[1];
        if (letter == 0) break;
        if (letter == L'o' || letter == L'O') {
            p = takeReportPath(p + 2, state);
            continue;
        }
        if (letter == L'h' || letter == L'H') state->startHidden = 1;
        else if (letter == L's' || letter == L'S') state->showAfterTest = 1;
        else if (letter == L'?') state->showUsage = 1;
        // Each switch needs its own dash: scanning goes on behind the letter.
        p += 2;
    }
}
