// The log view: the read-only edit control that shows the whole log, its font and margins at
// the window's scale, and its refresh after a run.
#pragma once

#include <windows.h>

#include "base/log_buffer.h"

// The log font at the DPI; the log view, once it exists, takes the new font before the old one
// is deleted.
void scaleLogView(int dpi);
// The view, a child of the main window, with the font of the window's DPI.
void createLogView(HWND window);
// Deletes the font when the window goes.
void releaseLogFont();

// Puts the whole log into the view when something was appended since the last refresh, and
// scrolls the view to the end, where the conclusion stands.
void refreshLogView(LogBuffer* log, HWND logView);
