#include "app/panel_focus.h"

#include "app/app_state.h"
#include "app/device_list_panel.h"

namespace {

void invalidateBox(HWND window, PanelBox box) {
    if (!panelBoxLoaded(box)) return;
    const RECT r = panelBoxRect(box, g_app.dpi);
    InvalidateRect(window, &r, TRUE);
}

void setFocusCues(HWND window, bool on) {
    if (g_app.focusCues == on) return;
    g_app.focusCues = on;
    invalidateBox(window, g_app.panelFocus);
}

// EVENT_OBJECT_FOCUS (and the selection) for the focused box, while the window has the focus.
void notifyPanelFocus(HWND window) {
    if (g_app.shownView != VIEW_DEVICE_LIST || GetFocus() != window) return;
    const PanelBox focus = g_app.panelFocus;
    const bool onBox = panelBoxLoaded(focus);
    NotifyWinEvent(EVENT_OBJECT_FOCUS, window, OBJID_CLIENT, onBox ? focus.number : CHILDID_SELF);
    if (onBox) NotifyWinEvent(EVENT_OBJECT_SELECTION, window, OBJID_CLIENT, focus.number);
}

// The list's children changed (loaded again): EVENT_OBJECT_REORDER, then the focus again.
void notifyPanelChanged(HWND window) {
    if (g_app.shownView != VIEW_DEVICE_LIST) return;
    NotifyWinEvent(EVENT_OBJECT_REORDER, window, OBJID_CLIENT, CHILDID_SELF);
    notifyPanelFocus(window);
}

}  // namespace

void settlePanelFocus(HWND window, bool justShown) {
    if (g_app.shownView != VIEW_DEVICE_LIST) return;
    if (justShown || !panelBoxLoaded(g_app.panelFocus)) g_app.panelFocus = neighbourBox(NO_PANEL_BOX, VK_HOME);
    if (justShown) SetFocus(window);
    notifyPanelChanged(window);
}

PanelBox neighbourBox(PanelBox box, UINT key) {
    const int count = panelBoxCount();
    if (count == 0) return NO_PANEL_BOX;
    if (!panelBoxLoaded(box) || key == VK_HOME || key == VK_END) {
        // The first or the last box with a device, in reading order.
        const int step = key == VK_END ? -1 : 1;
        for (int i = step > 0 ? 0 : count - 1; i >= 0 && i < count; i += step)
            if (panelBoxHasDevice(panelBoxAt(i))) return panelBoxAt(i);
        return panelBoxAt(0);
    }
    // The next box in that direction that has a device; at an edge the focus stays.
    const int index = box.index();
    int step = 0;
    switch (key) {
    case VK_LEFT: step = box.playback() ? 0 : -1; break;
    case VK_RIGHT: step = box.playback() ? 1 : 0; break;
    case VK_UP: step = -2; break;
    case VK_DOWN: step = 2; break;
    default: break;
    }
    for (int i = index + step; step && i >= 0 && i < count; i += step) {
        if (panelBoxHasDevice(panelBoxAt(i))) return panelBoxAt(i);
        if (key == VK_LEFT || key == VK_RIGHT) break;  // a row has two boxes
    }
    return box;
}

void focusPanelBox(HWND window, PanelBox box) {
    const PanelBox before = g_app.panelFocus;
    g_app.panelFocus = panelBoxLoaded(box) ? box : NO_PANEL_BOX;
    if (g_app.panelFocus == before) return;
    invalidateBox(window, before);
    invalidateBox(window, g_app.panelFocus);
    notifyPanelFocus(window);
}

bool handlePanelKey(HWND window, UINT key) {
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END: break;
    default: return false;
    }
    keyboardInUse(window);
    focusPanelBox(window, neighbourBox(g_app.panelFocus, key));
    return true;
}

void keyboardInUse(HWND window) {
    // Windows answers with WM_UPDATEUISTATE; where nothing answers, this alone turns cues on.
    SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    setFocusCues(window, true);
}

void panelFocusChanged(HWND window) {
    invalidateBox(window, g_app.panelFocus);
    notifyPanelFocus(window);
}

PanelBox panelFocusRectBox(HWND window) {
    return g_app.focusCues && GetFocus() == window ? g_app.panelFocus : NO_PANEL_BOX;
}

void initFocusCues() {
    BOOL always = FALSE;
    g_app.focusCues = g_panelSystemApi.systemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &always, 0) && always;
}

void takeUiState(HWND window, WPARAM state) {
    if (!(HIWORD(state) & UISF_HIDEFOCUS)) return;
    switch (LOWORD(state)) {
    case UIS_SET: setFocusCues(window, false); break;
    case UIS_CLEAR: setFocusCues(window, true); break;
    default: setFocusCues(window, !(SendMessageW(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)); break;
    }
}

