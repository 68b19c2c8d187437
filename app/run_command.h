// The checker's runs ("Launch Test"): each asks the run room below (report/checker_run.h) for a
// run, and shows it: its reports in the log view, the What To Do view and the "-o" file, the
// Windows places and the fixes it offers. The audio side the runs read opens with the main window
// and closes with it (openRunSide, closeRunSide).
#pragma once

#include <windows.h>

struct FixList;

// One run; after it a hidden start ends the program, or with "-s" shows the window. With "-fix"
// the first run's fixes are made and the run is made again before that.
void launchRun(HWND window);
// A run that tests again after the fixes (null: none told) the window made.
void launchRunAfterFixes(HWND window, const FixList* fixes);
