// The menu commands of the main window, each handed to the room of its command.
#pragma once

#include <windows.h>

void handleCommand(HWND window, int command);
