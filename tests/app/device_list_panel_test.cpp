#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "app/app_state.h"
#include "app/device_list_panel.h"
#include "checker_remote/checker_remote.h"
#include "base/owners.h"
#include "sources/store/endpoint_store.h"
#include "support/golden.h"

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

// A format header at a rate (16-bit stereo unless told otherwise).
void putFormat(uint8_t* header, uint32_t rate, uint16_t bits = 16, uint16_t channels = 2) {
    const uint8_t bytes[16] = {0xFE, 0xFF, uint8_t(channels), 0, uint8_t(rate), uint8_t(rate >> 8), uint8_t(rate >> 16),
                               0, 0, 0, 0, 0, 4, 0, uint8_t(bits), 0};
    memcpy(header, bytes, sizeof(bytes));
}

// One row painted at 96 DPI: the playback box at 48 kHz against a 44.1 kHz default (the line
// apart) with the "Ex" badge, the recording box at 48 kHz with no adapter name.
Capture paintedRow(PanelBox focusBox) {
    ZeroMemory(panelTable(), sizeof(*panelTable()));
    EndpointRegistryRecord& playback = panelTable()->renderEntries[0];
    lstrcpyW(playback.endpointDescription, L"Speakers");
    lstrcpyW(playback.adapterName, L"Card");
    playback.flags = ENDPOINT_PLAYBACK | ENDPOINT_EXCLUSIVE_ON;
    putFormat(playback.deviceFormatHeader, 48000);
    putFormat(playback.oemFormatHeader, 44100);
    EndpointRegistryRecord& recording = panelTable()->captureEntries[0];
    lstrcpyW(recording.endpointDescription, L"Microphone");
    putFormat(recording.deviceFormatHeader, 48000);
    putFormat(recording.oemFormatHeader, 48000);
    panelTable()->pairCount = 1;
    const Capture picture = drawOffscreen(780, 90, 0x800080, [&](HDC dc) {
        createPanelResources();
        paintPanel(dc, 96, focusBox);
        deletePanelResources();
    });
    ZeroMemory(panelTable(), sizeof(*panelTable()));
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
    const Capture contrast = paintedRow(NO_PANEL_BOX), focused = paintedRow(PanelBox::of(0, false));
    g_panelSystemApi = windows;
    const Capture own = paintedRow(NO_PANEL_BOX);

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

// Ink of the panel's texts (black, grey, red), not of the boxes' pen or the badges' fill.
bool textInk(uint32_t p) {
    const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
    return (r < 150 && abs(r - g) < 24 && abs(r - b) < 24) || (r > 150 && g < 110 && b < 110);
}

// The width of a text in Arial of a height and weight at the DPI, as GDI measures it here.
int textWidth(const wchar_t* text, int height, int weight, int dpi) {
    LOGFONTW font;
    ZeroMemory(&font, sizeof(font));
    font.lfHeight = MulDiv(height, dpi, 96);
    font.lfWeight = weight;
    lstrcpyW(font.lfFaceName, L"Arial");
    const WindowDc screen(NULL);
    const GdiObject<HFONT> handle(CreateFontIndirectW(&font));
    const DcSelection selected(screen.get(), handle.get());
    SIZE size = {0, 0};
    GetTextExtentPoint32W(screen.get(), text, lstrlenW(text), &size);
    return size.cx;
}

// Every long format line, a long name and a long adapter name, at 100 %, 150 % and 200 %: the
// text of a box ends before the badges, where they are drawn (recording) and where they would
// be (playback), cut with an ellipsis wherever it reaches them. In the 96-DPI design a box spans
// from its left edge (5, 390) 375 pixels, its text starts 60 in and the badges 340 in, row 0 is 30
// to 80, its lines start 3, 18 and 34 down, the "Ex" badge spans 5 to 20 down and the "P" badge
// 25 to 40.
TEST(PanelText, EndsBeforeTheBadgesWithAnEllipsisAtEveryScale) {
    const wchar_t* const name = L"Studio monitors on the desk, left and right, as the user named them";
    const wchar_t* const adapter = L"Halvane Virtual Vesso Audio Device for the studio (WDM, 64-bit)";
    const uint32_t rates[] = {44100, 48000, 96000, 176400, 192000, 352800, 384000};
    const uint16_t bits[] = {16, 24, 32};
    const uint16_t channels[] = {2, 6, 8};
    int cutFormats = 0, wholeFormats = 0;
    for (int dpi : {96, 144, 192}) {
        auto at = [dpi](int design) { return MulDiv(design, dpi, 96); };
        for (uint32_t rate : rates)
            for (uint16_t bit : bits)
                for (uint16_t channel : channels) {
                    ZeroMemory(panelTable(), sizeof(*panelTable()));
                    panelTable()->pairCount = 1;
                    for (EndpointRegistryRecord* r : {&panelTable()->renderEntries[0],
                                                      &panelTable()->captureEntries[0]}) {
                        lstrcpyW(r->endpointDescription, name);
                        lstrcpyW(r->adapterName, adapter);
                        putFormat(r->deviceFormatHeader, rate, bit, channel);
                        putFormat(r->oemFormatHeader, rate == 384000 ? 352800 : 384000, bit, channel);
                    }
                    panelTable()->captureEntries[0].flags = ENDPOINT_EXCLUSIVE_ON | ENDPOINT_PRIORITY_ON;
                    wchar_t format[FORMAT_LINE_CAPACITY];
                    formatLineText(panelTable()->renderEntries[0], format, FORMAT_LINE_CAPACITY);
                    const Capture picture = drawOffscreen(at(780), at(90), 0xFFFFFF, [&](HDC dc) {
                        createPanelResources();
                        paintPanel(dc, dpi, NO_PANEL_BOX);
                        deletePanelResources();
                    });
                    const std::string what = std::to_string(dpi) + " DPI, " + toUtf8(format);
                    for (int left : {5, 390}) {
                        const bool badges = left == 390;
                        const int badgeLeft = at(left + 340), boxRight = at(left + 375) - 1;
                        const int lineTops[] = {3, 18, 34, 50};
                        const wchar_t* const texts[] = {name, adapter, format};
                        for (int line = 0; line < 3; ++line) {
                            // Where badges are drawn, their letters are theirs: the line is read up
                            // to them, and what lies between and around them below.
                            const RECT band = {at(left + 60), at(30 + lineTops[line]), badges ? badgeLeft : boxRight,
                                               at(30 + lineTops[line + 1])};
                            const LineEnd end = lineEnd(picture, band, textInk);
                            EXPECT_LT(end.lastInk, badgeLeft) << what << ", line " << line << " at " << left;
                            const int width = textWidth(texts[line], line < 2 ? 16 : 14, line < 2 ? 400 : 700, dpi);
                            const int room = badgeLeft - at(left + 60);
                            if (width > room) EXPECT_TRUE(end.ellipsis) << what << ", line " << line << " at " << left;
                            if (width <= room - at(8)) EXPECT_FALSE(end.ellipsis) << what << ", line " << line;
                            if (line == 2 && left == 5) (width > room ? cutFormats : wholeFormats) += 1;
                        }
                        if (!badges) continue;
                        for (int y = at(31); y < at(79); ++y) {
                            const bool inBadge = (y >= at(35) && y <= at(50)) || (y >= at(55) && y <= at(70));
                            for (int x = badgeLeft; x < boxRight && !inBadge; ++x)
                                ASSERT_FALSE(textInk(picture.at(x, y))) << what << ": ink at " << x << "," << y;
                        }
                    }
                }
    }
    ZeroMemory(panelTable(), sizeof(*panelTable()));
    // Both kinds of format line were met: cut ones and whole ones.
    EXPECT_GT(cutFormats, 0);
    EXPECT_GT(wholeFormats, 0);
}

}  // namespace
