// Helper of the run command: starts the checker, waits until its first test has run, prints the
// log view's text, saves a screenshot of the window (BMP) and prints the exit code.
//
//   run_session.exe [--screenshot FILE.bmp] [--quit] [-- checker switches...]
//
// With --quit the checker is closed through its "Quit..." command once the screenshot is taken;
// without it the session waits for the user to close the window.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "driver/checker_driver.h"

namespace {

void printUtf8(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), NULL, 0, NULL, NULL);
    std::string utf8(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &utf8[0], bytes, NULL, NULL);
    fwrite(utf8.data(), 1, utf8.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const char* screenshot = NULL;
    bool quit = false;
    std::string switches;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--screenshot") && i + 1 < argc) {
            screenshot = argv[++i];
        } else if (!strcmp(argv[i], "--quit")) {
            quit = true;
        } else if (!strcmp(argv[i], "--")) {
            for (++i; i < argc; ++i) switches += std::string(switches.empty() ? "" : " ") + argv[i];
        } else {
            fprintf(stderr, "usage: run_session.exe [--screenshot FILE.bmp] [--quit] [-- switches]\n");
            return 2;
        }
    }

    CheckerProcess checker(switches);
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
        if (screenshot) {
            RedrawWindow(window, NULL, NULL, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            checker.waitIdle();
            Sleep(200);  // let the window manager finish drawing the frame
            if (writeBmp(captureWindow(window), screenshot))
                printf("screenshot: %s\n", screenshot);
            else
                fprintf(stderr, "run_session: cannot write %s\n", screenshot);
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
