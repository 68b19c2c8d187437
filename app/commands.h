// The menu commands of the main window, and "Launch Test" with the report file of "-o".
#pragma once

#include <windows.h>

void handleCommand(HWND window, int command);
