#include <gtest/gtest.h>

#include <oleacc.h>

#include <memory>
#include <string>
#include <vector>

#include "base/owners.h"
#include "checker_remote/checker_remote.h"
#include "support/com_apartment.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

typedef std::vector<std::wstring> Lines;

const wchar_t* const kDriverFile = L"halvane_vessoc_test.sys";

std::vector<uint8_t> formatValue(uint16_t channels, uint32_t rate, uint16_t bits) {
    std::vector<uint8_t> v(68, 0);
    auto put16 = [&](size_t at, uint32_t x) { v[at] = uint8_t(x); v[at + 1] = uint8_t(x >> 8); };
    auto put32 = [&](size_t at, uint32_t x) { put16(at, x); put16(at + 2, x >> 16); };
    put16(8, 0xFFFE);
    put16(10, channels);
    put32(12, rate);
    put32(16, bits / 8 * channels * rate);
    put16(20, bits / 8 * channels);
    put16(22, bits);
    put16(24, 22);
    put16(26, bits);
    put32(28, 0x3);
    return v;
}

// A field of a stored format value: the channel count at 10 (2 bytes), the rate at 12 (4).
uint32_t storedField(const std::wstring& path, const wchar_t* value, int at, int length) {
    HKEY key;
    uint8_t bytes[256] = {0};
    DWORD size = sizeof(bytes);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    RegQueryValueExW(key, value, NULL, NULL, bytes, &size);
    RegCloseKey(key);
    uint32_t field = 0;
    for (int i = length - 1; i >= 0; --i) field = field << 8 | bytes[at + i];
    return field;
}
uint32_t storedRate(const std::wstring& path, const wchar_t* value) { return storedField(path, value, 12, 4); }
uint32_t storedChannels(const std::wstring& path, const wchar_t* value) { return storedField(path, value, 10, 2); }

bool closeTo(uint32_t pixel, int r, int g, int b) {
    return abs(int(pixel >> 16 & 0xFF) - r) <= 8 && abs(int(pixel >> 8 & 0xFF) - g) <= 8 && abs(int(pixel & 0xFF) - b) <= 8;
}

// Some pixel of the area satisfies the test.
template <typename Test>
bool anyPixel(const Capture& shot, int left, int top, int right, int bottom, Test test) {
    for (int y = top; y < bottom && y < shot.height; ++y)
        for (int x = left; x < right && x < shot.width; ++x)
            if (test(shot.at(x, y))) return true;
    return false;
}

// Runs [first, last] of pixels along a row (or a column) from one coordinate up to another, where
// the test holds: the edges of boxes and titles as painted.
typedef std::vector<std::pair<int, int>> Runs;
template <typename Test>
Runs runsAlong(const Capture& shot, bool alongRow, int line, int from, int to, Test test) {
    Runs runs;
    for (int i = from; i <= to; ++i) {
        const int x = alongRow ? i : line, y = alongRow ? line : i;
        if (x < 0 || y < 0 || x >= shot.width || y >= shot.height || !test(shot.at(x, y))) continue;
        if (!runs.empty() && runs.back().second == i - 1) runs.back().second = i;
        else runs.push_back(std::make_pair(i, i));
    }
    return runs;
}

// The smallest rectangle (last pixel inclusive) holding every pixel of the area where the test
// holds; left -1 when there is none.
template <typename Test>
RECT inkOf(const Capture& shot, int left, int top, int right, int bottom, Test test) {
    RECT ink = {-1, -1, -1, -1};
    for (int y = top; y < bottom && y < shot.height; ++y)
        for (int x = left; x < right && x < shot.width; ++x) {
            if (!test(shot.at(x, y))) continue;
            if (ink.left < 0 || x < ink.left) ink.left = x;
            if (ink.top < 0) ink.top = y;
            if (x > ink.right) ink.right = x;
            ink.bottom = y;
        }
    return ink;
}

bool boxPen(uint32_t p) { return closeTo(p, 180, 180, 180); }
bool titleGrey(uint32_t p) { return closeTo(p, 230, 230, 230); }
bool dark(uint32_t p) { return (p >> 16 & 0xFF) < 96 && (p >> 8 & 0xFF) < 96 && (p & 0xFF) < 96; }
bool reddish(uint32_t p) { return (p >> 16 & 0xFF) > 150 && (p >> 8 & 0xFF) < 110 && (p & 0xFF) < 110; }
bool darkGrey(uint32_t p) {
    const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
    return r < 160 && abs(r - g) < 20 && abs(r - b) < 20;
}
bool blueish(uint32_t p) { return (p & 0xFF) > 150 && (p >> 16 & 0xFF) < 100; }

// The panel as a screen reader in this process reads it from the checker: the client area's
// accessible object through Active Accessibility. Child 0 is the list, 1 to 6 its boxes.
class PanelReader {
public:
    explicit PanelReader(HWND window) {
        AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&object_));
    }
    ~PanelReader() {
        if (object_) object_->Release();
    }
    bool ok() const { return object_ != nullptr; }
    // A text (name, value, description) or a number (role, state, focus), "<none>" or -1 without one.
    std::wstring text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long child) const {
        BSTR text = NULL;
        const HRESULT result = (object_->*get)(childId(child), &text);
        std::wstring taken = result == S_OK && text ? std::wstring(text, SysStringLen(text)) : L"<none>";
        SysFreeString(text);
        return taken;
    }
    long number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), long child) const {
        VARIANT v;
        VariantInit(&v);
        const long n = (object_->*get)(childId(child), &v) == S_OK && v.vt == VT_I4 ? v.lVal : -1;
        VariantClear(&v);
        return n;
    }
    long focus() const {
        VARIANT v;
        VariantInit(&v);
        return object_->get_accFocus(&v) == S_OK && v.vt == VT_I4 ? v.lVal : -1;
    }
    long childCount() const {
        long count = -1;
        object_->get_accChildCount(&count);
        return count;
    }
    std::vector<long> location(long child) const {  // screen left, top, width, height
        std::vector<long> at(4, -1);
        object_->accLocation(&at[0], &at[1], &at[2], &at[3], childId(child));
        return at;
    }
    HRESULT doDefaultAction(long child) const { return object_->accDoDefaultAction(childId(child)); }
    // The answer and the child of a navigation, a hit test and the selection (-1 without one).
    std::pair<HRESULT, long> navigate(long direction, long from) const {
        return answer([&](VARIANT* end) { return object_->accNavigate(direction, childId(from), end); });
    }
    std::pair<HRESULT, long> hitTest(POINT screen) const {
        return answer([&](VARIANT* hit) { return object_->accHitTest(screen.x, screen.y, hit); });
    }
    std::pair<HRESULT, long> selection() const {
        return answer([&](VARIANT* selected) { return object_->get_accSelection(selected); });
    }
    HRESULT select(long flags, long child) const { return object_->accSelect(flags, childId(child)); }
    // A child's own object (the boxes have none: S_FALSE and null).
    std::pair<HRESULT, bool> child(long id) const {
        IDispatch* element = nullptr;
        const HRESULT result = object_->get_accChild(childId(id), &element);
        if (element) element->Release();
        return std::make_pair(result, element != nullptr);
    }
    // The list's parent: the window's own accessible object (Wine's answers no role of its own).
    bool hasWindowAsParent() const {
        IDispatch* parent = nullptr;
        if (object_->get_accParent(&parent) != S_OK || !parent) return false;
        IAccessible* window = nullptr;
        const bool accessible = parent->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&window)) == S_OK;
        if (window) window->Release();
        parent->Release();
        return accessible;
    }

