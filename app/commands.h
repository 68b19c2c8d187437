// The menu commands of the main window.
#pragma once

#include <windows.h>

void handleCommand(HWND window, int command);
void showAbout(HWND owner);
// The switches and exit codes, for "-?"; there is no window yet.
void showUsage();
