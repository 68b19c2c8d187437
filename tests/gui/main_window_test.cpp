#include <gtest/gtest.h>

#include <oleacc.h>
#include <wctype.h>

#include "base/owners.h"
#include "checker_remote/checker_remote.h"
#include "support/com_apartment.h"
#include "support/golden.h"

namespace {

// The window at each display scale the tests run at: the design's 96-DPI sizes times 1.5 and 2.
struct WindowScale {
    int dpi;
    int width, height;  // the whole window
    int margin;         // the log view's left and right margins
    int logFontHeight;
};
const WindowScale kWindowScales[] = {
    {96, 800, 600, 2, 16},
    {144, 1200, 900, 3, 24},
    {192, 1600, 1200, 4, 32},
};

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(expectedDpi(), displayDpi()) << "the Wine prefix runs at another display scale";
        for (const WindowScale& s : kWindowScales)
            if (s.dpi == displayDpi()) scale = s;
        ASSERT_NE(0, scale.dpi) << "no expected sizes for " << displayDpi() << " DPI";
        ASSERT_TRUE(checker.started());
        ASSERT_NE(nullptr, checker.waitForMainWindow(20000));
        ASSERT_TRUE(checker.waitForFirstReport());
    }
    CheckerProcess checker;
    WindowScale scale = {};
};

TEST_F(MainWindowTest, ClassTitleSizeAndStyle) {
    HWND window = checker.mainWindow();
    EXPECT_EQ(L"HVVESSO0ControlPanel0MainWindow0", className(window));
    EXPECT_EQ(L"Halvane Devices Checker (1.0.8.8)", windowText(window));
    EXPECT_TRUE(IsWindowVisible(window));
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(scale.width, frame.right - frame.left);
    EXPECT_EQ(scale.height, frame.bottom - frame.top);
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(LONG(WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN), style & LONG(WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN));
    EXPECT_EQ(0, GetWindowLongW(window, GWL_EXSTYLE) & ~LONG(WS_EX_WINDOWEDGE));
}

