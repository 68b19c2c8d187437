// The device list panel: the catalogued drivers' playback and recording endpoints, painted on the
// main window's client area in place of the log view.
#pragma once

#include <windows.h>
#include <stdint.h>

struct EndpointRegistryRecord;

// A box is named by its row with the bit of its column, as the hit test and the context menu's
// target name it; 0 is no box.
enum : int32_t {
    PANEL_PLAYBACK_BOX = 0x10000,
    PANEL_RECORDING_BOX = 0x20000,
};

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

// The boxes of the rows loaded, in reading order (row by row, playback before recording): their
// count, the box at an index (0 outside), the index of a box (-1 for none of them) and the record
// it shows (null for none).
int panelBoxCount();
int32_t panelBoxAt(int index);
int panelBoxIndex(int32_t box);
const EndpointRegistryRecord* panelRecord(int32_t box);
// The box's endpoint has an entry in the store (a row without its recording endpoint has an
// empty recording box).
bool panelBoxHasDevice(int32_t box);
// A box's rectangle in client pixels at the DPI, as panelBox.
RECT panelBoxRect(int32_t box, int dpi);

// Created once at start-up, deleted after the message loop. The fonts follow the DPI the panel
// is painted at.
void createPanelResources();
void deletePanelResources();

// focusBox: the box (as the hit test names it) that shows the keyboard focus rectangle; 0 for none.
void paintPanel(HDC dc, int dpi, int focusBox);

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
