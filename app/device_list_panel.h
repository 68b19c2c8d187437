// The device list panel: the catalogued drivers' playback and recording endpoints, painted on the
// main window's client area in place of the log view.
#pragma once

#include <windows.h>

struct EndpointRegistryRecord;

// Geometry of the 96-DPI design, shared with the hit test of the device list commands; every
// coordinate is scaled to the window's DPI on its own (scaledPixels), so that neighbouring edges
// stay neighbours at every scale.
enum {
    PANEL_PLAYBACK_LEFT = 5,
    PANEL_RECORDING_LEFT = 390,
    PANEL_BOX_WIDTH = 375,
    PANEL_BOX_HEIGHT = 50,
    PANEL_FIRST_BOX_TOP = 30,
    PANEL_ROW_PITCH = 55,
};

// The box of a row at the DPI, in client pixels. Painting draws it up to (not including) right
// and bottom; the hit test takes all four edges as inside.
RECT panelBox(int row, bool playback, int dpi);

// Created once at start-up, deleted after the message loop. The fonts follow the DPI the panel
// is painted at.
void createPanelResources();
void deletePanelResources();

void paintPanel(HDC dc, int dpi);
// left and top in pixels of the 96-DPI design.
void paintDeviceBox(HDC dc, int left, int top, const EndpointRegistryRecord& record, int dpi);
