#include <gtest/gtest.h>

#include <stdlib.h>

#include <vector>

#include "app/app_state.h"
#include "app/device_list_panel.h"
#include "sources/store/endpoint_store.h"

namespace {

// High Contrast Black as Windows 10 defines it, and its setting on.
DWORD WINAPI blackScheme(int index) {
    switch (index) {
    case COLOR_WINDOW: return RGB(0, 0, 0);
    case COLOR_WINDOWTEXT: return RGB(255, 255, 255);
    case COLOR_GRAYTEXT: return RGB(63, 242, 63);
    case COLOR_HIGHLIGHT: return RGB(26, 235, 255);
    default: return RGB(255, 0, 255);
    }
}
BOOL WINAPI highContrastOn(UINT action, UINT, PVOID value, UINT) {
    if (action != SPI_GETHIGHCONTRAST) return FALSE;
    static_cast<HIGHCONTRASTW*>(value)->dwFlags = HCF_HIGHCONTRASTON;
    return TRUE;
}

void putFormat(uint8_t* header, uint32_t rate) {
    const uint8_t bytes[18] = {0xFE, 0xFF, 2, 0, uint8_t(rate), uint8_t(rate >> 8), uint8_t(rate >> 16), 0, 0,
                               0,    0,    0, 4, 0, 16,          0};
    memcpy(header, bytes, sizeof(bytes));
}

// One row painted at 96 DPI on a background of a colour no scheme uses: the playback box at 48 kHz
// against a 44.1 kHz default (the line apart) with the "Ex" badge, the recording box at 48 kHz.
class PanelPicture {
public:
    explicit PanelPicture(int focusBox) {
        ZeroMemory(&g_app.endpointTable, sizeof(g_app.endpointTable));
        EndpointRegistryRecord& playback = g_app.endpointTable.renderEntries[0];
        EndpointRegistryRecord& recording = g_app.endpointTable.captureEntries[0];
        lstrcpyW(playback.endpointDescription, L"Speakers");
        lstrcpyW(playback.adapterName, L"Card");
        playback.flags = ENDPOINT_PLAYBACK | ENDPOINT_EXCLUSIVE_ON;
        putFormat(playback.deviceFormatHeader, 48000);
        putFormat(playback.oemFormatHeader, 44100);
        lstrcpyW(recording.endpointDescription, L"Microphone");
        putFormat(recording.deviceFormatHeader, 48000);
        putFormat(recording.oemFormatHeader, 48000);
        g_app.endpointTable.pairCount = 1;

        BITMAPINFO info;
        ZeroMemory(&info, sizeof(info));
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = NULL;
        HDC dc = CreateCompatibleDC(NULL);
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        HGDIOBJ previous = SelectObject(dc, bitmap);
        const RECT all = {0, 0, kWidth, kHeight};
        HBRUSH background = CreateSolidBrush(RGB(128, 0, 128));
        FillRect(dc, &all, background);
        createPanelResources();
        paintPanel(dc, 96, focusBox);
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        pixels_.assign(p, p + kWidth * kHeight);
        SelectObject(dc, previous);
        DeleteObject(background);
        DeleteObject(bitmap);
        DeleteDC(dc);
        deletePanelResources();
        ZeroMemory(&g_app.endpointTable, sizeof(g_app.endpointTable));
    }
    uint32_t at(int x, int y) const { return pixels_[size_t(y) * kWidth + x] & 0xFFFFFF; }
    // Some pixel of the area is within a few steps of the colour.
    bool has(COLORREF colour, int left, int top, int right, int bottom) const {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) {
                const uint32_t p = at(x, y);
                if (abs(int(p >> 16 & 0xFF) - GetRValue(colour)) <= 8 &&
                    abs(int(p >> 8 & 0xFF) - GetGValue(colour)) <= 8 && abs(int(p & 0xFF) - GetBValue(colour)) <= 8)
                    return true;
            }
        return false;
    }
    bool anywhere(COLORREF colour) const { return has(colour, 0, 0, kWidth, kHeight); }

    static const int kWidth = 780, kHeight = 90;

private:
    std::vector<uint32_t> pixels_;
};

// Pixels as 0x00RRGGBB.
uint32_t rgb(int r, int g, int b) { return uint32_t(r) << 16 | g << 8 | b; }

TEST(PanelColours, HighContrastPaintsWithTheSystemColours) {
    const PanelSystemApi windows = g_panelSystemApi;
    g_panelSystemApi = PanelSystemApi{highContrastOn, blackScheme};
    const PanelPicture contrast(0);
    const PanelPicture focused(PANEL_RECORDING_BOX);
    g_panelSystemApi = windows;
    const PanelPicture own(0);

    // Titles and boxes: window fill, window text lines, where the panel's own greys are otherwise.
    EXPECT_EQ(rgb(230, 230, 230), own.at(10, 8));
    EXPECT_EQ(rgb(0, 0, 0), contrast.at(10, 8));
    EXPECT_EQ(rgb(255, 255, 255), contrast.at(5, 15));
    EXPECT_EQ(rgb(180, 180, 180), own.at(5, 50));
    EXPECT_EQ(rgb(255, 255, 255), contrast.at(5, 50));
    EXPECT_EQ(rgb(0, 0, 0), contrast.at(300, 40));
    // The playback format line set apart in the highlight colour instead of red, the recording
    // one and the second line in grey text, the badge's text in window text.
    EXPECT_TRUE(own.has(RGB(204, 40, 20), 65, 64, 380, 80));
    EXPECT_TRUE(contrast.has(RGB(26, 235, 255), 65, 64, 380, 80));
    EXPECT_FALSE(contrast.anywhere(RGB(204, 40, 20)));
    EXPECT_TRUE(contrast.has(RGB(63, 242, 63), 450, 64, 765, 80));
    EXPECT_TRUE(contrast.has(RGB(63, 242, 63), 65, 48, 380, 64));
    EXPECT_TRUE(contrast.has(RGB(255, 255, 255), 350, 38, 370, 47));
    // The focus rectangle shows on the window colour too, inside the box only.
    EXPECT_FALSE(contrast.has(RGB(255, 255, 255), 700, 31, 760, 34));
    EXPECT_TRUE(focused.has(RGB(255, 255, 255), 700, 31, 760, 34));
    EXPECT_FALSE(focused.has(RGB(255, 255, 255), 300, 31, 360, 34));
}

}  // namespace
