// Hover texts of the device list panel, as a tooltip shows them: what a badge means, and the
// whole text of a line drawn cut with an ellipsis, in a small window below the pointer once it
// has rested over one of them for the system's hover time.
#pragma once

#include <windows.h>

// The main window's timer that waits for the pointer to rest, then for the tip's time to end.
enum { PANEL_TIP_TIMER = 1 };

// The pointer moved over the panel (client pixels): for a place with a text, a rest is waited for.
void panelPointerMoved(HWND window, int x, int y);
// PANEL_TIP_TIMER went off: the text shows if the pointer rests on its place, or goes after its
// time.
void panelTipTimer(HWND window);
// The pointer left the client area, a button or key was pressed, the window lost the focus, or
// the rows changed: the text goes.
void hidePanelTip();
// The main window is going.
void destroyPanelTip();