private:
    template <typename Ask>
    static std::pair<HRESULT, long> answer(Ask ask) {
        VARIANT child;
        VariantInit(&child);
        const HRESULT result = ask(&child);
        return std::make_pair(result, child.vt == VT_I4 ? child.lVal : -1);
    }
    static VARIANT childId(long child) {
        VARIANT id;
        id.vt = VT_I4;
        id.lVal = child;
        return id;
    }
    ComApartment com_;  // first in, last out: the object is released inside it
    IAccessible* object_ = nullptr;
};

// The events the checker raises for its client area, caught by an out-of-context hook while this
// thread pumps its messages: event and child, in order.
std::vector<std::pair<DWORD, long>> g_clientEvents;
HWND g_eventWindow;
void CALLBACK onClientEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (window == g_eventWindow && object == OBJID_CLIENT) g_clientEvents.push_back(std::make_pair(event, long(child)));
}
std::vector<long> childrenOfEvent(DWORD event) {
    std::vector<long> children;
    for (const auto& e : g_clientEvents)
        if (e.first == event) children.push_back(e.second);
    return children;
}

// Polls while pumping this thread's messages.
template <typename Condition>
bool pumpUntil(DWORD timeoutMs, Condition condition) {
    return waitFor(timeoutMs, [&] {
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        return condition();
    });
}

// Presses each key and sees the reader's focus move to the box given. Keys reach the checker a
// moment later, so a key that leaves the focus where it was is given that moment.
struct KeyMove {
    WORD key;
    long child;
};
void followKeys(HWND window, const PanelReader& reader, std::initializer_list<KeyMove> moves) {
    long focus = reader.focus();
    for (const KeyMove& move : moves) {
        ASSERT_TRUE(pressKeys(window, {move.key}));
        if (move.child == focus) Sleep(300);
        EXPECT_TRUE(pumpUntil(3000, [&] { return reader.focus() == move.child; })) << move.key << " to " << move.child;
        focus = move.child;
    }
}

// The program's own icon file, as the build draws it beside the programs.
std::wstring programIcon() {
    const std::string built = programFolder() + "..\\generated\\program_icon.ico";
    return std::wstring(built.begin(), built.end());
}

// The panel at each display scale the tests run at, in client pixels, first and last pixel as
// painted: the 96-DPI design times 1.5 and 2, each edge rounded half up on its own.
struct PanelScale {
    int dpi;
    int edgeRow;      // a row through the boxes of row 0 above their text and badges
    Runs boxColumns;  // box pens along it: playback left and right, recording left and right
    int edgeColumn;   // a column between the icons and the text
    Runs boxRows;     // box pens along it: top and bottom of rows 0, 1 and 2
    int titleRow;     // a row through the titles above their text
    Runs titles;      // the titles' grey along it
    Runs titleRows;   // ... and along edgeColumn
    int textLeft;     // the text lines' left edge
    RECT formatLine;  // row 0 playback: the red format line's band (right and bottom exclusive)
    int minFormatInk, minTitleInk;  // least height of the format line's and the title's ink
    int exColumn;                   // a column through the "Ex" badge of row 0 playback beside its text
    Runs exBadgeRows;               // badge pens along it
    int pColumn;                    // the same for the "P" badge of row 1 recording
    Runs pBadgeRows;                // ... its top pen (the format line runs beside the rest)
    int badgeLeft;                  // the badges' left pen in row 0 playback
    POINT iconCentre[3];  // row 2 playback, row 2 and row 1 recording: the driver file's icon
    uint32_t iconColour;  // ... its image for the size it is drawn at
    POINT hits[3];        // first pixel of row 0 playback and of row 2 recording, last of row 1 recording
    POINT misses[4];      // just left of row 0, in the gap between the columns, below row 0, right of it
};
const PanelScale kPanelScales[] = {
    {96, 32, {{5, 5}, {379, 379}, {390, 390}, {764, 764}},
     61, {{30, 30}, {79, 79}, {85, 85}, {134, 134}, {140, 140}, {189, 189}},
     6, {{5, 379}, {390, 764}}, {{5, 24}},
     65, {65, 64, 379, 80}, 8, 10,
     348, {{35, 35}, {49, 49}}, 733, {{110, 110}}, 345,
     {{30, 165}, {415, 165}, {415, 110}}, 0xFF0000,
     {{5, 30}, {390, 140}, {765, 135}}, {{4, 30}, {385, 30}, {5, 81}, {766, 30}}},
    {144, 48, {{8, 8}, {569, 569}, {585, 585}, {1147, 1147}},
     92, {{45, 45}, {119, 119}, {128, 128}, {202, 202}, {210, 210}, {284, 284}},
     9, {{8, 569}, {585, 1147}}, {{8, 37}},
     98, {98, 96, 569, 120}, 12, 15,
     522, {{53, 53}, {74, 74}}, 1100, {{165, 165}}, 518,
     {{45, 248}, {623, 248}, {623, 165}}, 0x00FF00,
     {{8, 45}, {585, 210}, {1148, 203}}, {{7, 45}, {578, 45}, {8, 121}, {1149, 45}}},
    {192, 64, {{10, 10}, {759, 759}, {780, 780}, {1529, 1529}},
     122, {{60, 60}, {159, 159}, {170, 170}, {269, 269}, {280, 280}, {379, 379}},
     12, {{10, 759}, {780, 1529}}, {{10, 49}},
     130, {130, 128, 759, 160}, 16, 20,
     696, {{70, 70}, {99, 99}}, 1466, {{220, 220}}, 690,
     {{60, 330}, {830, 330}, {830, 220}}, 0x0000FF,
     {{10, 60}, {780, 280}, {1530, 270}}, {{9, 60}, {770, 60}, {10, 161}, {1531, 60}}},
};

