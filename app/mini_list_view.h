// The in-house list view control. Its window class is registered for the life of the program
// so that dialogs could use it; the program itself never creates one.
#pragma once

#include <windows.h>

bool registerMiniListViewClass(HINSTANCE instance);
void unregisterMiniListViewClass(HINSTANCE instance);
