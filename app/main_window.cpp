#include "app/main_window.h"

#include <string.h>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/device_list_commands.h"
#include "app/device_list_panel.h"
#include "app/display_scale.h"
#include "app/integrity_check.h"
#include "app/log_view.h"
#include "app/panel_accessible.h"
#include "app/panel_focus.h"
#include "app/panel_tips.h"
#include "app/resource_ids.h"
#include "app/run_command.h"
#include "app/what_to_do_view.h"
#include "report/checker_run.h"

namespace {

const char MAIN_WINDOW_CLASS[] = "HVVESSO0ControlPanel0MainWindow0";

// Sizes of the 96-DPI design, scaled to the window's DPI.
const int WINDOW_WIDTH = 800;
const int WINDOW_HEIGHT = 600;
// Sent by Windows 8.1 and later when a per-monitor aware window meets another scale; not in
// the XP headers.
const UINT WM_DPICHANGED_MESSAGE = 0x02E0;

// The session's logs, and the font of the views that show them.
void createLogs() {
    createLog(&g_app.log);
    createLog(&g_app.whatToDo);
    createLog(&g_app.whatToDoForFile);
    scaleLogView(g_app.dpi);
}

void onCreate(HWND window) {
    g_app.mainWindow = window;
    g_app.dpi = windowDpi(window);
    initFocusCues();
    createLogs();
    g_app.initValue = checkOwnIntegrity();
    openRunSide();
    createLogView(window);
    createWhatToDoView(window);
    PostMessageA(window, WM_COMMAND, CMD_LAUNCH_TEST, 0);
}

void destroyWindowResources() {
    releaseLogFont();
    if (g_app.popupMenu) {
        DestroyMenu(g_app.popupMenu);
        g_app.popupMenu = NULL;
    }
    releaseLog(&g_app.log);
    releaseLog(&g_app.whatToDo);
    releaseLog(&g_app.whatToDoForFile);
    releaseJsonRuns(&g_app.jsonRuns);
    closeRunSide();
}

void onDestroy() {
    disconnectPanelObject();
    destroyPanelTip();
    destroyWindowResources();
    PostQuitMessage(0);
}

// Windows moved the window to a monitor of another scale: take the size it suggests, then
// paint everything at the new scale.
void changeScale(HWND window, int dpi, const RECT* suggested) {
    g_app.dpi = dpi;
    scaleLogView(dpi);
    SetWindowPos(window, NULL, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, NULL, TRUE);
}

void paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (g_app.shownView == VIEW_DEVICE_LIST) paintPanel(dc, g_app.dpi, panelFocusRectBox(window));
    EndPaint(window, &paint);
}

// The panel's keyboard focus, and its context menu from the keyboard or for a reader. True when
// the message was handled.
bool handlePanelKeyboard(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        hidePanelTip();
        panelFocusChanged(window);
        return true;
    case WM_KEYDOWN:
        hidePanelTip();
        return handlePanelKey(window, UINT(wParam));
    // Shift+F10 is handled here, before DefWindowProc would turn its release into the menu bar.
    case WM_SYSKEYDOWN:
        if (wParam != VK_F10 || GetKeyState(VK_SHIFT) >= 0) return false;
        openBoxMenu(window, g_app.panelFocus);
        return true;
    // From the keyboard (the context-menu key) the position is -1; a right click opened its menu
    // when the button went down.
    case WM_CONTEXTMENU:
        if (lParam != -1) return false;
        openBoxMenu(window, g_app.panelFocus);
        return true;
    case WM_PANEL_OPEN_MENU:
        openBoxMenu(window, PanelBox{int32_t(wParam)});
        return true;
    default:
        return false;
    }
}

// The hover texts of badges and cut lines: the pointer's moves and the tip's timer; the pointer
// moved over the frame or the menu bar, or a button pressed, takes the tip away. True when the
// message was handled.
bool handlePanelPointer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE:
        panelPointerMoved(window, short(LOWORD(lParam)), short(HIWORD(lParam)));
        return false;
    case WM_TIMER:
        if (wParam != PANEL_TIP_TIMER) return false;
        panelTipTimer(window);
        return true;
    case WM_NCMOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        hidePanelTip();
        return false;
    default:
        return false;
    }
}