// Three catalogued drivers registered in the endpoint store: the first two with icon files, the
// third with icons inside its driver file; formats and exclusive-mode settings chosen per box.
class DeviceListTest : public testing::Test {
protected:
    void SetUp() override {
        const std::wstring icon = programIcon();
        installDriverFile();
        addPair(0, L"VESSO", L"Halvane Virtual Vesso", L"HalvaneVSOWDM", icon, icon);
        // Index -1 names icon resource 1 (for ExtractIcon it would ask how many icons there are).
        addPair(1, L"VESSO-A", L"Halvane Vesso A", L"HalvaneVSOAWDM",
                std::wstring(L"%SystemRoot%\\System32\\drivers\\") + kDriverFile + L",-1", icon);
        addPair(2, L"VESSO-C", L"Halvane Vesso C", L"Halvane101WDMVessoC",
                std::wstring(L"%SystemRoot%\\System32\\drivers\\") + kDriverFile + L",-100",
                std::wstring(L"%SystemRoot%\\System32\\drivers\\") + kDriverFile + L",-101");
        // Row 0: playback at 48 kHz/24 bits against a 44.1 kHz default (red), with "Ex".
        setFormats(render(0), formatValue(2, 48000, 24), formatValue(2, 44100, 16));
        registry.setDword(render(0), kStoreValue.exclusiveFirst, 1);
        registry.setDword(render(0), kStoreValue.exclusiveSecond, 0);
        setFormats(capture(0), formatValue(2, 48000, 16), formatValue(2, 48000, 16));
        // Row 1: equal rates but other bit depths (grey); recording with "P" only.
        setFormats(render(1), formatValue(2, 44100, 16), formatValue(2, 44100, 24));
        setFormats(capture(1), formatValue(2, 44100, 16), formatValue(2, 44100, 16));
        registry.setDword(capture(1), kStoreValue.exclusiveFirst, 0);
        registry.setDword(capture(1), kStoreValue.exclusiveSecond, 1);
        setFormats(render(2), formatValue(2, 48000, 16), formatValue(2, 48000, 16));
        registry.setBinary(capture(2), kStoreValue.deviceFormat, formatValue(2, 48000, 16));  // no default: red
    }
    void TearDown() override { DeleteFileW(driverFilePath().c_str()); }

    static std::wstring render(int row) { return TestRegistry::propertiesPath(L"Render", entryName(row, 0)); }
    static std::wstring capture(int row) { return TestRegistry::propertiesPath(L"Capture", entryName(row, 1)); }
    static std::wstring entryName(int row, int side) {
        return L"{0.0." + std::to_wstring(side) + L".00000000}.{0000000" + std::to_wstring(row) + L"-0000-0000-0000-00000000000" +
               std::to_wstring(side) + L"}";
    }
    void addPair(int row, const std::wstring& stem, const std::wstring& display, const std::wstring& hardwareId,
                 const std::wstring& recordingIcon, const std::wstring& playbackIcon) {
        registry.addEndpoint(L"Render", entryName(row, 0), stem + L" Input", display, L"{1}.ROOT\\MEDIA:" + hardwareId,
                             playbackIcon);
        registry.addEndpoint(L"Capture", entryName(row, 1), stem + L" Output", display, L"{1}.ROOT\\MEDIA:" + hardwareId,
                             recordingIcon);
    }
    void setFormats(const std::wstring& path, const std::vector<uint8_t>& device, const std::vector<uint8_t>& oem) {
        registry.setBinary(path, kStoreValue.deviceFormat, device);
        registry.setBinary(path, kStoreValue.oemFormat, oem);
    }
    // The driver file goes into the real system folder: on 64-bit Windows only the 64-bit one,
    // which a 32-bit program reaches through Sysnative.
    static std::wstring driverFilePath() {
        return std::wstring(runsOnWow64() ? L"C:\\windows\\Sysnative\\drivers\\" : L"C:\\windows\\system32\\drivers\\") +
               kDriverFile;
    }
    static void installDriverFile() {
        const std::string source = programFolder() + "driver_icons.dll";
        CreateDirectoryW(runsOnWow64() ? L"C:\\windows\\Sysnative\\drivers" : L"C:\\windows\\system32\\drivers", NULL);
        ASSERT_TRUE(CopyFileW(std::wstring(source.begin(), source.end()).c_str(), driverFilePath().c_str(), FALSE));
        if (runsOnWow64()) DeleteFileW((std::wstring(L"C:\\windows\\system32\\drivers\\") + kDriverFile).c_str());
    }

