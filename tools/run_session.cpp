// Helper of the run command: starts the checker, waits until its first test has run, prints the
// log view's text, saves a screenshot of the window (BMP) and prints the exit code.
//
//   run_session.exe [--screenshot FILE.bmp] [--quit] [-- checker switches...]
//
// With --quit the checker is closed through its "Quit..." command once the screenshot is taken;
// without it the session waits for the user to close the window.
#include <windows.h>
#include <shellapi.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "checker_remote/checker_remote.h"

namespace {

void printUtf8(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), NULL, 0, NULL, NULL);
    std::string utf8(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &utf8[0], bytes, NULL, NULL);
    fwrite(utf8.data(), 1, utf8.size(), stdout);
}

// One argument as the checker's command line needs it: quoted when it holds a blank.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t") == std::wstring::npos) return argument;
    return L"\"" + argument + L"\"";
}

}  // namespace

int main() {
    // The wide arguments, so that a report path outside the ANSI code page reaches the checker.
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 2;
    std::string screenshot;
    bool quit = false;
    std::wstring switches;
    for (int i = 1; i < argc; ++i) {
        if (!wcscmp(argv[i], L"--screenshot") && i + 1 < argc) {
            const std::wstring path = argv[++i];
            screenshot.assign(path.begin(), path.end());
        } else if (!wcscmp(argv[i], L"--quit")) {
            quit = true;
        } else if (!wcscmp(argv[i], L"--")) {
            for (++i; i < argc; ++i) switches += (switches.empty() ? L"" : L" ") + quoted(argv[i]);
        } else {
            fprintf(stderr, "usage: run_session.exe [--screenshot FILE.bmp] [--quit] [-- switches]\n");
            return 2;
        }
    }

    LocalFree(argv);

    CheckerProcess checker(switches, std::wstring());
    if (!checker.started()) {
        fprintf(stderr, "run_session: cannot start %s\n", checkerExePath().c_str());
        return 1;
    }
    // A hidden start without -s ends by itself, and its window may never be seen.
    HWND window = NULL;
    waitFor(30000, [&] { return !checker.running() || (window = checker.waitForMainWindow(0)) != NULL; });
    const bool shown = window && checker.waitForFirstReport(60000) &&
                       waitFor(5000, [&] { return !checker.running() || IsWindowVisible(window); }) &&
                       checker.running();
    if (shown) {
        printf("----- log view -----\n");
        printUtf8(checker.logText());
        printf("\n----- end of log view -----\n");
        fflush(stdout);
        if (!screenshot.empty()) {
            RedrawWindow(window, NULL, NULL, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            checker.waitIdle();
            Sleep(200);  // let the window manager finish drawing the frame
            if (writeBmp(captureWindow(window), screenshot.c_str()))
                printf("screenshot: %s\n", screenshot.c_str());
            else
                fprintf(stderr, "run_session: cannot write %s\n", screenshot.c_str());
        }
        if (quit) checker.postCommand(100);
        else printf("close the checker's window to end the session\n");
        fflush(stdout);
    } else {
        printf("the checker showed no window\n");
    }

    int32_t exitCode = 0;
    if (!checker.waitExit(quit || !shown ? 60000 : INFINITE, &exitCode)) {
        fprintf(stderr, "run_session: the checker did not end\n");
        return 1;
    }
    printf("exit code: %ld\n", long(exitCode));
    return 0;
}
