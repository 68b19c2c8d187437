#include "app/what_to_do_view.h"

#include <stdio.h>

#include <initializer_list>

#include "app/app_state.h"
#include "app/display_scale.h"
#include "app/log_view_accessible.h"
#include "app/resource_ids.h"

namespace {

// Its lines wrap at the view's width, at every scale and window size: no horizontal scrolling.
const DWORD VIEW_STYLE = WS_CHILD | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_WANTRETURN;
// Sizes of the 96-DPI design, scaled to the window's DPI.
const int NOTICE_HEIGHT = 24;
const int VIEW_MARGIN = 2;

}  // namespace

void createWhatToDoView(HWND window) {
    g_app.whatToDoView = CreateWindowExW(WS_EX_CLIENTEDGE, L"edit", NULL, VIEW_STYLE, 0, 0, 0, 0, window,
                                         reinterpret_cast<HMENU>(IDC_WHAT_TO_DO_VIEW), g_app.instance, NULL);
    g_app.noticeBar = CreateWindowExW(0, L"static", NULL, WS_CHILD | SS_ENDELLIPSIS | SS_NOPREFIX | SS_CENTERIMAGE,
                                      0, 0, 0, 0, window, reinterpret_cast<HMENU>(IDC_NOTICE_BAR), g_app.instance,
                                      NULL);
    nameViewForReaders(g_app.whatToDoView, L"What To Do");
    for (HWND view : {g_app.whatToDoView, g_app.noticeBar})
        SendMessageW(view, WM_SETFONT, reinterpret_cast<WPARAM>(g_app.logFont), FALSE);
    const int margin = scaledPixels(VIEW_MARGIN, g_app.dpi);
    SendMessageW(g_app.whatToDoView, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(margin, margin));
}

void layoutViews(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    // The device list paints the whole client area itself.
    const bool notice = g_app.shownView != VIEW_DEVICE_LIST && GetWindowTextLengthW(g_app.noticeBar) > 0;
    const int top = notice ? scaledPixels(NOTICE_HEIGHT, g_app.dpi) : 0;
    if (notice) SetWindowPos(g_app.noticeBar, NULL, 0, 0, client.right, top, SWP_NOZORDER | SWP_SHOWWINDOW);
    else ShowWindow(g_app.noticeBar, SW_HIDE);
    const HWND shown = g_app.shownView == VIEW_DEVICE_LIST ? NULL
                       : g_app.shownView == VIEW_WHAT_TO_DO ? g_app.whatToDoView
                                                            : g_app.logView;
    for (HWND view : {g_app.logView, g_app.whatToDoView})
        if (view != shown) ShowWindow(view, SW_HIDE);
    if (shown) SetWindowPos(shown, NULL, 0, top, client.right, client.bottom - top, SWP_NOZORDER | SWP_SHOWWINDOW);
}

namespace {

// The notice of the last run (empty after one without errors), and the one that says how to go
// back while What To Do is shown.
wchar_t g_runNotice[160];
const wchar_t kBackNotice[] = L" This is What To Do for the last test: F1 (or File > What To Do) goes back to the report.";

}  // namespace

void showNotice(HWND window) {
    SetWindowTextW(g_app.noticeBar, g_app.shownView == VIEW_WHAT_TO_DO ? kBackNotice : g_runNotice);
    layoutViews(window);
}

void showWhatToDo(HWND window, bool show) {
    g_app.shownView = show ? VIEW_WHAT_TO_DO : VIEW_LOG;
    showNotice(window);
    SetFocus(show ? g_app.whatToDoView : g_app.logView);
    InvalidateRect(window, NULL, TRUE);
}

void refreshWhatToDo(HWND window, int32_t errorTotal, bool checkerDamaged) {
    if (g_app.whatToDo.text) SetWindowTextW(g_app.whatToDoView, g_app.whatToDo.text);
    wchar_t* notice = g_runNotice;
    notice[0] = 0;
    if (errorTotal > 0)
        _snwprintf(notice, 160, L" %d error%ls found: \"What To Do\" (F1, or the File menu) says why and how to fix %ls.",
                   int(errorTotal), errorTotal == 1 ? L"" : L"s", errorTotal == 1 ? L"it" : L"them");
    else if (checkerDamaged)
        _snwprintf(notice, 160, L" This checker's own file failed its check: \"What To Do\" (F1) says what to do.");
    notice[159] = 0;
    showNotice(window);
}