    void start() {
        ASSERT_EQ(expectedDpi(), displayDpi()) << "the Wine prefix runs at another display scale";
        for (const PanelScale& s : kPanelScales)
            if (s.dpi == displayDpi()) scale = &s;
        ASSERT_NE(nullptr, scale) << "no expected places for " << displayDpi() << " DPI";
        checker.reset(new CheckerProcess());
        ASSERT_TRUE(checker->started());
        ASSERT_NE(nullptr, checker->waitForMainWindow(20000));
        ASSERT_TRUE(checker->waitForFirstReport());
    }
    void command(WORD id) { ASSERT_TRUE(checker->sendCommand(id)); }
    Capture shot() {
        RedrawWindow(checker->mainWindow(), NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
        checker->waitIdle();
        Sleep(100);
        return captureClient(checker->mainWindow());
    }
    bool item200Checked() {
        for (const std::wstring& l : checker->probe())
            if (l.find(L"item|200|") != std::wstring::npos) return l.find(L"|checked") != std::wstring::npos;
        ADD_FAILURE() << "no item 200";
        return false;
    }
    // Right-clicks a client point; returns the context menu's items, or nothing when none opened.
    Lines rightClick(int x, int y) {
        PostMessageW(checker->mainWindow(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
        return closeMenu(waitForMenu());
    }
    HWND waitForMenu() {
        HWND popup = NULL;
        waitFor(1500, [&] {
            for (HWND w : windowsOfProcess(checker->id(), L"#32768"))
                if (IsWindowVisible(w)) popup = w;
            return popup != NULL;
        });
        return popup;
    }
    // The open context menu's items; closed with Escape.
    Lines closeMenu(HWND popup) {
        if (!popup) return Lines();
        Lines items = checker->probe("probePopupMenu");
        PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
        waitFor(3000, [&] { return !IsWindowVisible(popup); });
        checker->waitIdle();
        return items;
    }
    // The painted box of a reader's child (1 to 6: row by row, playback first) on the screen:
    // left, top, width, height, from the places measured on the screenshots.
    std::vector<long> paintedBox(long child) {
        const int row = (child - 1) / 2, column = (child - 1) % 2;
        POINT origin = {0, 0};
        ClientToScreen(checker->mainWindow(), &origin);
        const int left = scale->boxColumns[2 * column].first, top = scale->boxRows[2 * row].first;
        return {origin.x + left, origin.y + top, scale->boxColumns[2 * column + 1].first - left + 1,
                scale->boxRows[2 * row + 1].first - top + 1};
    }
    // The focus rectangle shows on row 0's playback box: its top edge runs inside the box, above
    // the text.
    bool focusRectangleOnFirstBox(const Capture& s) const {
        const int top = scale->boxRows[0].first;
        return anyPixel(s, scale->textLeft, top + 1, scale->exColumn - 8, top + scale->dpi / 32, dark);
    }
    // The device formats' rates of every entry, playback and recording of each row.
    std::vector<uint32_t> storedRates() {
        std::vector<uint32_t> all;
        for (int row = 0; row < 3; ++row)
            for (const std::wstring& entry : {render(row), capture(row)})
                all.push_back(storedRate(entry, kStoreValue.deviceFormat));
        return all;
    }

    TestRegistry registry;
    std::unique_ptr<CheckerProcess> checker;
    const PanelScale* scale = nullptr;
};

TEST_F(DeviceListTest, PanelPaintsTheRows) {
    start();
    command(200);
    EXPECT_TRUE(item200Checked());
    EXPECT_FALSE(IsWindowVisible(checker->logView()));
    const Capture s = shot();
    const PanelScale& at = *scale;
    ASSERT_GT(s.width, at.boxColumns.back().second);
    char path[MAX_PATH];
    if (GetEnvironmentVariableA("HV_SHOT_DIR", path, MAX_PATH - 32))
        writeBmp(s, (std::string(path) + "\\panel-" + std::to_string(at.dpi) + ".bmp").c_str());
    // Titles and boxes where the scale puts them, and only three rows.
    EXPECT_EQ(at.titles, runsAlong(s, true, at.titleRow, 0, s.width - 1, titleGrey));
    EXPECT_EQ(at.titleRows, runsAlong(s, false, at.edgeColumn, 0, at.boxRows.front().first - 1, titleGrey));
    EXPECT_EQ(at.boxColumns, runsAlong(s, true, at.edgeRow, 0, s.width - 1, boxPen));
    EXPECT_EQ(at.boxRows, runsAlong(s, false, at.edgeColumn, 0, s.height - 1, boxPen));
    // Title text in the larger font, centred in its title.
    const RECT title = inkOf(s, at.titles[0].first, at.titleRows[0].first, at.titles[0].second, at.titleRows[0].second, dark);
    EXPECT_GE(title.bottom - title.top + 1, at.minTitleInk);
    EXPECT_LE(abs(title.left + title.right - at.titles[0].first - at.titles[0].second), 3);
    // Format lines: red where the current rate is not the default one, grey otherwise; in the
    // third line's band, from the text's left edge, in the larger font.
    const RECT band = at.formatLine;
    const RECT red = inkOf(s, band.left - 8, band.top - 8, band.right, band.bottom + 8, reddish);
    EXPECT_GE(red.left, band.left);
    EXPECT_LE(red.left, band.left + 3);
    EXPECT_GE(red.top, band.top);
    EXPECT_LT(red.bottom, band.bottom);
    EXPECT_GE(red.bottom - red.top + 1, at.minFormatInk);
    const int recording = at.boxColumns[2].first - at.boxColumns[0].first;
    EXPECT_FALSE(anyPixel(s, band.left + recording, band.top, band.right + recording, band.bottom, reddish));
    EXPECT_TRUE(anyPixel(s, band.left + recording, band.top, band.right + recording, band.bottom, darkGrey));
    const int pitch = at.boxRows[2].first - at.boxRows[0].first;
    EXPECT_FALSE(anyPixel(s, band.left, band.top + pitch, band.right, band.bottom + pitch, reddish));
    EXPECT_TRUE(anyPixel(s, band.left + recording, band.top + 2 * pitch, band.right + recording,
                         band.bottom + 2 * pitch, reddish))
        << "a device format without a stored default is not drawn red";
    // Text lines from the text's left edge: the first one black.
    const RECT name = inkOf(s, at.textLeft - 8, at.boxRows[0].first + 1, band.right, band.top, dark);
    EXPECT_GE(name.left, at.textLeft);
    EXPECT_LE(name.left, at.textLeft + 3);
    // Badges: "Ex" on row 0 playback, "P" alone on row 1 recording; looked for above each row's
    // format line.
    EXPECT_EQ(at.exBadgeRows, runsAlong(s, false, at.exColumn, at.boxRows[0].first + 1, band.top - 1, boxPen));
    EXPECT_EQ(at.pBadgeRows, runsAlong(s, false, at.pColumn, at.boxRows[2].first + 1, band.top + pitch - 1, boxPen));
    EXPECT_EQ(Runs(), runsAlong(s, false, at.pColumn, at.boxRows[0].first + 1, band.top - 1, boxPen));
    EXPECT_EQ(Runs(), runsAlong(s, false, at.exColumn, at.boxRows[2].first + 1, band.top + pitch - 1, boxPen));
    // Icons: the icon file's blue, and the driver file's icon resource (through Sysnative on
    // 64-bit Windows) in the image made for the size drawn, not the 32-pixel one stretched.
    EXPECT_TRUE(anyPixel(s, at.boxColumns[0].first, at.boxRows[0].first, at.edgeColumn, at.boxRows[1].first, blueish));
    for (const POINT& centre : at.iconCentre)  // the last one resource 1, from ",-1"
        EXPECT_EQ(at.iconColour, s.at(centre.x, centre.y)) << centre.x << "," << centre.y;
}

// A long name the user gave, and the longest format line, at the scale the prefix runs at (where
// each line ends before the badges is measured at every scale in the panel's unit tests): on
// hover, a badge says what it means and a cut line shows itself whole, in a tip below the
// pointer. Row 0's lines start at 33, 48 and 64 design pixels, its badges at 35 and 55.
TEST_F(DeviceListTest, TipsShowCutLinesWholeAndSayWhatTheBadgesMean) {
    const std::wstring name = L"Studio monitors on the desk, left and right, as the user named them";
    for (const std::wstring& entry : {render(0), capture(0)}) registry.setString(entry, kStoreValue.description, name);
    registry.setDword(render(0), kStoreValue.exclusiveSecond, 1);
    setFormats(render(0), formatValue(8, 192000, 32), formatValue(8, 176400, 32));
    setFormats(capture(0), formatValue(8, 192000, 32), formatValue(8, 192000, 32));
    start();
    command(200);
    const PanelScale& at = *scale;
    auto y = [&](int design) { return MulDiv(design, at.dpi, 96); };
    HWND window = checker->mainWindow();
    ASSERT_TRUE(bringToFront(window));
    // The tip's text once the pointer rests at a client point for a while (up to the time given:
    // "<none>" when no tip shows then). Under Wine the display's own pointer, which Wine follows
    // now and then, stays where it was: the pointer is put where the test wants it again while it
    // waits, and only a tip below that point counts (a move Wine sends late from where the
    // pointer was before shows that place's tip, rightly, 20 design pixels below it). Row -1:
    // a tip anywhere.
    const auto shownTip = [&](int row) {
        POINT below = {0, row};
        ClientToScreen(window, &below);
        std::wstring text = L"<none>";
        for (HWND tip : windowsOfProcess(checker->id(), L"HVVESSO0ControlPanel0Tip")) {
            RECT place;
            if (IsWindowVisible(tip) && GetWindowRect(tip, &place) && (row < 0 || place.top == below.y + y(20)))
                text = windowText(tip);
        }
        return text;
    };
    const auto tipAt = [&](int x, int row, DWORD restMs) {
        // From a place without a tip (off the boxes), once the tip there before has gone.
        movePointer(window, y(300), y(400));
        waitFor(3000, [&] { return shownTip(-1) == L"<none>"; });
        std::wstring text;
        DWORD moved = 0;
        waitFor(restMs, [&] {
            if (GetTickCount() - moved > 1000) {
                movePointer(window, x, row);
                moved = GetTickCount();
            }
            return (text = shownTip(row)) != L"<none>";
        });
        return text;
    };
    EXPECT_EQ(L"Exclusive mode allowed", tipAt(at.badgeLeft + y(15), y(42), 5000));
    EXPECT_EQ(L"Exclusive mode has priority", tipAt(at.badgeLeft + y(15), y(62), 5000));
    EXPECT_EQ(name, tipAt(at.textLeft + y(20), y(40), 5000));
    EXPECT_EQ(L"192000 Hz, 32 bits, 8 Ch (176400 Hz, 32 bits, 8 Ch)", tipAt(at.textLeft + y(20), y(72), 5000));
    // Where the text is whole, and off the boxes, no tip, also after longer than Windows waits
    // before it shows one.
    EXPECT_EQ(L"<none>", tipAt(at.textLeft + y(20), y(55), 1500));
    EXPECT_EQ(L"<none>", tipAt(y(300), y(400), 1500));
}

TEST_F(DeviceListTest, ContextMenus) {
    start();
    command(200);
    const Lines playback = {L"item|300|Change Sample Rate to 44100 Hz|unchecked",
                            L"item|301|Change Sample Rate to 48000 Hz|unchecked",
                            L"separator",
                            L"item|352|Set Device with 2 Channels|unchecked",
                            L"item|354|Set Device with 4 Channels|unchecked",
                            L"item|356|Set Device with 6 Channels|unchecked",
                            L"item|358|Set Device with 8 Channels|unchecked"};
    const PanelScale& at = *scale;
    EXPECT_EQ(playback, rightClick(at.hits[0].x, at.hits[0].y));
    EXPECT_EQ(Lines(playback.begin(), playback.begin() + 2), rightClick(at.hits[1].x, at.hits[1].y));
    for (const POINT& miss : at.misses) EXPECT_EQ(Lines(), rightClick(miss.x, miss.y)) << miss.x << "," << miss.y;
    // The box's far corner picks that box's endpoint: the sample rate goes to row 1's recording
    // entry alone.
    EXPECT_EQ(Lines(playback.begin(), playback.begin() + 2), rightClick(at.hits[2].x, at.hits[2].y));
    command(301);
    EXPECT_EQ(48000u, storedRate(capture(1), kStoreValue.deviceFormat));
    EXPECT_EQ(44100u, storedRate(render(1), kStoreValue.deviceFormat));
    // From a playback box the rate and the channel count go to that row's playback entry alone.
    EXPECT_EQ(playback, rightClick(at.hits[0].x, at.hits[0].y));
    command(300);
    command(356);
    EXPECT_EQ(44100u, storedRate(render(0), kStoreValue.deviceFormat));
    EXPECT_EQ(6u, storedChannels(render(0), kStoreValue.deviceFormat));
    EXPECT_EQ(48000u, storedRate(capture(0), kStoreValue.deviceFormat));
    EXPECT_EQ(2u, storedChannels(capture(0), kStoreValue.deviceFormat));
    EXPECT_EQ(nullptr, checker->waitForDialog(300));
    // With the log view shown, a right click does nothing.
    command(200);
    EXPECT_EQ(Lines(), rightClick(at.hits[0].x, at.hits[0].y));
}

// What a reader reads of the boxes: one child per box in reading order, each with the texts drawn,
// the badges and the red line in words, its state and the place it is painted at on the screen.
TEST_F(DeviceListTest, AReaderReadsEveryBoxWhereItIsPainted) {
    start();
    command(200);
    ASSERT_TRUE(bringToFront(checker->mainWindow()));
    PanelReader reader(checker->mainWindow());
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(L"Device List", reader.text(&IAccessible::get_accName, CHILDID_SELF));
    EXPECT_EQ(ROLE_SYSTEM_LIST, reader.number(&IAccessible::get_accRole, CHILDID_SELF));
    ASSERT_EQ(6, reader.childCount());
    const std::vector<std::wstring> boxes[] = {
        {L"Playback: VESSO Input", L"48000 Hz, 24 bits, 2 Ch (44100 Hz, 16 bits, 2 Ch)",
         L"Halvane Virtual Vesso, exclusive mode allowed, the format differs from the default"},
        {L"Recording: VESSO Output", L"48000 Hz, 16 bits, 2 Ch (48000 Hz, 16 bits, 2 Ch)", L"Halvane Virtual Vesso"},
        {L"Playback: VESSO-A Input", L"44100 Hz, 16 bits, 2 Ch (44100 Hz, 24 bits, 2 Ch)", L"Halvane Vesso A"},
        {L"Recording: VESSO-A Output", L"44100 Hz, 16 bits, 2 Ch (44100 Hz, 16 bits, 2 Ch)",
         L"Halvane Vesso A, exclusive mode has priority"},
        {L"Playback: VESSO-C Input", L"48000 Hz, 16 bits, 2 Ch (48000 Hz, 16 bits, 2 Ch)", L"Halvane Vesso C"},
        {L"Recording: VESSO-C Output", L"48000 Hz, 16 bits, 2 Ch",
         L"Halvane Vesso C, the format differs from the default"},
    };
    for (long child = 1; child <= 6; ++child) {
        EXPECT_EQ(boxes[child - 1], (std::vector<std::wstring>{reader.text(&IAccessible::get_accName, child),
                                                                reader.text(&IAccessible::get_accValue, child),
                                                                reader.text(&IAccessible::get_accDescription, child)}));
        EXPECT_EQ(ROLE_SYSTEM_LISTITEM, reader.number(&IAccessible::get_accRole, child));
        // The first box with a device holds the focus: focusable, selectable, focused, selected.
        EXPECT_EQ(child == 1 ? 0x300006 : 0x300000, reader.number(&IAccessible::get_accState, child)) << child;
        EXPECT_EQ(paintedBox(child), reader.location(child)) << child;
    }
    EXPECT_EQ(1, reader.focus());
    // The default action opens the box's menu, at the box, and moves the focus there.
    EXPECT_EQ(S_OK, reader.doDefaultAction(3));
    HWND popup = waitForMenu();
    ASSERT_NE(nullptr, popup);
    RECT menu;
    GetWindowRect(popup, &menu);
    EXPECT_EQ(paintedBox(3)[0], menu.left);
    EXPECT_EQ(7u, closeMenu(popup).size());
    EXPECT_EQ(3, reader.focus());
}

// The keyboard alone: the arrows, Home and End move the focus (and the reader's with it), the
// focus rectangle shows once keys are used, the context-menu key and Shift+F10 open the focused
// box's menu at the box, and a command chosen there changes that box's endpoint and no other.
TEST_F(DeviceListTest, KeysMoveTheFocusAndOpenTheFocusedBoxMenu) {
    start();
    command(200);
    HWND window = checker->mainWindow();
    ASSERT_TRUE(bringToFront(window));
    PanelReader reader(window);
    ASSERT_TRUE(reader.ok());
    g_clientEvents.clear();
    g_eventWindow = window;
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_SELECTION, NULL, onClientEvent,
                                               checker->id(), 0, WINEVENT_OUTOFCONTEXT);
    EXPECT_FALSE(focusRectangleOnFirstBox(shot())) << "a focus rectangle without keyboard cues";
    followKeys(window, reader,
               {{VK_RIGHT, 2}, {VK_DOWN, 4}, {VK_DOWN, 6}, {VK_DOWN, 6}, {VK_LEFT, 5}, {VK_UP, 3}, {VK_END, 6},
                {VK_HOME, 1}});
    // The events come through the hook a moment after the move.
    pumpUntil(3000, [&] { return childrenOfEvent(EVENT_OBJECT_FOCUS).size() >= 7; });
    EXPECT_EQ((std::vector<long>{2, 4, 6, 5, 3, 6, 1}), childrenOfEvent(EVENT_OBJECT_FOCUS));
    EXPECT_TRUE(focusRectangleOnFirstBox(shot())) << "no focus rectangle after keyboard use";

    // Shift+F10 on row 0's playback box opens its menu below it.
    ASSERT_TRUE(pressKeys(window, {VK_SHIFT, VK_F10}));
    HWND popup = waitForMenu();
    RECT menu;
    ASSERT_TRUE(popup && GetWindowRect(popup, &menu));
    EXPECT_EQ(paintedBox(1)[1] + paintedBox(1)[3], menu.top);
    EXPECT_EQ(7u, closeMenu(popup).size());
    // The context-menu key on row 2's recording box; its first item, 44.1 kHz, goes to it alone.
    std::vector<uint32_t> rates = storedRates();
    ASSERT_TRUE(pressKeys(window, {VK_END}));
    ASSERT_TRUE(pumpUntil(3000, [&] { return reader.focus() == 6; }));
    ASSERT_TRUE(pressKeys(window, {VK_APPS}));
    popup = waitForMenu();
    ASSERT_TRUE(popup && GetWindowRect(popup, &menu));
    EXPECT_EQ(paintedBox(6)[0], menu.left);
    EXPECT_EQ(paintedBox(6)[1] + paintedBox(6)[3], menu.top);
    EXPECT_EQ(2u, checker->probe("probePopupMenu").size());
    ASSERT_TRUE(pressKeys(NULL, {VK_DOWN}));
    ASSERT_TRUE(pressKeys(NULL, {VK_RETURN}));
    EXPECT_TRUE(waitFor(5000, [&] { return storedRate(capture(2), kStoreValue.deviceFormat) == 44100; }));
    rates[5] = 44100;
    EXPECT_EQ(rates, storedRates());
    // The command and "Refresh Device List" loaded the list again and told readers so; the focus
    // stayed on its box.
    checker->waitIdle();
    EXPECT_TRUE(pumpUntil(3000, [&] { return childrenOfEvent(EVENT_OBJECT_REORDER).size() == 1; }));
    command(201);
    EXPECT_TRUE(pumpUntil(3000, [&] { return childrenOfEvent(EVENT_OBJECT_REORDER).size() == 2; }));
    EXPECT_EQ(6, reader.focus());
    UnhookWinEvent(hook);

    // Back to the log view, which takes the keyboard focus.
    command(200);
    EXPECT_EQ(checker->logView(), keyboardFocusOf(window));
}

// Shown from the menu by its access keys (Alt+D, S), the panel shows its focus rectangle at once:
// the user is at the keyboard.
TEST_F(DeviceListTest, ShownByKeysThePanelShowsItsFocusAtOnce) {
    start();
    HWND window = checker->mainWindow();
    ASSERT_TRUE(pressKeys(window, {VK_MENU, 'D'}));
    ASSERT_NE(nullptr, waitForMenu()) << "Alt+D opened no menu";
    ASSERT_TRUE(pressKeys(NULL, {'S'}));
    ASSERT_TRUE(waitFor(5000, [&] { return !IsWindowVisible(checker->logView()); })) << "S did not show the list";
    EXPECT_TRUE(focusRectangleOnFirstBox(shot()));
}

// A row without its recording endpoint: the empty box says so to a reader, and the arrows (a
// reader's navigation too) pass over it to the next box with a device, or stay at an edge.
TEST_F(DeviceListTest, TheArrowsPassOverAnEmptyBox) {
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, capture(1).c_str()));
    start();
    command(200);
    HWND window = checker->mainWindow();
    ASSERT_TRUE(bringToFront(window));
    PanelReader reader(window);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(L"Recording: no device", reader.text(&IAccessible::get_accName, 4));
    EXPECT_EQ(L"<none>", reader.text(&IAccessible::get_accValue, 4));
    EXPECT_EQ(STATE_SYSTEM_UNAVAILABLE, reader.number(&IAccessible::get_accState, 4));
    EXPECT_EQ(L"Recording: VESSO Output", reader.text(&IAccessible::get_accName, 2));
    followKeys(window, reader,
               {{VK_RIGHT, 2}, {VK_DOWN, 6}, {VK_UP, 2}, {VK_LEFT, 1}, {VK_DOWN, 3}, {VK_RIGHT, 3}, {VK_END, 6},
                {VK_HOME, 1}});
    EXPECT_EQ(std::make_pair(S_OK, 6L), reader.navigate(NAVDIR_DOWN, 2));
    EXPECT_EQ(std::make_pair(S_FALSE, -1L), reader.navigate(NAVDIR_RIGHT, 3));
    EXPECT_EQ(std::make_pair(S_OK, 4L), reader.navigate(NAVDIR_NEXT, 3));  // still a child of the list
}

