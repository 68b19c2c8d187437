// The device list panel for screen readers: the accessible object (Active Accessibility) the
// main window hands out for its client area while the panel is shown, a list whose children are
// the boxes in reading order, and the events that tell readers of focus moves and new content.
// The accessibility functions come from the system folder's oleacc.dll at run time; where it is
// missing the window answers as any window does.
#pragma once

#include <windows.h>

// Posted by a reader's default action on a box (wParam: the box's number): its context menu opens
// once the reader's call has returned.
enum { WM_PANEL_OPEN_MENU = WM_APP + 1 };

// The answer to WM_GETOBJECT for the panel, or 0 when it is not the client area that is asked
// for or the object cannot be handed out (the window then answers as DefWindowProc does).
LRESULT answerPanelObject(HWND window, WPARAM wParam, LPARAM lParam);
// The window is going: objects readers still hold answer that they are disconnected.
void disconnectPanelObject();
