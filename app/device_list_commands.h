// The device list commands: switching between the log view and the panel, reloading the panel,
// its context menu, the format commands of the "&Devices" menu and the context menu, and the
// panel's keyboard focus on one box.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "app/device_list_panel.h"

// The identifiers this file handles: 200, 201 and the format commands.
bool isDeviceListCommand(int command);
void handleDeviceListCommand(HWND window, int command);
// A collection pass, then the panel rows from the registry.
void refreshDeviceList();
// The row with PANEL_PLAYBACK_BOX or PANEL_RECORDING_BOX set, or -1; x and y in client pixels
// of a window at the DPI.
int32_t hitTestPanel(int x, int y, int dpi);
// 0 when a menu was shown, -1 when the click hit no box. The box clicked takes the keyboard focus.
int32_t openContextMenu(HWND window, int x, int y);
// The context menu of a box, at the box's lower left corner: for the keyboard (the context-menu
// key, Shift+F10) on the focused box, and for a screen reader's default action.
void openBoxMenu(HWND window, int32_t box);

// The keyboard in the panel. The box a key moves the focus to from a box: the arrow keys to the
// neighbour in that direction (the same box at an edge), Home and End to the first and the last
// box; 0 when there is no box.
int32_t neighbourBox(int32_t box, UINT key);
// Puts the keyboard focus on a box (0: none), repaints the boxes concerned and tells readers.
void focusPanelBox(HWND window, int32_t box);
// The arrow keys, Home and End while the panel is shown; false for any other key.
bool handlePanelKey(HWND window, UINT key);
// The window gained or lost the keyboard focus while the panel is shown.
void panelFocusChanged(HWND window);
// The box the focus rectangle is painted on: the focused one while the window has the keyboard
// focus and keyboard cues are on; 0 otherwise.
int32_t panelFocusRectBox(HWND window);
// Keyboard cues: at window creation on only when the user keeps them on for good; afterwards as
// WM_UPDATEUISTATE says (handed on after DefWindowProc), and on with any panel key.
void initFocusCues();
void takeUiState(HWND window, WPARAM state);
