// The device list panel: the catalogued drivers' playback and recording endpoints, painted on the
// main window's client area in place of the log view.
#pragma once

#include <windows.h>

#include "sources/store/endpoint_store.h"

// Geometry shared with the hit test of the device list commands.
enum {
    PANEL_PLAYBACK_LEFT = 5,
    PANEL_RECORDING_LEFT = 390,
    PANEL_BOX_WIDTH = 375,
    PANEL_BOX_HEIGHT = 50,
    PANEL_FIRST_BOX_TOP = 30,
    PANEL_ROW_PITCH = 55,
};

// Created once at start-up, deleted after the message loop.
void createPanelResources();
void deletePanelResources();

void paintPanel(HDC dc);
void paintDeviceBox(HDC dc, int left, int top, const EndpointRegistryRecord& record);
