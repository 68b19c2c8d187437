#include <gtest/gtest.h>

#include "gui/checker_process.h"

namespace {

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(checker.started());
        ASSERT_NE(nullptr, checker.waitForMainWindow(20000));
        ASSERT_TRUE(checker.waitIdle());
    }
    CheckerProcess checker;
};

TEST_F(MainWindowTest, ClassTitleSizeAndStyle) {
    HWND window = checker.mainWindow();
    EXPECT_EQ(L"HVVESSO0ControlPanel0MainWindow0", className(window));
    EXPECT_EQ(L"Halvane Devices Checker (1.0.8.8)", windowText(window));
    EXPECT_TRUE(IsWindowVisible(window));
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(800, frame.right - frame.left);
    EXPECT_EQ(600, frame.bottom - frame.top);
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(LONG(WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN), style & LONG(WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN));
    EXPECT_EQ(0, GetWindowLongW(window, GWL_EXSTYLE) & ~LONG(WS_EX_WINDOWEDGE));
    EXPECT_EQ(12u, GetClassLongW(window, GCL_HBRBACKGROUND));
    EXPECT_EQ(DWORD(CS_HREDRAW | CS_VREDRAW), GetClassLongW(window, GCL_STYLE));
}

TEST_F(MainWindowTest, LogViewIsAReadOnlyEditOverTheWholeClientArea) {
    HWND view = checker.logView();
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(0, _wcsicmp(L"Edit", className(view).c_str()));
    EXPECT_EQ(500, GetWindowLongW(view, GWL_ID));
    EXPECT_EQ(0x50311884, GetWindowLongW(view, GWL_STYLE));
    EXPECT_EQ(LONG(WS_EX_CLIENTEDGE), GetWindowLongW(view, GWL_EXSTYLE) & LONG(WS_EX_CLIENTEDGE));
    EXPECT_TRUE(IsWindowUnicode(view));
    EXPECT_EQ(MAKELONG(2, 2), LONG(SendMessageW(view, EM_GETMARGINS, 0, 0)));

    RECT client, viewRect;
    GetClientRect(checker.mainWindow(), &client);
    GetWindowRect(view, &viewRect);
    MapWindowPoints(NULL, checker.mainWindow(), reinterpret_cast<POINT*>(&viewRect), 2);
    EXPECT_EQ(0, viewRect.left);
    EXPECT_EQ(0, viewRect.top);
    EXPECT_EQ(client.right, viewRect.right);
    EXPECT_EQ(client.bottom, viewRect.bottom);
}

// Ink of black text on a light background: the smallest rectangle holding every dark pixel.
RECT inkBounds(const Capture& capture, int maxX, int maxY) {
    RECT ink = {maxX, maxY, -1, -1};
    for (int y = 0; y < maxY && y < capture.height; ++y)
        for (int x = 0; x < maxX && x < capture.width; ++x) {
            const uint32_t p = capture.at(x, y);
            const int luminance = ((p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF)) / 3;
            if (luminance >= 96) continue;
            if (x < ink.left) ink.left = x;
            if (y < ink.top) ink.top = y;
            if (x > ink.right) ink.right = x;
            if (y > ink.bottom) ink.bottom = y;
        }
    return ink;
}