// What a reader asks besides the texts: navigation (nothing past the first or last box, or an
// edge), the child at a point of the screen, selecting a box (which moves the focus), the
// selection, the boxes as simple elements and the window as the list's parent. A box is
// focused only while the window has the keyboard focus.
TEST_F(DeviceListTest, AReaderNavigatesHitTestsAndSelectsTheBoxes) {
    start();
    command(200);
    HWND window = checker->mainWindow();
    ASSERT_TRUE(bringToFront(window));
    PanelReader reader(window);
    ASSERT_TRUE(reader.ok());
    const struct {
        long direction, from;
        HRESULT result;
        long to;
    } navigation[] = {
        {NAVDIR_NEXT, 1, S_OK, 2},          {NAVDIR_PREVIOUS, 1, S_FALSE, -1}, {NAVDIR_NEXT, 6, S_FALSE, -1},
        {NAVDIR_PREVIOUS, 6, S_OK, 5},      {NAVDIR_FIRSTCHILD, 0, S_OK, 1},   {NAVDIR_LASTCHILD, 0, S_OK, 6},
        {NAVDIR_UP, 1, S_FALSE, -1},        {NAVDIR_DOWN, 1, S_OK, 3},         {NAVDIR_DOWN, 5, S_FALSE, -1},
        {NAVDIR_RIGHT, 1, S_OK, 2},         {NAVDIR_RIGHT, 2, S_FALSE, -1},    {NAVDIR_LEFT, 2, S_OK, 1},
        {NAVDIR_NEXT, 7, E_INVALIDARG, -1},
    };
    for (const auto& n : navigation)
        EXPECT_EQ(std::make_pair(n.result, n.to), reader.navigate(n.direction, n.from)) << n.direction << " from " << n.from;

    const std::vector<long> box4 = paintedBox(4);
    EXPECT_EQ(std::make_pair(S_OK, 4L), reader.hitTest(POINT{box4[0] + box4[2] / 2, box4[1] + box4[3] / 2}));
    POINT gap = scale->misses[2];  // below row 0, in the panel
    ClientToScreen(window, &gap);
    EXPECT_EQ(std::make_pair(S_OK, long(CHILDID_SELF)), reader.hitTest(gap));
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(S_FALSE, reader.hitTest(POINT{frame.left - 5, frame.top + 50}).first);

    EXPECT_EQ(S_OK, reader.select(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION, 5));
    EXPECT_EQ(5, reader.focus());
    EXPECT_EQ(std::make_pair(S_OK, 5L), reader.selection());
    EXPECT_EQ(E_INVALIDARG, reader.select(SELFLAG_EXTENDSELECTION, 3));
    EXPECT_EQ(E_INVALIDARG, reader.select(SELFLAG_TAKEFOCUS, CHILDID_SELF));
    EXPECT_EQ(E_INVALIDARG, reader.select(SELFLAG_TAKEFOCUS, 7));
    EXPECT_EQ(5, reader.focus());
    EXPECT_EQ(std::make_pair(S_FALSE, false), reader.child(3));
    EXPECT_EQ(E_INVALIDARG, reader.child(7).first);
    EXPECT_TRUE(reader.hasWindowAsParent());

    // Another window takes the keyboard focus: the box stays selected, and is no longer focused.
    const HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
                                       100, NULL, NULL, NULL, NULL);
    ASSERT_NE(nullptr, other);
    ASSERT_TRUE(bringToFront(other));
    EXPECT_TRUE(pumpUntil(3000, [&] { return reader.focus() == -1; }));
    EXPECT_EQ(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_SELECTED,
              reader.number(&IAccessible::get_accState, 5));
    ASSERT_TRUE(bringToFront(window));
    EXPECT_TRUE(pumpUntil(3000, [&] { return reader.focus() == 5; }));
    EXPECT_EQ(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED,
              reader.number(&IAccessible::get_accState, 5));
    DestroyWindow(other);
}

