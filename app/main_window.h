// The main window: its class, creation, window procedure and the way the program quits.
#pragma once

#include <windows.h>

HWND createMainWindow(HINSTANCE instance, const char* title);
