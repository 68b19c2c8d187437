#include "app/log_view.h"

#include <initializer_list>
#include <utility>

#include "app/app_state.h"
#include "app/display_scale.h"
#include "app/log_view_accessible.h"
#include "app/resource_ids.h"
#include "base/owners.h"

namespace {

const DWORD LOG_VIEW_STYLE = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP |
                             ES_MULTILINE | ES_AUTOHSCROLL | ES_READONLY | ES_WANTRETURN;
// Sizes of the 96-DPI design, scaled to the window's DPI.
const int LOG_VIEW_MARGIN = 2;
const int LOG_FONT_HEIGHT = 16;

// The log font, from window creation to destruction; AppState keeps its handle.
GdiObject<HFONT> g_logFont;

// The log view's font and margins at the DPI.
// The What To Do view and its notice take the same font, so that they are as crisp.
void applyLogViewScale(int dpi) {
    const int margin = scaledPixels(LOG_VIEW_MARGIN, dpi);
    for (HWND view : {g_app.logView, g_app.whatToDoView, g_app.noticeBar}) {
        if (!view) continue;
        SendMessageW(view, WM_SETFONT, reinterpret_cast<WPARAM>(g_app.logFont), TRUE);
        if (view != g_app.noticeBar)
            SendMessageW(view, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(margin, margin));
    }
}

}  // namespace

void scaleLogView(int dpi) {
    LOGFONTA font;
    ZeroMemory(&font, sizeof(font));
    font.lfHeight = scaledPixels(LOG_FONT_HEIGHT, dpi);
    font.lfWeight = 400;
    lstrcpynA(font.lfFaceName, "Courier New", LF_FACESIZE);
    GdiObject<HFONT> created(CreateFontIndirectA(&font));
    g_app.logFont = created.get();
    if (g_app.logView) applyLogViewScale(dpi);
    g_logFont = std::move(created);
}

void createLogView(HWND window) {
    const int size = scaledPixels(300, g_app.dpi);  // the first WM_SIZE stretches it
    g_app.logView = CreateWindowExW(WS_EX_CLIENTEDGE, L"edit", NULL, LOG_VIEW_STYLE, 0, 0, size, size,
                                    window, reinterpret_cast<HMENU>(IDC_LOG_VIEW), g_app.instance,
                                    NULL);
    applyLogViewScale(g_app.dpi);
    nameViewForReaders(g_app.logView, L"Test Report");
}

void releaseLogFont() {
    g_logFont.reset();
    g_app.logFont = NULL;
}

void refreshLogView(LogBuffer* log, HWND logView) {
    if (!log || !log->changed) return;
    log->changed = false;
    if (!log->text) return;
    SetWindowTextW(logView, log->text);
    PostMessageW(logView, WM_VSCROLL, SB_BOTTOM, 0);
}
