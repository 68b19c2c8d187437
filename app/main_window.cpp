#include "app/main_window.h"

#include <string.h>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/device_list_commands.h"
#include "app/device_list_panel.h"
#include "app/integrity_check.h"
#include "app/resource_ids.h"
#include "base/owners.h"
#include "inventory/device_inventory.h"

const char MAIN_WINDOW_CLASS[] = "HVVESSO0ControlPanel0MainWindow0";

namespace {

const DWORD LOG_VIEW_STYLE = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP |
                             ES_MULTILINE | ES_AUTOHSCROLL | ES_READONLY | ES_WANTRETURN;
const int LOG_VIEW_MARGIN = 2;

// The log font, from window creation to destruction; AppState keeps its handle.
GdiObject<HFONT> g_logFont;

void createWindowResources() {
    createLog(&g_app.log);

    LOGFONTA font;
    ZeroMemory(&font, sizeof(font));
    font.lfHeight = 16;
    font.lfWeight = 400;
    lstrcpynA(font.lfFaceName, "Courier New", LF_FACESIZE);
    g_logFont.reset(CreateFontIndirectA(&font));
    g_app.logFont = g_logFont.get();

    char ownFile[1024];
    const DWORD length = GetModuleFileNameA(NULL, ownFile, sizeof(ownFile));
    ownFile[length < sizeof(ownFile) ? length : sizeof(ownFile) - 1] = 0;
    g_app.initValue = checkExecutableIntegrity(ownFile);

    openInventory(g_app.collectionOptions);
}

void createLogView(HWND window) {
    g_app.logView = CreateWindowExW(WS_EX_CLIENTEDGE, L"edit", NULL, LOG_VIEW_STYLE, 0, 0, 300, 300,
                                    window, reinterpret_cast<HMENU>(IDC_LOG_VIEW), g_app.instance,
                                    NULL);
    SendMessageW(g_app.logView, WM_SETFONT, reinterpret_cast<WPARAM>(g_app.logFont), TRUE);
    SendMessageW(g_app.logView, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                 MAKELPARAM(LOG_VIEW_MARGIN, LOG_VIEW_MARGIN));
}

void destroyWindowResources() {
    g_logFont.reset();
    g_app.logFont = NULL;
    if (g_app.popupMenu) {
        DestroyMenu(g_app.popupMenu);
        g_app.popupMenu = NULL;
    }
    releaseLog(&g_app.log);
    closeInventory();
}

}  // namespace

HWND createMainWindow(HINSTANCE instance, const char* title) {
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = mainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN_ICON));
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_INACTIVEBORDER + 1);
    wc.lpszMenuName = MAIN_MENU_NAME;
    wc.lpszClassName = MAIN_WINDOW_CLASS;
    if (!RegisterClassA(&wc)) {
        MessageBoxA(NULL, "Failed to register window class...", "Startup Error", MB_ICONWARNING);
        return NULL;
    }

    HWND window = CreateWindowExA(0, MAIN_WINDOW_CLASS, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 800, 600, NULL, NULL, instance, NULL);
    if (!window) {
        MessageBoxA(NULL, "Failed to create window...", "Startup Error", MB_ICONWARNING);
        return NULL;
    }
    if (g_app.startHidden) {
        ShowWindow(window, SW_HIDE);
    } else {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
    return window;
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        g_app.mainWindow = window;
        createWindowResources();
        createLogView(window);
        PostMessageA(window, WM_COMMAND, CMD_LAUNCH_TEST, 0);
        return 0;
    case WM_DESTROY:
        destroyWindowResources();
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        if (!g_app.panelShown)
            SetWindowPos(g_app.logView, NULL, 0, 0, LOWORD(lParam), HIWORD(lParam), SWP_SHOWWINDOW);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        if (g_app.panelShown) paintPanel(dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CLOSE:
        quitApplication();
        return 0;
    case WM_COMMAND:
        handleCommand(window, LOWORD(wParam));
        return 0;
    case WM_INITMENU:
        CheckMenuItem(reinterpret_cast<HMENU>(wParam), CMD_SHOW_DEVICE_LIST,
                      MF_BYCOMMAND | (g_app.panelShown ? MF_CHECKED : MF_UNCHECKED));
        return 0;
    case WM_LBUTTONDOWN:
        return 0;
    case WM_RBUTTONDOWN:
        if (g_app.panelShown) openContextMenu(window, short(LOWORD(lParam)), short(HIWORD(lParam)));
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
