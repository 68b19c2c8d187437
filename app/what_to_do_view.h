// The views of the main window besides the device list: the log view, the What To Do view of
// the last run, and the notice above them that points to What To Do after a run that found
// errors. One of the three (log, What To Do, device list) fills the window at a time.
#pragma once

#include <windows.h>
#include <stdint.h>

// The What To Do view and the notice, both hidden until a run fills them.
void createWhatToDoView(HWND window);
// Places the notice and the view in use in the client area, hiding the others.
void layoutViews(HWND window);
// Shows the What To Do view (show) or the log view in its place, and gives it the focus.
void showWhatToDo(HWND window, bool show);
// The notice as the views stand: the last run's, or while What To Do is shown how to go back.
void showNotice(HWND window);
// Takes the last run's text into the view, and shows the notice when the run found errors or
// the checker's own file failed its integrity check.
void refreshWhatToDo(HWND window, int32_t errorTotal, bool checkerDamaged);
