// "Check File Integrity...": a file chosen in Windows' open dialog, its integrity stamp and its
// digital signature told in a message box.
#pragma once

#include <windows.h>

void checkChosenFileIntegrity(HWND owner);
