// The device list panel's keyboard focus: the one box that holds it, moved by the arrow keys,
// Home and End; its focus rectangle, drawn only while keyboard cues are on; and the events that
// tell screen readers of a focus move and of rows loaded again.
#pragma once

#include <windows.h>

#include "app/panel_boxes.h"

// After the rows were loaded again: the focus stays on its box while the box is still there. A
// panel just shown takes the keyboard focus, on the first box with a device (playback first).
void settlePanelFocus(HWND window, bool justShown);
// The box a key moves the focus to from a box, passing over boxes without a device: the arrow
// keys to the next box in that direction (the same box at an edge), Home and End to the first
// and the last box; from no box, the first. None when there is no box.
PanelBox neighbourBox(PanelBox box, UINT key);
// Puts the keyboard focus on a box (or none), repaints the boxes concerned and tells readers.
void focusPanelBox(HWND window, PanelBox box);
// The arrow keys, Home and End while the panel is shown; false for any other key.
bool handlePanelKey(HWND window, UINT key);
// The keyboard was used on the panel (a panel key, or a command chosen by keys): keyboard cues
// go on, so the focus rectangle shows at once.
void keyboardInUse(HWND window);
// The window gained or lost the keyboard focus while the panel is shown.
void panelFocusChanged(HWND window);
// The box the focus rectangle is painted on: the focused one while the window has the keyboard
// focus and keyboard cues are on; none otherwise.
PanelBox panelFocusRectBox(HWND window);
// Keyboard cues: at window creation on only when the user keeps them on for good; afterwards as
// WM_UPDATEUISTATE says (handed on after DefWindowProc), and on with any panel key.
void initFocusCues();
void takeUiState(HWND window, WPARAM state);

