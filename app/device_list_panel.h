// The device list panel: the catalogued drivers' playback and recording endpoints, painted on the
// main window's client area in place of the log view (its boxes: panel_boxes.h; their icons:
// panel_icons.h), and the texts of a box that the tips and the screen reader give.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "app/panel_boxes.h"

struct EndpointRegistryRecord;

// Created once at start-up, deleted after the message loop. The fonts follow the DPI the panel
// is painted at.
void createPanelResources();
void deletePanelResources();

// focusBox: the box that shows the keyboard focus rectangle, or none.
void paintPanel(HDC dc, int dpi, PanelBox focusBox);

// The panel's text font at the DPI (held by the panel; not to be deleted).
HFONT panelTextFont(int dpi);
// The hover text for a client point at the DPI: what a badge means ("Exclusive mode allowed",
// "Exclusive mode has priority"), or the whole text of a line drawn cut with an ellipsis, and the
// place it belongs to; false where there is none. dc measures the lines.
bool panelTipAt(HDC dc, int x, int y, int dpi, wchar_t* text, int capacity, RECT* place);

// The third text line of a box as drawn: the device format, and the default format in
// parentheses when one is stored.
enum { FORMAT_LINE_CAPACITY = 160 };
void formatLineText(const EndpointRegistryRecord& record, wchar_t* line, int capacity);
// The line is drawn apart (red) because the current rate is not the default one, also when no
// default is stored.
bool formatDiffersFromDefault(const EndpointRegistryRecord& record);

// The Windows calls that decide the panel's colours: in high contrast the panel paints with the
// system's colours. Tests put their own in place of Windows' high-contrast setting and colours.
struct PanelSystemApi {
    BOOL(WINAPI* systemParametersInfoW)(UINT action, UINT parameter, PVOID value, UINT flags);
    DWORD(WINAPI* getSysColor)(int index);
};
extern PanelSystemApi g_panelSystemApi;
