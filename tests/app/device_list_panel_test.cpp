#include <gtest/gtest.h>

#include <stdlib.h>

#include "app/app_state.h"
#include "app/device_list_panel.h"
#include "driver/checker_driver.h"
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

// A 16-bit stereo format header at a rate.
void putFormat(uint8_t* header, uint32_t rate) {
    const uint8_t bytes[16] = {0xFE, 0xFF, 2, 0, uint8_t(rate), uint8_t(rate >> 8), uint8_t(rate >> 16), 0,
                               0,    0,    0, 0, 4,            0,                  16,                  0};
    memcpy(header, bytes, sizeof(bytes));
}

// One row painted at 96 DPI: the playback box at 48 kHz against a 44.1 kHz default (the line
// apart) with the "Ex" badge, the recording box at 48 kHz with no adapter name.
Capture paintedRow(int focusBox) {
    ZeroMemory(&g_app.endpointTable, sizeof(g_app.endpointTable));
    EndpointRegistryRecord& playback = g_app.endpointTable.renderEntries[0];
    lstrcpyW(playback.endpointDescription, L"Speakers");
    lstrcpyW(playback.adapterName, L"Card");
    playback.flags = ENDPOINT_PLAYBACK | ENDPOINT_EXCLUSIVE_ON;
    putFormat(playback.deviceFormatHeader, 48000);
    putFormat(playback.oemFormatHeader, 44100);
    EndpointRegistryRecord& recording = g_app.endpointTable.captureEntries[0];
    lstrcpyW(recording.endpointDescription, L"Microphone");
    putFormat(recording.deviceFormatHeader, 48000);
    putFormat(recording.oemFormatHeader, 48000);
    g_app.endpointTable.pairCount = 1;
    const Capture picture = drawOffscreen(780, 90, 0x800080, [&](HDC dc) {
        createPanelResources();
        paintPanel(dc, 96, focusBox);
        deletePanelResources();
    });
    ZeroMemory(&g_app.endpointTable, sizeof(g_app.endpointTable));
    return picture;
}

// Some pixel of the area is within a few steps of the colour (0x00RRGGBB).
bool has(const Capture& picture, uint32_t colour, int left, int top, int right, int bottom) {
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            int off = 0;
            for (int shift : {0, 8, 16})
                off |= abs(int(picture.at(x, y) >> shift & 0xFF) - int(colour >> shift & 0xFF)) > 8;
            if (!off) return true;
        }
    return false;
}

TEST(PanelColours, HighContrastPaintsWithTheSystemColours) {
    const PanelSystemApi windows = g_panelSystemApi;
    g_panelSystemApi = PanelSystemApi{highContrastOn, blackScheme};
    const Capture contrast = paintedRow(0), focused = paintedRow(PANEL_RECORDING_BOX);
    g_panelSystemApi = windows;
    const Capture own = paintedRow(0);

    // Titles and boxes: window fill, window text lines, where the panel's own greys are otherwise.
    EXPECT_EQ(0xE6E6E6u, own.at(10, 8));
    EXPECT_EQ(0x000000u, contrast.at(10, 8));
    EXPECT_EQ(0xFFFFFFu, contrast.at(5, 15));
    EXPECT_EQ(0xB4B4B4u, own.at(5, 50));
    EXPECT_EQ(0xFFFFFFu, contrast.at(5, 50));
    EXPECT_EQ(0x000000u, contrast.at(300, 40));
    // The playback format line set apart in the highlight colour instead of red, the recording
    // one and the second line in grey text, the badge's text in window text.
    EXPECT_TRUE(has(own, 0xCC2814, 65, 64, 380, 80));
    EXPECT_TRUE(has(contrast, 0x1AEBFF, 65, 64, 380, 80));
    EXPECT_FALSE(has(contrast, 0xCC2814, 0, 0, 780, 90));
    EXPECT_TRUE(has(contrast, 0x3FF23F, 450, 64, 765, 80));
    EXPECT_TRUE(has(contrast, 0x3FF23F, 65, 48, 380, 64));
    EXPECT_TRUE(has(contrast, 0xFFFFFF, 350, 38, 370, 47));
    // The focus rectangle shows on the window colour too, inside its box only.
    EXPECT_FALSE(has(contrast, 0xFFFFFF, 700, 31, 760, 34));
    EXPECT_TRUE(has(focused, 0xFFFFFF, 700, 31, 760, 34));
    EXPECT_FALSE(has(focused, 0xFFFFFF, 300, 31, 360, 34));
}

}  // namespace
