// The program's own message boxes: "About...", the usage of its switches ("-?") and the refused
// registry write of the format commands.
#pragma once

#include <windows.h>

void showAbout(HWND owner);
// The switches and exit codes; there is no window yet.
void showUsage();
void showRegistryError(HWND owner);
