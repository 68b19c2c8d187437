#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/checker_driver.h"
#include "sources/store/endpoint_store.h"
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

uint32_t storedRate(const std::wstring& path, const wchar_t* value) {
    HKEY key;
    uint8_t bytes[256] = {0};
    DWORD size = sizeof(bytes);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    RegQueryValueExW(key, value, NULL, NULL, bytes, &size);
    RegCloseKey(key);
    return uint32_t(bytes[12]) | uint32_t(bytes[13]) << 8 | uint32_t(bytes[14]) << 16;
}

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

bool reddish(uint32_t p) { return (p >> 16 & 0xFF) > 150 && (p >> 8 & 0xFF) < 110 && (p & 0xFF) < 110; }
bool darkGrey(uint32_t p) {
    const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
    return r < 160 && abs(r - g) < 20 && abs(r - b) < 20;
}
bool blueish(uint32_t p) { return (p & 0xFF) > 150 && (p >> 16 & 0xFF) < 100; }

// Three catalogued drivers registered in the endpoint store: the first two with icon files, the
// third with icons inside its driver file; formats and exclusive-mode settings chosen per box.
class DeviceListTest : public testing::Test {
protected:
    void SetUp() override {
        // The program's own icon file, as a Windows path on drive Z:, where Wine shows "/".
        std::wstring icon = std::wstring(L"Z:") + HV_SOURCE_DIR L"/app/halvane.ico";
        for (wchar_t& c : icon)
            if (c == L'/') c = L'\\';
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
        registry.setDword(render(0), PROP_EXCLUSIVE_FIRST, 1);
        registry.setDword(render(0), PROP_EXCLUSIVE_SECOND, 0);
        setFormats(capture(0), formatValue(2, 48000, 16), formatValue(2, 48000, 16));
        // Row 1: equal rates but other bit depths (grey); recording with "P" only.
        setFormats(render(1), formatValue(2, 44100, 16), formatValue(2, 44100, 24));
        setFormats(capture(1), formatValue(2, 44100, 16), formatValue(2, 44100, 16));
        registry.setDword(capture(1), PROP_EXCLUSIVE_FIRST, 0);
        registry.setDword(capture(1), PROP_EXCLUSIVE_SECOND, 1);
        setFormats(render(2), formatValue(2, 48000, 16), formatValue(2, 48000, 16));
        setFormats(capture(2), formatValue(2, 48000, 16), formatValue(2, 48000, 16));
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
        registry.setBinary(path, PROP_DEVICE_FORMAT, device);
        registry.setBinary(path, PROP_OEM_FORMAT, oem);
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
        HWND popup = NULL;
        waitFor(1500, [&] {
            for (HWND w : windowsOfProcess(checker->id(), L"#32768"))
                if (IsWindowVisible(w)) popup = w;
            return popup != NULL;
        });
        if (!popup) return Lines();
        Lines items = checker->probe("probePopupMenu");
        PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
        waitFor(3000, [&] { return !IsWindowVisible(popup); });
        checker->waitIdle();
        return items;
    }

    TestRegistry registry;
    std::unique_ptr<CheckerProcess> checker;
};