TEST_F(MainWindowTest, LogViewIsAReadOnlyEditOverTheWholeClientArea) {
    HWND view = checker.logView();
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(0, _wcsicmp(L"Edit", className(view).c_str()));
    EXPECT_EQ(500, GetWindowLongW(view, GWL_ID));
    EXPECT_EQ(0x50311884, GetWindowLongW(view, GWL_STYLE));
    EXPECT_EQ(LONG(WS_EX_CLIENTEDGE), GetWindowLongW(view, GWL_EXSTYLE) & LONG(WS_EX_CLIENTEDGE));
    EXPECT_TRUE(IsWindowUnicode(view));
    EXPECT_EQ(MAKELONG(scale.margin, scale.margin), LONG(SendMessageW(view, EM_GETMARGINS, 0, 0)));

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
    // text drawn here with Courier New 16/400 (scaled) must cover the same ink box.
    const wchar_t sample[] = L"MWMWMWMWMWMWMWMW";
    HWND view = checker.logView();
    ASSERT_TRUE(SendMessageW(view, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(sample)));
    RedrawWindow(view, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    ASSERT_TRUE(checker.waitIdle());
    LOGFONTW font;
    ZeroMemory(&font, sizeof(font));
    font.lfHeight = scale.logFontHeight;
    font.lfWeight = 400;
    lstrcpyW(font.lfFaceName, L"Courier New");
    // The screen can show the view half drawn for a while: wait for the ink box this font draws
    // (on the view's own background, so that smoothed edges fall on the same side of the
    // threshold), then judge the last capture.
    Capture shown;
    RECT shownInk = {-1, -1, -1, -1}, drawnInk = {0, 0, 0, 0};
    waitFor(3000, [&] {
        shown = captureClient(view);
        if (shown.width <= 3 || shown.height <= 3) return false;
        shownInk = inkBounds(shown, 600, 60);
        drawnInk = inkBounds(renderText(font, sample, shown.at(shown.width - 3, shown.height - 3), 600, 60), 600, 60);
        return drawnInk.right - drawnInk.left == shownInk.right - shownInk.left &&
               drawnInk.bottom - drawnInk.top == shownInk.bottom - shownInk.top;
    });
    ASSERT_GE(shownInk.right, 0) << "no text drawn in the log view";
    EXPECT_EQ(drawnInk.right - drawnInk.left, shownInk.right - shownInk.left);
    EXPECT_EQ(drawnInk.bottom - drawnInk.top, shownInk.bottom - shownInk.top);
    // The text starts behind the margin (the control adds its own pixel inside the edge).
    EXPECT_GE(shownInk.left - drawnInk.left, scale.margin);
    EXPECT_LE(shownInk.left - drawnInk.left, scale.margin + 2);

    // The comparison tells fonts apart: the next larger size draws another box.
    font.lfHeight = scale.logFontHeight + 2;
    const RECT largerInk = inkBounds(renderText(font, sample, shown.at(shown.width - 3, shown.height - 3), 600, 60), 600, 60);
    EXPECT_NE(drawnInk.right - drawnInk.left, largerInk.right - largerInk.left);
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

// From the start the log view holds the keyboard focus, so that a screen reader reads the report,
// and a reader knows it by a name; its role, value and state are the edit control's.
TEST_F(MainWindowTest, TheLogViewHoldsTheFocusAndHasAName) {
    EXPECT_EQ(checker.logView(), keyboardFocusOf(checker.mainWindow()));
    const ReaderView view = readerView(checker.logView());
    EXPECT_EQ(S_OK, view.answered);
    EXPECT_EQ(L"Test Report", view.name);
    EXPECT_NE(std::wstring::npos, view.value.find(L"CONCLUSION: OK (nothing bad detected)"));
    EXPECT_EQ(ROLE_SYSTEM_TEXT, view.role);
    EXPECT_EQ(STATE_SYSTEM_FOCUSED, view.state & STATE_SYSTEM_FOCUSED);
}

// What the probe inside the checker reads of its menu: popups, items with identifier, text and
// check state, separators, in order. Every item has an access key ("&"), the texts otherwise as
// they always were.
const wchar_t* const kMenu[] = {
    L"popup|&File",
    L"  item|60|&Launch Test|unchecked",
    L"  item|80|&Save Report As...\tCtrl+S|unchecked",
    L"  item|81|&Copy Report|unchecked",
    L"  item|82|&What To Do\tF1|unchecked",
    L"  item|86|&Fix Problems...\tCtrl+F|unchecked|grayed",
    L"  item|83|Open Sound Control &Panel|unchecked|grayed",
    L"  item|84|Open Device &Manager|unchecked|grayed",
    L"  item|85|Open Se&rvices|unchecked|grayed",
    L"  separator",
    L"  item|70|Check File &Integrity...|unchecked",
    L"  separator",
    L"  item|101|&About...|unchecked",
    L"  item|100|&Quit...|unchecked",
    L"popup|&Devices",
    L"  item|200|&Show Device List|unchecked",
    L"  item|201|&Refresh Device List|unchecked",
    L"  separator",
    L"  item|211|Set &All Devices format in 48 kHz |unchecked",
    L"  item|210|Set All &Devices format in 44.1 kHz |unchecked",
    L"  separator",
    L"  item|231|Set All &Playback Devices format in 48 kHz |unchecked",
    L"  item|230|Set All Play&back Devices format in 44.1 kHz |unchecked",
    L"  separator",
    L"  item|251|Set All Re&cording Devices format in 48 kHz |unchecked",
    L"  item|250|Set All Recordin&g Devices format in 44.1 kHz |unchecked",
};

std::vector<std::wstring> linesStartingWith(const std::vector<std::wstring>& lines, const wchar_t* prefix) {
    std::vector<std::wstring> found;
    for (const std::wstring& l : lines)
        if (l.compare(0, wcslen(prefix), prefix) == 0) found.push_back(l);
    return found;
}

TEST_F(MainWindowTest, InsideTheProcess) {
    const std::vector<std::wstring> probe = checker.probe();
    ASSERT_FALSE(probe.empty()) << "the probe could not run inside the checker";

    // The window class.
    EXPECT_EQ(std::vector<std::wstring>{L"class-style|3"}, linesStartingWith(probe, L"class-style|"));
    EXPECT_EQ(std::vector<std::wstring>{L"class-background|12"}, linesStartingWith(probe, L"class-background|"));
    EXPECT_EQ(std::vector<std::wstring>{L"class-icon|resource-100"}, linesStartingWith(probe, L"class-icon|"));
    EXPECT_EQ(std::vector<std::wstring>{L"class-cursor|arrow"}, linesStartingWith(probe, L"class-cursor|"));

    // The log view's font object.
    EXPECT_EQ(std::vector<std::wstring>{L"log-font|Courier New|" + std::to_wstring(scale.logFontHeight) + L"|400"},
              linesStartingWith(probe, L"log-font|"));
    EXPECT_EQ(std::vector<std::wstring>{L"window-dpi|" + std::to_wstring(scale.dpi)}, linesStartingWith(probe, L"window-dpi|"));

    // The menu, read from the running window; the probe set the check mark of item 200 and
    // sent WM_INITMENU, which must have taken it off again while the log view is shown.
    std::vector<std::wstring> menu;
    for (const std::wstring& l : probe)
        if (l.find(L"popup|") != std::wstring::npos || l.find(L"item|") != std::wstring::npos ||
            l.find(L"separator") != std::wstring::npos)
            menu.push_back(l);
    EXPECT_EQ(std::vector<std::wstring>(std::begin(kMenu), std::end(kMenu)), menu);
    // In each popup every item has one access key of its own, so that a key chooses it at once.
    std::wstring keys;
    for (const std::wstring& l : menu) {
        if (l.compare(0, 6, L"popup|") == 0) keys.clear();
        if (l.find(L"item|") == std::wstring::npos) continue;
        const size_t amp = l.find(L'&');
        ASSERT_NE(std::wstring::npos, amp) << toUtf8(l);
        EXPECT_EQ(std::wstring::npos, l.find(L'&', amp + 1)) << toUtf8(l);
        const wchar_t key = wchar_t(towlower(l[amp + 1]));
        EXPECT_EQ(std::wstring::npos, keys.find(key)) << toUtf8(l) << ": its key is taken";
        keys += key;
    }
}

}  // namespace