// Without the system's accessibility library the checker starts and its panel works by
// keyboard; a reader then finds the plain client area any window has.
TEST_F(DeviceListTest, WithoutTheAccessibilityLibraryThePanelStillWorks) {
    const CheckerDllOverrides missing({L"oleacc"}, L"");
    start();
    command(200);
    PanelReader reader(checker->mainWindow());
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(ROLE_SYSTEM_CLIENT, reader.number(&IAccessible::get_accRole, CHILDID_SELF));
    ASSERT_TRUE(pressKeys(checker->mainWindow(), {VK_RIGHT}));
    ASSERT_TRUE(pressKeys(checker->mainWindow(), {VK_APPS}));
    EXPECT_EQ(2u, closeMenu(waitForMenu()).size()) << "the focus did not move to the recording box";
}

TEST_F(DeviceListTest, AMoveToAMonitorOfAnotherScaleRepaintsAtIt) {
    start();
    command(200);
    RECT before, after;
    GetWindowRect(checker->mainWindow(), &before);
    ASSERT_EQ(Lines{L"sent|144"}, checker->probe("probeScaleTo144"));
    GetWindowRect(checker->mainWindow(), &after);
    EXPECT_EQ(before.left, after.left);  // the suggested rectangle, taken as it is
    EXPECT_EQ(1000, after.right - after.left);
    EXPECT_EQ(700, after.bottom - after.top);
    // The playback column at 150 %, painted and hit.
    const PanelScale& at = kPanelScales[1];
    const Capture s = shot();
    EXPECT_EQ(Runs(at.boxColumns.begin(), at.boxColumns.begin() + 2), runsAlong(s, true, at.edgeRow, 0, 580, boxPen));
    EXPECT_EQ(at.boxRows, runsAlong(s, false, at.edgeColumn, 0, s.height - 1, boxPen));
    EXPECT_EQ(7u, rightClick(at.hits[0].x, at.hits[0].y).size());
    EXPECT_EQ(Lines(), rightClick(at.misses[2].x, at.misses[2].y));
    // The log view in the font for 150 %.
    command(200);
    bool font24 = false;
    for (const std::wstring& l : checker->probe()) font24 |= l == L"log-font|Courier New|24|400";
    EXPECT_TRUE(font24);
}

