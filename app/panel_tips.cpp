#include "app/panel_tips.h"

#include "app/app_state.h"
#include "app/device_list_panel.h"
#include "app/display_scale.h"
#include "base/owners.h"
#include "base/text.h"

namespace {

const wchar_t TIP_CLASS[] = L"HVVESSO0ControlPanel0Tip";
enum { TIP_CAPACITY = 512 };
// Between the text and the tip's border, and between the pointer and the tip, at 96 DPI.
const int TIP_PADDING = 3;
const int TIP_BELOW_POINTER = 20;
// How long a tip shows, as long as a tooltip's: 5 seconds.
const UINT TIP_SHOWN_MS = 5000;

// The one tip window (made when first shown, owned by the main window and destroyed with it), its
// text, the place of the panel it belongs to (client pixels; empty for none), where the pointer
// last moved to, and whether the text shows. Only the pointer's moves tell where it is: what
// Windows answers when asked may be older under Wine, whose pointer position follows the display's.
struct Tip {
    HWND window;
    wchar_t text[TIP_CAPACITY];
    RECT place;
    POINT pointer;
    bool shown;
} g_tip;

bool samePlace(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

LRESULT CALLBACK tipProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        const int padding = scaledPixels(TIP_PADDING, g_app.dpi);
        InflateRect(&area, -padding, -padding);
        {
            const DcSelection font(dc, panelTextFont(g_app.dpi));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
            DrawTextW(dc, g_tip.text, -1, &area, DT_SINGLELINE | DT_NOPREFIX | DT_LEFT | DT_VCENTER);
        }
        EndPaint(window, &paint);
        return 0;
    }
    // The pointer passes through to the panel, and a click never activates the tip.
    case WM_NCHITTEST: return HTTRANSPARENT;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND tipWindow(HWND owner) {
    if (g_tip.window) return g_tip.window;
    WNDCLASSW wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.style = CS_SAVEBITS;
    wc.lpfnWndProc = tipProc;
    wc.hInstance = g_app.instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_INFOBK + 1);
    wc.lpszClassName = TIP_CLASS;
    RegisterClassW(&wc);
    g_tip.window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, TIP_CLASS, L"",
                                   WS_POPUP | WS_BORDER, 0, 0, 0, 0, owner, NULL, g_app.instance, NULL);
    return g_tip.window;
}

UINT hoverTime() {
    UINT time = 0;
    return SystemParametersInfoW(SPI_GETMOUSEHOVERTIME, 0, &time, 0) && time ? time : 400;
}

// The tip below the pointer, sized to its text, within the screens however near their right edge
// the pointer is.
void showTip(HWND window, POINT pointer) {
    HWND tip = tipWindow(window);
    if (!tip) return;
    SetWindowTextW(tip, g_tip.text);  // what a reader or another program reads of it
    RECT size = {0, 0, 0, 0};
    {
        const WindowDc dc(tip);
        const DcSelection font(dc.get(), panelTextFont(g_app.dpi));
        DrawTextW(dc.get(), g_tip.text, -1, &size, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    }
    const int edges = 2 * scaledPixels(TIP_PADDING, g_app.dpi) + 2;  // the padding and the border
    const int width = size.right + edges, height = size.bottom + edges;
    POINT at = {pointer.x, pointer.y + scaledPixels(TIP_BELOW_POINTER, g_app.dpi)};
    ClientToScreen(window, &at);
    const int screenRight = GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    if (at.x + width > screenRight) at.x = screenRight - width;
    SetWindowPos(tip, HWND_TOPMOST, at.x, at.y, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(tip, NULL, TRUE);
}

}  // namespace

void panelPointerMoved(HWND window, int x, int y) {
    g_tip.pointer = POINT{x, y};
    RECT place = {0, 0, 0, 0};
    {
        const WindowDc dc(window);
        if (!panelTipAt(dc.get(), x, y, g_app.dpi, g_tip.text, TIP_CAPACITY, &place)) place = RECT{0, 0, 0, 0};
    }
    if (samePlace(place, g_tip.place)) return;
    hidePanelTip();
    g_tip.place = place;
    // The text shows once the pointer has rested there for the system's hover time.
    if (place.right > place.left) SetTimer(window, PANEL_TIP_TIMER, hoverTime(), NULL);
}

void panelTipTimer(HWND window) {
    KillTimer(window, PANEL_TIP_TIMER);
    if (g_tip.shown) {  // shown long enough; again once the pointer comes back to it
        g_tip.shown = false;
        if (g_tip.window) ShowWindow(g_tip.window, SW_HIDE);
        return;
    }
    const RECT& place = g_tip.place;
    const POINT& at = g_tip.pointer;
    if (at.x < place.left || at.x >= place.right || at.y < place.top || at.y >= place.bottom) return;
    showTip(window, at);
    g_tip.shown = true;
    SetTimer(window, PANEL_TIP_TIMER, TIP_SHOWN_MS, NULL);
}

void hidePanelTip() {
    g_tip.place = RECT{0, 0, 0, 0};
    g_tip.shown = false;
    if (g_app.mainWindow) KillTimer(g_app.mainWindow, PANEL_TIP_TIMER);
    if (g_tip.window && IsWindowVisible(g_tip.window)) ShowWindow(g_tip.window, SW_HIDE);
}

void destroyPanelTip() {
    // Owned by the main window, the tip goes with it.
    hidePanelTip();
    g_tip.window = NULL;
}
