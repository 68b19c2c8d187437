// The one application state record, alive for the whole process.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "app/panel_boxes.h"
#include "base/log_buffer.h"
#include "base/system_identification.h"
#include "fixes/fix_plan.h"
#include "app/report_file.h"
#include "report/json_report.h"

// Process exit codes besides the error total of the last run.
enum ExitCode {
    EXIT_USAGE_SHOWN = 0,          // "-?": the usage box, no run
    EXIT_NO_RUN = -1,              // the program ended before any run
    EXIT_REPORT_NOT_WRITTEN = -2,  // a hidden run could not write its report file ("-o")
};

// Room for a full report file path; XP's file functions take no longer one without "\\?\".
enum { REPORT_PATH_CAPACITY = MAX_PATH };

// What the start-up switches ask for, read from the command line before anything else runs.
struct StartSwitches {
    bool startHidden;   // "-h": one run without a window, then the process ends
    bool showAfterRun;  // "-s": with "-h", the window shows after that run instead
    bool showUsage;     // "-?"
    bool reportToFile;  // "-o" with a path: the report goes to reportPath after every run
    // "-fix" with "-h": after the run, every safe fix for the causes it found, then a run again.
    // "-fix:<hex>" agrees to those kinds of fixes only (fixAgreement), "-fix:<hex>:<16 hex>"
    // also hands what became of them to the window that started this checker elevated
    // (replyToken names its shared block; elevated_fixes.h). Never a target.
    bool fix;
    uint64_t fixAgreed;
    bool replyToWindow;
    uint64_t replyToken;
    // Full path resolved at start-up; empty when the path given cannot be resolved, so that
    // every write fails rather than going somewhere else.
    wchar_t reportPath[REPORT_PATH_CAPACITY];
};

// The view that fills the main window: the log, What To Do, or the device list.
enum ShownView {
    VIEW_LOG = 0,
    VIEW_WHAT_TO_DO = 1,
    VIEW_DEVICE_LIST = 2,
};

struct AppState {
    StartSwitches switches;
    bool is64BitWindows;
    // Everything from here on is zero-filled at start-up.
    HWND mainWindow;
    HINSTANCE instance;
    HFONT logFont;  // held by the main window's owner of it; this is its handle
    OsIdentification os;
    HWND logView;
    LogBuffer log;
    // The last run's What To Do text, its view, and the notice that points there after a run
    // that found errors.
    LogBuffer whatToDo;
    LogBuffer whatToDoForFile;  // what a text report file, and Copy Report, end with (empty: nothing)
    HWND whatToDoView;
    HWND noticeBar;
    ShownView shownView;  // the one view that fills the window
    JsonRuns jsonRuns;  // every run of the session, for a JSON report file
    int32_t exitCode;
    int32_t initValue;
    HMENU popupMenu;
    PanelBox popupTarget;  // the box whose context menu was opened last
    bool reportFileErrorShown;  // a shown run tells of a failed report file once per session
    int32_t dpi;  // the main window's DPI, which every pixel size is scaled to
    PanelBox panelFocus;  // the box holding the keyboard focus in the panel, or none
    bool focusCues;      // the focused box shows its focus rectangle (keyboard cues are on)
    // The fixes for the last run's causes ("Fix Problems..."), those made before the run that
    // tests them again, and whether fixes are being made now (every command waits).
    FixList fixPlan;
    FixList fixesMade;
    bool elevated;  // the last run had an administrator's full rights
    uint32_t placesOffered;  // the Windows places (WindowsPlace bits) the last run's steps name
    bool fixing;
    bool hiddenFixesMade;  // "-fix": once, after the first run
};

extern AppState g_app;

// The session's text report as a file holds it: the log, and the last run's What To Do for the
// file where that run had problems.
ReportText sessionReportText();

// Zero-fills the record from mainWindow on, keeping the switches and the 64-bit flag.
void resetWindowState(AppState* state);

// Posts WM_DESTROY to the main window; the message loop then ends.
void quitApplication();