TEST_F(DeviceListTest, PlaybackAt48kHz) {
    start();
    command(200);
    const RECT band = scale->formatLine;
    EXPECT_TRUE(anyPixel(shot(), band.left, band.top, band.right, band.bottom, reddish));
    command(231);
    EXPECT_EQ(48000u, storedRate(render(0), kStoreValue.oemFormat));
    EXPECT_EQ(48000u, storedRate(render(1), kStoreValue.deviceFormat));
    EXPECT_EQ(48000u, storedRate(render(1), kStoreValue.oemFormat));
    EXPECT_EQ(44100u, storedRate(capture(1), kStoreValue.deviceFormat));  // recording untouched
    EXPECT_FALSE(anyPixel(shot(), band.left, band.top, band.right, band.bottom, reddish)) << "the panel was not refreshed";
    EXPECT_EQ(nullptr, checker->waitForDialog(300));
}

TEST_F(DeviceListTest, ARefusedWriteStopsTheCommandAndShowsTheErrorOnce) {
    start();
    command(200);
    TestRegistry::denyWrites(render(1));
    command(231);
    HWND box = checker->waitForDialog(5000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"Error", windowText(box));
    EXPECT_EQ(48000u, storedRate(render(0), kStoreValue.oemFormat));    // the first record was changed
    EXPECT_EQ(44100u, storedRate(render(1), kStoreValue.deviceFormat));  // the second refused
    EXPECT_TRUE(pressOk(box));
    EXPECT_EQ(nullptr, checker->waitForDialog(500));
    // Refreshed all the same: the panel shows what the registry holds, the first row now at
    // 48 kHz in both values (no longer red).
    EXPECT_FALSE(anyPixel(shot(), scale->formatLine.left, scale->formatLine.top, scale->formatLine.right,
                          scale->formatLine.bottom, reddish));
}

