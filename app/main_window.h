// The main window: its class, creation, window procedure and the way the program quits.
#pragma once

#include <windows.h>

#include "base/log_buffer.h"

extern const char MAIN_WINDOW_CLASS[];

HWND createMainWindow(HINSTANCE instance, const char* title);
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Puts the whole log into the view when something was appended since the last refresh, and
// scrolls the view to the end, where the conclusion stands.
void refreshLogView(LogBuffer* log, HWND logView);