TEST_F(DeviceListTest, PanelPaintsTheRows) {
    start();
    command(200);
    EXPECT_TRUE(item200Checked());
    EXPECT_FALSE(IsWindowVisible(checker->logView()));
    const Capture s = shot();
    ASSERT_GT(s.width, 765);
    // Titles and boxes.
    EXPECT_TRUE(closeTo(s.at(8, 8), 230, 230, 230));
    EXPECT_TRUE(closeTo(s.at(393, 8), 230, 230, 230));
    for (int row = 0; row < 3; ++row) {
        const int top = 30 + 55 * row;
        EXPECT_TRUE(closeTo(s.at(5, top + 25), 180, 180, 180)) << "row " << row;
        EXPECT_TRUE(closeTo(s.at(379, top + 25), 180, 180, 180)) << "row " << row;
        EXPECT_TRUE(closeTo(s.at(390, top + 25), 180, 180, 180)) << "row " << row;
        EXPECT_TRUE(closeTo(s.at(62, top + 45), 255, 255, 255)) << "row " << row;
    }
    // Only three rows: below them, the window's background.
    EXPECT_FALSE(closeTo(s.at(5, 30 + 55 * 3 + 25), 180, 180, 180));
    // Format lines: red where the current rate is not the default one, grey otherwise.
    EXPECT_TRUE(anyPixel(s, 65, 64, 375, 80, reddish));
    EXPECT_FALSE(anyPixel(s, 450, 64, 760, 80, reddish));
    EXPECT_TRUE(anyPixel(s, 450, 64, 760, 80, darkGrey));
    EXPECT_FALSE(anyPixel(s, 65, 119, 375, 135, reddish));
    // Badges: "Ex" on row 0 playback, "P" alone on row 1 recording.
    EXPECT_TRUE(closeTo(s.at(5 + 343, 30 + 12), 230, 230, 230));
    EXPECT_TRUE(closeTo(s.at(5 + 343, 30 + 32), 255, 255, 255));
    EXPECT_TRUE(closeTo(s.at(390 + 343, 85 + 12), 255, 255, 255));
    EXPECT_TRUE(closeTo(s.at(390 + 343, 85 + 32), 230, 230, 230));
    // Icons: the icon file's blue, and the driver file's red icon resource (through Sysnative on
    // 64-bit Windows).
    EXPECT_TRUE(anyPixel(s, 6, 31, 54, 79, blueish));
    EXPECT_TRUE(closeTo(s.at(6 + 24, 140 + 1 + 24), 255, 0, 0));
    EXPECT_TRUE(closeTo(s.at(391 + 24, 140 + 1 + 24), 255, 0, 0));
    EXPECT_TRUE(closeTo(s.at(391 + 24, 85 + 1 + 24), 255, 0, 0));  // resource 1, from ",-1"
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
    EXPECT_EQ(playback, rightClick(5, 30));
    EXPECT_EQ(Lines(playback.begin(), playback.begin() + 2), rightClick(390, 140));
    EXPECT_EQ(Lines(), rightClick(385, 30));
    EXPECT_EQ(Lines(), rightClick(5, 81));
    // With the log view shown, a right click does nothing.
    command(200);
    EXPECT_EQ(Lines(), rightClick(5, 30));
}

TEST_F(DeviceListTest, PlaybackAt48kHz) {
    start();
    command(200);
    EXPECT_TRUE(anyPixel(shot(), 65, 64, 375, 80, reddish));
    command(231);
    EXPECT_EQ(48000u, storedRate(render(0), PROP_OEM_FORMAT));
    EXPECT_EQ(48000u, storedRate(render(1), PROP_DEVICE_FORMAT));
    EXPECT_EQ(48000u, storedRate(render(1), PROP_OEM_FORMAT));
    EXPECT_EQ(44100u, storedRate(capture(1), PROP_DEVICE_FORMAT));  // recording untouched
    EXPECT_FALSE(anyPixel(shot(), 65, 64, 375, 80, reddish)) << "the panel was not refreshed";
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
    EXPECT_EQ(48000u, storedRate(render(0), PROP_OEM_FORMAT));    // the first record was changed
    EXPECT_EQ(44100u, storedRate(render(1), PROP_DEVICE_FORMAT));  // the second refused
    EXPECT_TRUE(pressOk(box));
    EXPECT_EQ(nullptr, checker->waitForDialog(500));
    // Refreshed all the same: the panel shows what the registry holds, the first row now at
    // 48 kHz in both values (no longer red).
    EXPECT_FALSE(anyPixel(shot(), 65, 64, 375, 80, reddish));
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
    EXPECT_EQ(48000u, storedRate(render(2), PROP_DEVICE_FORMAT));
    HKEY gone;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, capture(2).c_str(), 0, KEY_READ, &gone))
        << "the entry that went was created again";
}

TEST_F(DeviceListTest, AFormatCommandBeforeThePanelOnlyLoadsTheRows) {
    start();
    command(231);
    EXPECT_EQ(44100u, storedRate(render(1), PROP_DEVICE_FORMAT));
    EXPECT_TRUE(IsWindowVisible(checker->logView()));
    command(231);
    EXPECT_EQ(48000u, storedRate(render(1), PROP_DEVICE_FORMAT));
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

}  // namespace
