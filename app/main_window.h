// The main window: its class, creation, window procedure and the way the program quits.
#pragma once

#include <windows.h>

extern const char MAIN_WINDOW_CLASS[];

HWND createMainWindow(HINSTANCE instance, const char* title);
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
