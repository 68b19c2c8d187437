// Starts the real checker and drives it from another process: finds its windows, reads them,
// posts commands, answers its message boxes and captures pixels. Used by the GUI tests and by
// the run command.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

extern const wchar_t CHECKER_WINDOW_CLASS[];

class CheckerProcess {
public:
    explicit CheckerProcess(const std::string& arguments = std::string());
    // Arguments that may hold text outside the ANSI code page, the folder the checker starts in
    // (empty: this process's current folder) and the executable (empty: the built checker). The
    // command line starts with the executable's path in quotes and a blank, or with programName
    // when one is given, written as it stands (whatever ends it included).
    CheckerProcess(const std::wstring& arguments, const std::wstring& currentDirectory,
                   const std::wstring& exePath = std::wstring(), const std::wstring& programName = std::wstring());
    ~CheckerProcess();  // ends the process if it still runs
    CheckerProcess(const CheckerProcess&) = delete;
    CheckerProcess& operator=(const CheckerProcess&) = delete;

    bool started() const { return process_ != NULL; }
    DWORD id() const { return processId_; }
    bool running() const;

    // The main window of this process, visible or not; null when none appeared in time.
    HWND waitForMainWindow(DWORD timeoutMs);
    // Waits until the process is idle in its message loop with nothing left in its queue.
    bool waitIdle(DWORD timeoutMs = 10000);
    // Waits until the log view shows the first report (the test posted at start-up has run):
    // idleness alone can come before that posted command is handled.
    bool waitForFirstReport(DWORD timeoutMs = 30000);
    // A visible dialog box (message box, file dialog) of this process; null when none appeared.
    HWND waitForDialog(DWORD timeoutMs) const;
    // The exit code, or nothing (false) when the process did not end in time.
    bool waitExit(DWORD timeoutMs, int32_t* exitCode);

    HWND mainWindow() const { return mainWindow_; }
    HWND logView() const;
    std::wstring logText() const;
    void postCommand(WORD command) const;
    // Sends a command and returns once the window has handled it (for commands that open no
    // modal window of their own).
    bool sendCommand(WORD command, DWORD timeoutMs = 30000) const;
    // Runs a function of the test probe inside the checker (window_probe.dll) and returns the
    // lines it wrote: menus, class values and the log font, which only the owning process can
    // read under Wine. "probeMainWindow" or "probePopupMenu".
    std::vector<std::wstring> probe(const char* function = "probeMainWindow") const;

private:
    HANDLE process_ = NULL;
    DWORD processId_ = 0;
    HWND mainWindow_ = NULL;
};

// Windows of this process of a class, or all when cls is null.
std::vector<HWND> windowsOfProcess(DWORD processId, const wchar_t* cls);
std::wstring windowText(HWND window);
std::wstring className(HWND window);
// The window of the thread that owns `window` that has the keyboard focus; null when none has.
HWND keyboardFocusOf(HWND window);
// The message text of a message box.
std::wstring messageBoxText(HWND box);
// Presses a message box's OK button and waits until the box has gone.
bool pressOk(HWND box);
// Presses a button of a dialog box (IDOK, IDCANCEL, IDYES...) and waits until the box has gone.
bool pressButton(HWND box, int button);
// The file name field of a file dialog: combo box 1148, or edit 1152 in the old style.
HWND fileNameField(HWND dialog);
// Brings the window to the front and types Ctrl and a key, as a user at the keyboard does.
bool typeControlKey(HWND window, WORD virtualKey);
// Brings the window to the front (none: input goes where it goes, to an open menu for one) and
// presses the keys in order, releasing them in the reverse order: one key, or a chord.
bool pressKeys(HWND window, std::initializer_list<WORD> chord);
bool bringToFront(HWND window);
// Moves the pointer, as a user's mouse does, to a client point of the window.
bool movePointer(HWND window, int x, int y);
// The clipboard's Unicode text, as any program reads it, after emptying it when asked;
// "<none>" when it holds none.
std::wstring clipboardText(bool thenEmpty = false);

// The client area of a window as 0x00RRGGBB pixels, row by row.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};
Capture captureClient(HWND window);
// The whole window, frame and menu bar included, as shown on the screen.
Capture captureWindow(HWND window);
// Writes a capture as a 24-bit BMP file.
bool writeBmp(const Capture& capture, const char* path);
// What a function draws here, in a bitmap of the given background.
Capture drawOffscreen(int width, int height, uint32_t background, const std::function<void(HDC)>& draw);
// Where a line of text drawn in the band (right and bottom outside) ends: the last column of its
// ink (-1 when it has none), and whether it ends in an ellipsis, three dots drawn as the last
// three runs of inked columns, each small, of one width and on one baseline.
struct LineEnd {
    int lastInk = -1;
    bool ellipsis = false;
};
LineEnd lineEnd(const Capture& capture, const RECT& band, const std::function<bool(uint32_t)>& ink);
// Black text drawn here, in a bitmap of the given background, to compare with what a window shows.
Capture renderText(const LOGFONTW& font, const wchar_t* text, uint32_t background, int width, int height);

// Which DLLs Wine loads into checkers started while it lives (the executable's name under
// HKCU\Software\Wine\AppDefaults): "" turns them off, "native,builtin" prefers a copy beside
// the exe, as Windows does for names outside KnownDLLs. Wine reads WINEDLLOVERRIDES from the
// environment it started with, so a test cannot hand overrides on through its own environment.
class CheckerDllOverrides {
public:
    CheckerDllOverrides(std::initializer_list<const wchar_t*> dlls, const wchar_t* order);
    ~CheckerDllOverrides();
    CheckerDllOverrides(const CheckerDllOverrides&) = delete;
    CheckerDllOverrides& operator=(const CheckerDllOverrides&) = delete;
};

// The display scale this process runs at, which Wine gives every program alike (LogPixels), and
// the one the test run asked for in HV_EXPECT_DPI (96 when not set): a test compares the two
// before it reads its expected places for the scale.
int displayDpi();
int expectedDpi();

// The folder of the running program, with a trailing backslash.
std::string programFolder();
// The built checker, which the build places beside the test and tool programs.
std::string checkerExePath();

// Polls a condition until it holds or the time is up.
template <typename Condition>
bool waitFor(DWORD timeoutMs, Condition condition) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
}
