#include "app/device_list_commands.h"

#include "app/app_state.h"
#include "app/panel_focus.h"
#include "app/panel_tips.h"
#include "app/resource_ids.h"
#include "app/what_to_do_view.h"
#include "checks/driver_catalog.h"
#include "sources/store/format_editing.h"

namespace {

const int CMD_RATE_44K = 300;
const int CMD_RATE_48K = 301;
const int CMD_CHANNELS_BASE = 350;  // 352, 354, 356, 358: 2, 4, 6, 8 channels

// The panel rows from the store, as the registry holds them now (nothing of a collection pass is
// shown); a hover text of the rows before goes.
void refreshDeviceList() {
    hidePanelTip();
    readEndpointRegistryTable(panelTable(), catalogHardwareIds());
}

struct FormatChange {
    bool channels;  // else the sample rate
    uint32_t value;
};

// Shows the context menu of a box at a client point.
void showBoxMenu(HWND window, PanelBox target, POINT at) {
    g_app.popupTarget = target;
    focusPanelBox(window, target);
    if (g_app.popupMenu) DestroyMenu(g_app.popupMenu);
    g_app.popupMenu = CreatePopupMenu();
    if (!g_app.popupMenu) return;
    AppendMenuA(g_app.popupMenu, MF_STRING, CMD_RATE_44K, "Change Sample Rate to 44100 Hz");
    AppendMenuA(g_app.popupMenu, MF_STRING, CMD_RATE_48K, "Change Sample Rate to 48000 Hz");
    if (target.playback()) {
        AppendMenuA(g_app.popupMenu, MF_SEPARATOR, 0, NULL);
        AppendMenuA(g_app.popupMenu, MF_STRING, CMD_CHANNELS_BASE + 2, "Set Device with 2 Channels");
        AppendMenuA(g_app.popupMenu, MF_STRING, CMD_CHANNELS_BASE + 4, "Set Device with 4 Channels");
        AppendMenuA(g_app.popupMenu, MF_STRING, CMD_CHANNELS_BASE + 6, "Set Device with 6 Channels");
        AppendMenuA(g_app.popupMenu, MF_STRING, CMD_CHANNELS_BASE + 8, "Set Device with 8 Channels");
    }
    ClientToScreen(window, &at);
    TrackPopupMenu(g_app.popupMenu, TPM_RIGHTBUTTON, at.x, at.y, 0, window, NULL);
}

int32_t apply(const FormatChange& change, const EndpointRegistryRecord& record) {
    EndpointRegistryRecord copy = record;  // the panel changes only by the refresh
    return change.channels ? setEndpointChannels(change.value, &copy) : setEndpointSampleRate(change.value, &copy);
}

// The records a format command edits, in order.
int recordsOf(int command, const EndpointRegistryRecord** records) {
    EndpointRegistryTable& table = *panelTable();
    const int pairs = table.pairCount < ENDPOINT_TABLE_SIZE ? table.pairCount : ENDPOINT_TABLE_SIZE;
    int n = 0;
    switch (command) {
    case CMD_ALL_44K:
    case CMD_ALL_48K:
        for (int i = 0; i < pairs; ++i) {
            records[n++] = &table.renderEntries[i];
            records[n++] = &table.captureEntries[i];
        }
        break;
    case CMD_PLAYBACK_44K:
    case CMD_PLAYBACK_48K:
        for (int i = 0; i < pairs; ++i) records[n++] = &table.renderEntries[i];
        break;
    case CMD_RECORDING_44K:
    case CMD_RECORDING_48K:
        for (int i = 0; i < pairs; ++i) records[n++] = &table.captureEntries[i];
        break;
    default: {
        // The box whose menu was opened last; a row the last refresh no longer has is left alone.
        const PanelBox box = g_app.popupTarget;
        if (!box.none() && box.row() < pairs)
            records[n++] = box.playback() ? &table.renderEntries[box.row()] : &table.captureEntries[box.row()];
    }
    }
    return n;
}

FormatChange changeOf(int command) {
    switch (command) {
    case CMD_ALL_44K:
    case CMD_PLAYBACK_44K:
    case CMD_RECORDING_44K:
    case CMD_RATE_44K: return FormatChange{false, 44100};
    case CMD_ALL_48K:
    case CMD_PLAYBACK_48K:
    case CMD_RECORDING_48K:
    case CMD_RATE_48K: return FormatChange{false, 48000};
    default: return FormatChange{true, uint32_t(command - CMD_CHANNELS_BASE)};
    }
}

void changeFormats(HWND window, int command) {
    const EndpointRegistryRecord* records[2 * ENDPOINT_TABLE_SIZE];
    const int count = recordsOf(command, records);
    const FormatChange change = changeOf(command);
    bool refused = false;
    for (int i = 0; i < count && !refused; ++i) refused = apply(change, *records[i]) != 0;
    // Only a value that needed the change and could not be written stops the command and asks
    // for administrator rights. Entries that have gone from the registry are skipped: nothing
    // there needs rights, and values already at the format need no write. The message box
    // comes once this command returns.
    if (refused) PostMessageA(window, WM_COMMAND, CMD_REGISTRY_ERROR, 0);
    // Whatever happened, the panel shows what the registry holds now.
    refreshDeviceList();
    settlePanelFocus(window, false);
    InvalidateRect(window, NULL, TRUE);
}

bool isFormatCommand(int command) {
    switch (command) {
    case CMD_ALL_44K:
    case CMD_ALL_48K:
    case CMD_PLAYBACK_44K:
    case CMD_PLAYBACK_48K:
    case CMD_RECORDING_44K:
    case CMD_RECORDING_48K:
    case CMD_RATE_44K:
    case CMD_RATE_48K:
    case CMD_CHANNELS_BASE + 2:
    case CMD_CHANNELS_BASE + 4:
    case CMD_CHANNELS_BASE + 6:
    case CMD_CHANNELS_BASE + 8: return true;
    default: return false;
    }
}

}  // namespace

bool isDeviceListCommand(int command) {
    return command == CMD_SHOW_DEVICE_LIST || command == CMD_REFRESH_DEVICE_LIST || isFormatCommand(command);
}

void handleDeviceListCommand(HWND window, int command) {
    switch (command) {
    case CMD_SHOW_DEVICE_LIST:
        if (g_app.shownView != VIEW_DEVICE_LIST) {
            g_app.shownView = VIEW_DEVICE_LIST;
            layoutViews(window);
            refreshDeviceList();
            settlePanelFocus(window, true);
            InvalidateRect(window, NULL, TRUE);
        } else {
            hidePanelTip();
            g_app.shownView = VIEW_LOG;
            layoutViews(window);
            SetFocus(g_app.logView);
        }
        break;
    case CMD_REFRESH_DEVICE_LIST:
        if (g_app.shownView == VIEW_DEVICE_LIST) {
            refreshDeviceList();
            settlePanelFocus(window, false);
            InvalidateRect(window, NULL, TRUE);
        }
        break;
    default:
        if (isFormatCommand(command)) changeFormats(window, command);
        break;
    }
}

void openContextMenu(HWND window, int x, int y) {
    const PanelBox target = hitTestPanel(x, y, g_app.dpi);
    if (target.none()) return;
    const POINT at = {x, y};
    showBoxMenu(window, target, at);
}

void openBoxMenu(HWND window, PanelBox box) {
    if (!panelBoxLoaded(box)) return;
    const RECT r = panelBoxRect(box, g_app.dpi);
    const POINT at = {r.left, r.bottom};
    showBoxMenu(window, box, at);
}

