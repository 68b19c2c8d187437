// The device list commands: switching between the log view and the panel, reloading the panel,
// its context menu, and the format commands of the "&Devices" menu and the context menu.
#pragma once

#include <windows.h>

#include "app/panel_boxes.h"

// The identifiers this file handles: 200, 201 and the format commands.
bool isDeviceListCommand(int command);
void handleDeviceListCommand(HWND window, int command);
// The context menu of the box at a client point, which takes the keyboard focus; nothing where
// the point hits no box.
void openContextMenu(HWND window, int x, int y);
// The context menu of a box, at the box's lower left corner: for the keyboard (the context-menu
// key, Shift+F10) on the focused box, and for a screen reader's default action.
void openBoxMenu(HWND window, PanelBox box);
