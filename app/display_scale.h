// The display scale: the DPI Windows gives the main window, and the pixel sizes of the 96-DPI
// design scaled to it. The per-window DPI functions of Windows 10 are looked up at run time, so
// that the program still starts on XP and Vista.
#pragma once

#include <windows.h>

enum { DESIGN_DPI = 96 };

// A size or position of the 96-DPI design at the given DPI, rounded half away from zero.
// Painting and hit testing both go through this, so that they agree to the pixel.
inline int scaledPixels(int designPixels, int dpi) { return MulDiv(designPixels, dpi, DESIGN_DPI); }

// The DPI of the main monitor as the process sees it (96 for a program Windows stretches).
int systemDpi();
// The window's own DPI: per monitor on Windows 10, else the system's.
int windowDpi(HWND window);
// Lets Windows 10 (before per-monitor v2) scale the caption and menu bar of a per-monitor
// window; called from WM_NCCREATE. Nothing on older systems.
void enableNonClientScaling(HWND window);
