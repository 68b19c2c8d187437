#include "app/mini_list_view.h"

namespace {

const char MINI_LIST_VIEW_CLASS[] = "HVVESSO0MiniListView0";

LRESULT CALLBACK miniListViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool registerMiniListViewClass(HINSTANCE instance) {
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = miniListViewProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = MINI_LIST_VIEW_CLASS;
    return RegisterClassA(&wc) != 0;
}

void unregisterMiniListViewClass(HINSTANCE instance) {
    UnregisterClassA(MINI_LIST_VIEW_CLASS, instance);
}