// The panel's own messages while it is shown: its keyboard focus, its context menu from the
// keyboard, its hover tips, its accessible object and the system's colours. True when the
// message was answered (*result holds the answer).
bool handlePanelMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    switch (message) {
    case WM_GETOBJECT:
        *result = answerPanelObject(window, wParam, lParam);
        return *result != 0;
    // High contrast turned on or off, or other system colours.
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        InvalidateRect(window, NULL, TRUE);
        return false;
    default:
        return handlePanelKeyboard(window, message, wParam, lParam) ||
               handlePanelPointer(window, message, wParam, lParam);
    }
}

// Whether the menu a command comes from was opened from the keyboard (Alt, F10, an access key)
// rather than with the mouse; read by the one command a menu gives.
bool g_menuFromKeyboard = false;

void onCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    // A menu item or a shortcut chosen by keys: the panel's focus rectangle shows at once.
    const bool byKeys = lParam == 0 && (HIWORD(wParam) == 1 || g_menuFromKeyboard);
    g_menuFromKeyboard = false;
    handleCommand(window, LOWORD(wParam));
    if (byKeys && g_app.shownView == VIEW_DEVICE_LIST) keyboardInUse(window);
}

// The menus' marks of the view shown: the device list, or What To Do.
void markShownView(HMENU menu) {
    CheckMenuItem(menu, CMD_SHOW_DEVICE_LIST, MF_BYCOMMAND | (g_app.shownView == VIEW_DEVICE_LIST ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, CMD_WHAT_TO_DO,
                  MF_BYCOMMAND | (g_app.shownView == VIEW_WHAT_TO_DO ? MF_CHECKED : MF_UNCHECKED));
}

// The notice above the log view in the system's colours for tips, so that it stands out (high
// contrast included).
LRESULT colourNotice(HDC dc) {
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    SetBkColor(dc, GetSysColor(COLOR_INFOBK));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_INFOBK));
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT answer = 0;
    if (g_app.shownView == VIEW_DEVICE_LIST && handlePanelMessage(window, message, wParam, lParam, &answer)) return answer;
    switch (message) {
    case WM_NCCREATE:
        enableNonClientScaling(window);
        break;
    case WM_CREATE: onCreate(window); return 0;
    case WM_DESTROY: onDestroy(); return 0;
    case WM_SIZE: layoutViews(window); return 0;
    case WM_PAINT: paint(window); return 0;
    case WM_CLOSE:
        if (!g_app.fixing) quitApplication();  // the fixes end first, within their deadlines
        return 0;
    case WM_COMMAND: onCommand(window, wParam, lParam); return 0;
    case WM_INITMENU: markShownView(reinterpret_cast<HMENU>(wParam)); return 0;
    case WM_DPICHANGED_MESSAGE: changeScale(window, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam)); return 0;
    // The menu bar opened with no mouse button down: from the keyboard (Alt, F10, an access key,
    // which reach the log view when it has the focus, not this window).
    case WM_ENTERMENULOOP:
        g_menuFromKeyboard = !wParam && GetKeyState(VK_LBUTTON) >= 0 && GetKeyState(VK_RBUTTON) >= 0;
        break;
    case WM_RBUTTONDOWN:
        if (g_app.shownView == VIEW_DEVICE_LIST) openContextMenu(window, short(LOWORD(lParam)), short(HIWORD(lParam)));
        return 0;
    // The log view takes the keyboard focus the window gets, so that a screen reader reads the
    // report from the start.
    case WM_SETFOCUS:
        if (g_app.logView) SetFocus(g_app.logView);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_KILLFOCUS:
        return 0;
    case WM_UPDATEUISTATE: {
        const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
        takeUiState(window, wParam);
        return result;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == g_app.noticeBar) return colourNotice(reinterpret_cast<HDC>(wParam));
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
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

    // Before the window exists only the system's DPI is known; a window that Windows 10 puts on
    // a monitor of another scale is sized again for that one.
    const int dpi = systemDpi();
    HWND window = CreateWindowExA(0, MAIN_WINDOW_CLASS, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                  CW_USEDEFAULT, scaledPixels(WINDOW_WIDTH, dpi), scaledPixels(WINDOW_HEIGHT, dpi),
                                  NULL, NULL, instance, NULL);
    if (!window) {
        MessageBoxA(NULL, "Failed to create window...", "Startup Error", MB_ICONWARNING);
        return NULL;
    }
    if (g_app.dpi != dpi)
        SetWindowPos(window, NULL, 0, 0, scaledPixels(WINDOW_WIDTH, g_app.dpi), scaledPixels(WINDOW_HEIGHT, g_app.dpi),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (g_app.switches.startHidden) {
        ShowWindow(window, SW_HIDE);
    } else {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
    return window;
}

