// The device list commands: switching between the log view and the panel, reloading the panel,
// its context menu, and the format commands of the "&Devices" menu and the context menu.
#pragma once

#include <windows.h>
#include <stdint.h>

enum : int32_t {
    PANEL_PLAYBACK_BOX = 0x10000,
    PANEL_RECORDING_BOX = 0x20000,
};

// The identifiers this file handles: 200, 201 and the format commands.
bool isDeviceListCommand(int command);
void handleDeviceListCommand(HWND window, int command);
// A collection pass, then the panel rows from the registry.
void refreshDeviceList();
// The row with PANEL_PLAYBACK_BOX or PANEL_RECORDING_BOX set, or -1; x and y in client pixels
// of a window at the DPI.
int32_t hitTestPanel(int x, int y, int dpi);
// 0 when a menu was shown, -1 when the click hit no box.
int32_t openContextMenu(HWND window, int x, int y);
