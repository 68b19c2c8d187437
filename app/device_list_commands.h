// The device list commands: switching between the log view and the panel, reloading the panel,
// its context menu, and the format commands of the "&Devices" menu and the context menu.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "app/device_list_panel.h"

// The identifiers this file handles: 200, 201 and the format commands.
bool isDeviceListCommand(int command);
void handleDeviceListCommand(HWND window, int command);
// The row with PANEL_PLAYBACK_BOX or PANEL_RECORDING_BOX set, or -1; x and y in client pixels
// of a window at the DPI.
int32_t hitTestPanel(int x, int y, int dpi);
// 0 when a menu was shown, -1 when the click hit no box. The box clicked takes the keyboard focus.
int32_t openContextMenu(HWND window, int x, int y);
// The context menu of a box, at the box's lower left corner: for the keyboard (the context-menu
// key, Shift+F10) on the focused box, and for a screen reader's default action.
void openBoxMenu(HWND window, int32_t box);