TEST_F(MainWindowTest, LogViewWritesInCourierNew16) {
    // The view's font is another process's object, so it is judged by what it draws: the same
    // text drawn here with Courier New 16/400 must cover the same ink box.
    const wchar_t sample[] = L"MWMWMWMWMWMWMWMW";
    HWND view = checker.logView();
    ASSERT_TRUE(SendMessageW(view, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(sample)));
    RedrawWindow(view, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    ASSERT_TRUE(checker.waitIdle());
    const Capture shown = captureClient(view);
    const RECT shownInk = inkBounds(shown, 400, 40);
    ASSERT_GE(shownInk.right, 0) << "no text drawn in the log view";

    LOGFONTW font;
    ZeroMemory(&font, sizeof(font));
    font.lfHeight = 16;
    font.lfWeight = 400;
    lstrcpyW(font.lfFaceName, L"Courier New");
    HFONT reference = CreateFontIndirectW(&font);
    HWND own = CreateWindowExW(0, L"static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 40, NULL, NULL, NULL, NULL);
    ASSERT_NE(nullptr, own);
    HDC dc = GetDC(own);
    // Same background as the view, so that smoothed edges fall on the same side of the threshold.
    const uint32_t background = shown.at(shown.width - 3, shown.height - 3);
    HBRUSH fill = CreateSolidBrush(RGB(background >> 16 & 0xFF, background >> 8 & 0xFF, background & 0xFF));
    RECT all = {0, 0, 400, 40};
    FillRect(dc, &all, fill);
    DeleteObject(fill);
    HGDIOBJ oldFont = SelectObject(dc, reference);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 0, 0, sample, lstrlenW(sample));
    SelectObject(dc, oldFont);
    ReleaseDC(own, dc);
    const Capture drawn = captureClient(own);
    DestroyWindow(own);
    DeleteObject(reference);
    const RECT drawnInk = inkBounds(drawn, 400, 40);

    EXPECT_EQ(drawnInk.right - drawnInk.left, shownInk.right - shownInk.left);
    EXPECT_EQ(drawnInk.bottom - drawnInk.top, shownInk.bottom - shownInk.top);
    // The text starts behind the 2-pixel margin.
    EXPECT_EQ(drawnInk.left + 2, shownInk.left);
}

TEST_F(MainWindowTest, ResizingStretchesTheLogView) {
    HWND window = checker.mainWindow();
    for (SIZE size : {SIZE{640, 480}, SIZE{1000, 700}, SIZE{300, 200}}) {
        ASSERT_TRUE(SetWindowPos(window, NULL, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER));
        ASSERT_TRUE(checker.waitIdle());
        RECT client, view;
        GetClientRect(window, &client);
        GetWindowRect(checker.logView(), &view);
        EXPECT_EQ(client.right, view.right - view.left) << size.cx << "x" << size.cy;
        EXPECT_EQ(client.bottom, view.bottom - view.top) << size.cx << "x" << size.cy;
    }
}

struct MenuItem {
    int popup;
    UINT id;  // 0 for a separator
    const wchar_t* text;
};

const MenuItem kMenu[] = {
    {0, 60, L"Launch Test"},
    {0, 0, nullptr},
    {0, 70, L"Check File Integrity..."},
    {0, 0, nullptr},
    {0, 101, L"About..."},
    {0, 100, L"Quit..."},
    {1, 200, L"Show Device List"},
    {1, 201, L"Refresh Device List"},
    {1, 0, nullptr},
    {1, 211, L"Set All Devices format in 48 kHz "},
    {1, 210, L"Set All Devices format in 44.1 kHz "},
    {1, 0, nullptr},
    {1, 231, L"Set All Playback Devices format in 48 kHz "},
    {1, 230, L"Set All Playback Devices format in 44.1 kHz "},
    {1, 0, nullptr},
    {1, 251, L"Set All Recording Devices format in 48 kHz "},
    {1, 250, L"Set All Recording Devices format in 44.1 kHz "},
};

TEST_F(MainWindowTest, MenuItemsAndIdentifiers) {
    HMENU bar = GetMenu(checker.mainWindow());
    ASSERT_NE(nullptr, bar);
    ASSERT_EQ(2, GetMenuItemCount(bar));
    const wchar_t* popupTexts[] = {L"&File", L"&Devices"};
    size_t next = 0;
    for (int popup = 0; popup < 2; ++popup) {
        wchar_t text[128] = L"";
        GetMenuStringW(bar, popup, text, 128, MF_BYPOSITION);
        EXPECT_STREQ(popupTexts[popup], text);
        HMENU sub = GetSubMenu(bar, popup);
        ASSERT_NE(nullptr, sub);
        const int count = GetMenuItemCount(sub);
        for (int position = 0; position < count; ++position, ++next) {
            ASSERT_LT(next, sizeof(kMenu) / sizeof(kMenu[0])) << "more items than expected";
            const MenuItem& expected = kMenu[next];
            EXPECT_EQ(expected.popup, popup) << "item " << next;
            MENUITEMINFOW info;
            ZeroMemory(&info, sizeof(info));
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = 128;
            ASSERT_TRUE(GetMenuItemInfoW(sub, position, TRUE, &info));
            if (!expected.text) {
                EXPECT_TRUE(info.fType & MFT_SEPARATOR) << "item " << next;
                continue;
            }
            EXPECT_EQ(UINT(MFT_STRING), info.fType) << "item " << next;
            EXPECT_EQ(expected.id, info.wID) << "item " << next;
            EXPECT_STREQ(expected.text, text) << "item " << next;
        }
    }
    EXPECT_EQ(sizeof(kMenu) / sizeof(kMenu[0]), next);
}

TEST_F(MainWindowTest, DeviceListItemIsUncheckedWhileTheLogIsShown) {
    HMENU bar = GetMenu(checker.mainWindow());
    ASSERT_NE(nullptr, bar);
    CheckMenuItem(bar, 200, MF_BYCOMMAND | MF_CHECKED);
    ASSERT_EQ(UINT(MF_CHECKED), GetMenuState(bar, 200, MF_BYCOMMAND) & MF_CHECKED);
    SendMessageW(checker.mainWindow(), WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
    EXPECT_EQ(0u, GetMenuState(bar, 200, MF_BYCOMMAND) & MF_CHECKED);
}

}  // namespace
