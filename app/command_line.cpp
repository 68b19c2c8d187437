#include "app/command_line.h"

#include <wchar.h>

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// One argument of the command line as Windows splits it (CommandLineToArgvW, and the C runtime
// that ships with Windows): blanks outside quotes end it; 2n backslashes before a quote give n
// backslashes and the quote opens or closes a quoted part; 2n+1 give n and a literal quote;
// other backslashes are literal; a doubled quote inside a quoted part gives one quote and closes
// the part (newer C runtimes keep it open; launchers do not write it). Walks the
// argument starting at text (no leading blank) and returns where it ends. When value is given,
// it gets the characters that come from text at from or later: the rest of an argument behind a
// switch. tooLong tells that they did not all fit.
const wchar_t* scanArgument(const wchar_t* text, const wchar_t* from, wchar_t* value, size_t capacity,
                            bool* tooLong) {
    size_t length = 0;
    auto put = [&](const wchar_t* source, wchar_t c) {
        if (!value || source < from) return;
        if (length + 1 < capacity) value[length++] = c;
        else *tooLong = true;
    };
    bool quoted = false;
    const wchar_t* p = text;
    while (*p && (quoted || !isBlank(*p))) {
        const wchar_t* run = p;
        while (*p == L'\\') ++p;
        const size_t backslashes = size_t(p - run);
        if (*p != L'"') {
            for (size_t i = 0; i < backslashes; ++i) put(run + i, L'\\');
            if (backslashes == 0) {
                put(p, *p);
                ++p;
            }
            continue;
        }
        for (size_t i = 0; i < backslashes / 2; ++i) put(run + i, L'\\');
        if (backslashes % 2) {
            put(p, L'"');
        } else if (quoted && p[1] == L'"') {
            ++p;
            put(p, L'"');
            quoted = false;
        } else {
            quoted = !quoted;
        }
        ++p;
    }
    if (value) value[length] = 0;
    return p;
}

const wchar_t* skipBlanks(const wchar_t* p) {
    while (isBlank(*p)) ++p;
    return p;
}

// Stores the report path, resolved against the current directory now; a path too long to hold
// whole, or to resolve, is kept as an empty one, so that every write fails rather than going
// to another file.
void setReportPath(const wchar_t* path, bool tooLong, AppState* state) {
    state->reportToFile = 1;
    state->reportPath[0] = 0;
    if (tooLong) return;
    const DWORD full = GetFullPathNameW(path, REPORT_PATH_CAPACITY, state->reportPath, NULL);
    if (full == 0 || full >= REPORT_PATH_CAPACITY) state->reportPath[0] = 0;
}

// Takes the path of "-o": the rest of its argument (at rest, within the argument that ends at
// argumentEnd) or, when that is empty, the whole next argument. Returns where the scan for
// switches goes on: behind the argument that held the path, so that its dashes are no switches.
// A path never starts with an unquoted dash: "-o" then takes nothing and the dash is a switch.
const wchar_t* takeReportPath(const wchar_t* argument, const wchar_t* rest, const wchar_t* argumentEnd,
                              AppState* state) {
    wchar_t path[REPORT_PATH_CAPACITY];
    bool tooLong = false;
    // Blanks inside a quoted argument may stand between "-o" and its path too ("-o C:\r.txt").
    rest = skipBlanks(rest);
    if (rest < argumentEnd) {
        if (*rest == L'-') return rest;
        scanArgument(argument, rest, path, REPORT_PATH_CAPACITY, &tooLong);
        if (path[0]) {
            setReportPath(path, tooLong, state);
            return argumentEnd;
        }
    }
    const wchar_t* next = skipBlanks(argumentEnd);
    if (*next == 0 || *next == L'-') return next;
    const wchar_t* nextEnd = scanArgument(next, next, path, REPORT_PATH_CAPACITY, &tooLong);
    if (path[0]) setReportPath(path, tooLong, state);  // "" names no file
    return nextEnd;
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
    // Switches are found by their dashes anywhere in the text, as always; the arguments as
    // Windows splits them only tell where the path of "-o" starts and ends.
    const wchar_t* p = skipBlanks(commandLine);
    while (*p) {
        const wchar_t* argument = p;
        const wchar_t* end = scanArgument(argument, argument, NULL, 0, NULL);
        while (p < end) {
            if (*p != L'-') {
                ++p;
                continue;
            }
            // The letter is the one behind the dash, a blank that ends the argument included.
            if (p + 1 >= end) {
                p = end;
                break;
            }
            const wchar_t letter = p[1];
            if (letter == L'o' || letter == L'O') {
                p = takeReportPath(argument, p + 2, end, state);
                if (p >= end) break;  // the path took this argument, or the next one too
                continue;
            }
            if (letter == L'h' || letter == L'H') state->startHidden = 1;
            else if (letter == L's' || letter == L'S') state->showAfterTest = 1;
            else if (letter == L'?') state->showUsage = 1;
            // Each switch needs its own dash: scanning goes on behind the letter.
            p += 2;
        }
        p = skipBlanks(p);
    }
    // A hidden run never shows a window: with "-h", "-?" is ignored and the test runs.
    if (state->startHidden) state->showUsage = 0;
}
