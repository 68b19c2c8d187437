// The boxes of the device list panel: how a box is named, where it is painted, which boxes the
// rows loaded hold and what each shows, and which box a point hits. Painting, the keyboard
// focus, the context menu, the hover tips and the screen reader all name a box this way.
#pragma once

#include <windows.h>
#include <stdint.h>

struct EndpointRegistryRecord;
struct EndpointRegistryTable;

// A box of the panel: a row's playback or recording box, by its number in reading order (row by
// row, playback before recording) counted from 1, as a reader counts the list's children; number
// 0 is no box, so that a zero-filled box is none.
struct PanelBox {
    int32_t number;

    static PanelBox of(int row, bool playback) { return PanelBox{2 * row + (playback ? 1 : 2)}; }
    bool none() const { return number <= 0; }
    int index() const { return number - 1; }  // in reading order, from 0
    int row() const { return index() / 2; }
    bool playback() const { return index() % 2 == 0; }
    bool operator==(PanelBox other) const { return number == other.number; }
    bool operator!=(PanelBox other) const { return number != other.number; }
};
const PanelBox NO_PANEL_BOX = {0};

// Geometry of the 96-DPI design; every coordinate is scaled to the window's DPI on its own
// (scaledPixels), so that neighbouring edges stay neighbours at every scale.
enum {
    PANEL_PLAYBACK_LEFT = 5,
    PANEL_RECORDING_LEFT = 390,
    PANEL_BOX_WIDTH = 375,
    PANEL_BOX_HEIGHT = 50,
    PANEL_FIRST_BOX_TOP = 30,
    PANEL_ROW_PITCH = 55,
};

// The box's rectangle in client pixels at the DPI. Painting draws it up to (not including) right
// and bottom; the hit test takes all four edges as inside.
RECT panelBoxRect(PanelBox box, int dpi);

// The rows the panel shows and edits: the store's entries of the catalogue's drivers, as last
// read (refreshDeviceList). Alive for the process.
EndpointRegistryTable* panelTable();

// The boxes of the rows loaded: their count, the box at an index in reading order (none outside),
// whether a box is among them, and the record it shows (null for none of them).
int panelBoxCount();
PanelBox panelBoxAt(int index);
bool panelBoxLoaded(PanelBox box);
const EndpointRegistryRecord* panelRecord(PanelBox box);
// The box's endpoint has an entry in the store (a row without its recording endpoint has an
// empty recording box).
bool panelBoxHasDevice(PanelBox box);

// The box of the rows loaded at a client point of a window at the DPI, all four edges inside;
// none between and outside the boxes.
PanelBox hitTestPanel(int x, int y, int dpi);
