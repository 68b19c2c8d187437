// The Windows places the What To Do steps are done in (the Sound control panel, Device Manager,
// Services): the File menu offers those the last run's causes name, and opens them.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <stdint.h>

#include "report/descriptors.h"

// The Windows calls that start a place, which tests swap.
struct WindowsPlaceCalls {
    BOOL(WINAPI* shellExecuteEx)(SHELLEXECUTEINFOW* info);
    UINT(WINAPI* getSystemDirectory)(LPWSTR buffer, UINT size);
};
extern WindowsPlaceCalls g_windowsPlaceCalls;

// The menu items of the places in `places` (WindowsPlace bits) enabled, the others greyed.
void offerWindowsPlaces(HMENU menu, uint32_t places);
// The place of a menu command; PLACE_NONE for any other command.
WindowsPlace placeOfCommand(int command);
// Opens the place with its program from the system folder, started in that folder, never one
// found by name or in the checker's folder; a failure other than the user's cancel is told in a
// box. False when it was not opened.
bool openWindowsPlace(HWND owner, WindowsPlace place);