// Two rows already at 48 kHz and an entry of the third gone while the panel is shown: nothing
// needs writing and nothing is refused, so no box asks for administrator rights.
TEST_F(DeviceListTest, NoErrorBoxWhenNothingNeededWriting) {
    for (int row : {0, 1}) {
        setFormats(render(row), formatValue(2, 48000, 16), formatValue(2, 48000, 16));
        setFormats(capture(row), formatValue(2, 48000, 16), formatValue(2, 48000, 16));
    }
    start();
    command(200);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, capture(2).c_str()));
    command(211);
    EXPECT_EQ(nullptr, checker->waitForDialog(1000)) << "an error box although nothing needed writing";
    EXPECT_EQ(48000u, storedRate(render(2), kStoreValue.deviceFormat));
    HKEY gone;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, capture(2).c_str(), 0, KEY_READ, &gone))
        << "the entry that went was created again";
}

TEST_F(DeviceListTest, AFormatCommandBeforeThePanelOnlyLoadsTheRows) {
    start();
    command(231);
    EXPECT_EQ(44100u, storedRate(render(1), kStoreValue.deviceFormat));
    EXPECT_TRUE(IsWindowVisible(checker->logView()));
    command(231);
    EXPECT_EQ(48000u, storedRate(render(1), kStoreValue.deviceFormat));
}

TEST_F(DeviceListTest, ShowingTwiceReturnsToTheLogView) {
    start();
    command(201);  // refresh while the log view is shown: nothing
    EXPECT_TRUE(IsWindowVisible(checker->logView()));
    EXPECT_FALSE(item200Checked());
    command(200);
    ASSERT_TRUE(SetWindowPos(checker->mainWindow(), NULL, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER));
    checker->waitIdle();
    command(200);
    EXPECT_FALSE(item200Checked());
    EXPECT_TRUE(IsWindowVisible(checker->logView()));
    RECT client, view;
    GetClientRect(checker->mainWindow(), &client);
    GetWindowRect(checker->logView(), &view);
    EXPECT_EQ(client.right, view.right - view.left);
    EXPECT_EQ(client.bottom, view.bottom - view.top);
}

// The last access time of a file, or one set into the past; -1 when it cannot be read.
int64_t lastAccess(const std::wstring& path, const FILETIME* set = nullptr) {
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return -1;
    FILETIME accessed = {0, 0};
    if (set) SetFileTime(file, NULL, set, NULL);
    const BOOL read = GetFileTime(file, NULL, &accessed, NULL);
    CloseHandle(file);
    return read ? int64_t(accessed.dwHighDateTime) << 32 | accessed.dwLowDateTime : -1;
}

// Icon paths on another machine, as icon files and as files with icon resources, in every UNC
// form: the checker draws no icon for them and never opens them (under Wine a share is a folder
// of the prefix, which the test fills with the same icons and whose files' access times it
// watches).
TEST_F(DeviceListTest, IconsOnAnotherMachineAreNeverOpened) {
    const std::wstring share = wineShareFolder(L"hvserver", L"icons");
    ASSERT_FALSE(share.empty());
    const std::wstring icon = programIcon();
    const std::string driver = programFolder() + "driver_icons.dll";
    ASSERT_TRUE(CopyFileW(icon.c_str(), (share + L"\\halvane.ico").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(std::wstring(driver.begin(), driver.end()).c_str(), (share + L"\\driver.dll").c_str(), FALSE));
    SYSTEMTIME longAgo = {2001, 1, 1, 1, 0, 0, 0, 0};
    FILETIME past;
    SystemTimeToFileTime(&longAgo, &past);
    const int64_t iconAccessed = lastAccess(share + L"\\halvane.ico", &past);
    const int64_t driverAccessed = lastAccess(share + L"\\driver.dll", &past);
    ASSERT_NE(-1, iconAccessed);
    registry.setString(render(0), kStoreValue.iconPath, L"\\\\hvserver\\icons\\halvane.ico");
    registry.setString(render(2), kStoreValue.iconPath, L"\\\\?\\UNC\\hvserver\\icons\\driver.dll,-100");
    registry.setString(capture(2), kStoreValue.iconPath, L"//hvserver/icons/driver.dll,-101");
    registry.setString(capture(1), kStoreValue.iconPath, L"\\\\.\\UNC\\hvserver\\icons\\driver.dll,-1");
    start();
    command(200);
    const Capture s = shot();
    const PanelScale& at = *scale;
    EXPECT_FALSE(anyPixel(s, at.boxColumns[0].first, at.boxRows[0].first, at.edgeColumn, at.boxRows[1].first, blueish));
    for (const POINT& centre : at.iconCentre)
        EXPECT_NE(at.iconColour, s.at(centre.x, centre.y)) << centre.x << "," << centre.y;
    command(201);  // "Refresh Device List" loads them again
    EXPECT_EQ(iconAccessed, lastAccess(share + L"\\halvane.ico"));
    EXPECT_EQ(driverAccessed, lastAccess(share + L"\\driver.dll"));
}

}  // namespace
