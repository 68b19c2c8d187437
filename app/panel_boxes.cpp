#include "app/panel_boxes.h"

#include "app/display_scale.h"
#include "sources/store/endpoint_store.h"

namespace {
EndpointRegistryTable g_table;
}  // namespace

EndpointRegistryTable* panelTable() { return &g_table; }

RECT panelBoxRect(PanelBox box, int dpi) {
    const int left = box.playback() ? PANEL_PLAYBACK_LEFT : PANEL_RECORDING_LEFT;
    const int top = PANEL_FIRST_BOX_TOP + PANEL_ROW_PITCH * box.row();
    const RECT r = {scaledPixels(left, dpi), scaledPixels(top, dpi), scaledPixels(left + PANEL_BOX_WIDTH, dpi),
                    scaledPixels(top + PANEL_BOX_HEIGHT, dpi)};
    return r;
}

int panelBoxCount() {
    const int pairs = g_table.pairCount;
    return 2 * (pairs < 0 ? 0 : pairs < ENDPOINT_TABLE_SIZE ? pairs : ENDPOINT_TABLE_SIZE);
}

PanelBox panelBoxAt(int index) {
    return index >= 0 && index < panelBoxCount() ? PanelBox{index + 1} : NO_PANEL_BOX;
}

bool panelBoxLoaded(PanelBox box) { return !box.none() && box.index() < panelBoxCount(); }

const EndpointRegistryRecord* panelRecord(PanelBox box) {
    if (!panelBoxLoaded(box)) return NULL;
    const EndpointRegistryTable& table = g_table;
    return box.playback() ? &table.renderEntries[box.row()] : &table.captureEntries[box.row()];
}

bool panelBoxHasDevice(PanelBox box) {
    const EndpointRegistryRecord* record = panelRecord(box);
    return record && record->propertiesKeyPath[0];
}

PanelBox hitTestPanel(int x, int y, int dpi) {
    for (int index = 0; index < panelBoxCount(); ++index) {
        const RECT r = panelBoxRect(panelBoxAt(index), dpi);
        if (x >= r.left && x <= r.right && y >= r.top && y <= r.bottom) return panelBoxAt(index);
    }
    return NO_PANEL_BOX;
}
