#include "app/device_list_panel.h"

#include <stdio.h>
#include <wchar.h>

#include "app/app_state.h"
#include "app/display_scale.h"
#include "app/panel_icons.h"
#include "base/owners.h"
#include "base/text.h"

namespace {

struct PanelResources {
    GdiObject<HBRUSH> titleBrush;
    GdiObject<HPEN> titlePen;
    GdiObject<HBRUSH> boxBrush;
    GdiObject<HPEN> boxPen;
    GdiObject<HBRUSH> badgeBrush;
    GdiObject<HFONT> textFont;
    GdiObject<HFONT> formatFont;
    int fontDpi;  // the DPI the two fonts were made for
} g_res;

const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kGrey = RGB(84, 84, 84);
const COLORREF kRed = RGB(204, 40, 20);

// What the panel paints with: its own brushes, pens and colours, or in high contrast the
// system's window colour for every fill, its window text colour for every line and text, grey
// text for the second line, and the highlight colour where the format line is otherwise red.
struct Palette {
    HBRUSH titleBrush, boxBrush, badgeBrush;
    HPEN titlePen, boxPen;
    COLORREF text, grey, apart;
};

bool highContrast() {
    HIGHCONTRASTW setting;
    ZeroMemory(&setting, sizeof(setting));
    setting.cbSize = sizeof(setting);
    return g_panelSystemApi.systemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(setting), &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON);
}

// In high contrast the DC's own brush and pen carry the system colours, so nothing is created.
Palette paletteFor(HDC dc) {
    if (!highContrast())
        return Palette{g_res.titleBrush.get(), g_res.boxBrush.get(), g_res.badgeBrush.get(), g_res.titlePen.get(),
                       g_res.boxPen.get(),     kBlack,               kGrey,                  kRed};
    SetDCBrushColor(dc, g_panelSystemApi.getSysColor(COLOR_WINDOW));
    SetDCPenColor(dc, g_panelSystemApi.getSysColor(COLOR_WINDOWTEXT));
    HBRUSH fill = static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
    HPEN line = static_cast<HPEN>(GetStockObject(DC_PEN));
    return Palette{fill, fill, fill, line, line, g_panelSystemApi.getSysColor(COLOR_WINDOWTEXT),
                   g_panelSystemApi.getSysColor(COLOR_GRAYTEXT), g_panelSystemApi.getSysColor(COLOR_HIGHLIGHT)};
}

HFONT arial(int height, int weight) {
    LOGFONTA font;
    ZeroMemory(&font, sizeof(font));
    font.lfHeight = height;
    font.lfWeight = weight;
    lstrcpynA(font.lfFaceName, "Arial", LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

// Left, top, right and bottom of the 96-DPI design at the DPI.
RECT scaledRect(int left, int top, int right, int bottom, int dpi) {
    const RECT r = {scaledPixels(left, dpi), scaledPixels(top, dpi), scaledPixels(right, dpi), scaledPixels(bottom, dpi)};
    return r;
}

void textLine(HDC dc, const wchar_t* text, RECT area, COLORREF colour, UINT flags) {
    SetTextColor(dc, colour);
    DrawTextW(dc, text, -1, &area, flags | DT_SINGLELINE | DT_NOPREFIX);
}

// Places in a box, of the 96-DPI design, from the box's left and top: the text lines run from
// TEXT_LEFT to TEXT_RIGHT, a little before the badges, so that no text is ever under one.
enum {
    TEXT_LEFT = 60,
    TEXT_RIGHT = 336,
    BADGE_LEFT = 340,
    BADGE_WIDTH = 30,
    BADGE_HEIGHT = 15,
    EX_BADGE_TOP = 5,
    P_BADGE_TOP = 25,
};
// The three text lines: their tops (the last one ends with the box).
const int kLineTops[] = {3, 18, 34, PANEL_BOX_HEIGHT};

// A text line of a box, in the font selected; cut at a whole character with an ellipsis where it
// does not fit.
void boxLine(HDC dc, const wchar_t* text, int left, int top, int line, int dpi, COLORREF colour) {
    textLine(dc, text,
             scaledRect(left + TEXT_LEFT, top + kLineTops[line], left + TEXT_RIGHT, top + kLineTops[line + 1], dpi),
             colour, DT_LEFT | DT_END_ELLIPSIS);
}

// Right and bottom edges outside, as painted.
bool inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// left and top in design pixels.
void badge(HDC dc, const wchar_t* text, int left, int top, int dpi, COLORREF colour) {
    const RECT r = scaledRect(left, top, left + BADGE_WIDTH, top + BADGE_HEIGHT, dpi);
    const int corner = scaledPixels(5, dpi);
    RoundRect(dc, r.left, r.top, r.right, r.bottom, corner, corner);
    textLine(dc, text, r, colour, DT_CENTER | DT_VCENTER);
}

// The text fonts for the DPI, made again only when it changes (another monitor).
void useFontsFor(int dpi) {
    if (g_res.fontDpi == dpi && g_res.textFont.get()) return;
    g_res.textFont.reset(arial(scaledPixels(16, dpi), 400));
    g_res.formatFont.reset(arial(scaledPixels(14, dpi), 700));
    g_res.fontDpi = dpi;
}

// left and top in pixels of the 96-DPI design.
void paintDeviceBox(HDC dc, int left, int top, const EndpointRegistryRecord& record, int dpi) {
    useFontsFor(dpi);
    const Palette colours = paletteFor(dc);
    DcSelection brush(dc, colours.boxBrush), pen(dc, colours.boxPen), font(dc, g_res.textFont.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colours.text);
    const int right = left + PANEL_BOX_WIDTH;
    const RECT box = scaledRect(left, top, right, top + PANEL_BOX_HEIGHT, dpi);
    Rectangle(dc, box.left, box.top, box.right, box.bottom);

    const int iconSize = scaledPixels(48, dpi);
    const IconHandle icon(record.iconPath[0] ? loadEndpointIcon(record.iconPath, iconSize, g_app.is64BitWindows)
                                             : NULL);
    if (icon.get())
        DrawIconEx(dc, scaledPixels(left + 1, dpi), scaledPixels(top + 1, dpi), icon.get(), iconSize, iconSize, 0, NULL,
                   DI_NORMAL);

    boxLine(dc, record.endpointDescription, left, top, 0, dpi, colours.text);
    boxLine(dc, record.adapterName, left, top, 1, dpi, colours.grey);

    SelectObject(dc, g_res.formatFont.get());
    wchar_t line[FORMAT_LINE_CAPACITY];
    formatLineText(record, line, FORMAT_LINE_CAPACITY);
    boxLine(dc, line, left, top, 2, dpi, formatDiffersFromDefault(record) ? colours.apart : colours.grey);

    SelectObject(dc, colours.badgeBrush);
    if (record.flags & ENDPOINT_EXCLUSIVE_ON) badge(dc, L"Ex", left + BADGE_LEFT, top + EX_BADGE_TOP, dpi, colours.text);
    if (record.flags & ENDPOINT_PRIORITY_ON) badge(dc, L"P", left + BADGE_LEFT, top + P_BADGE_TOP, dpi, colours.text);
}

}  // namespace

void createPanelResources() {
    g_res.titleBrush.reset(CreateSolidBrush(RGB(230, 230, 230)));
    g_res.titlePen.reset(CreatePen(PS_SOLID, 0, RGB(230, 230, 230)));
    g_res.boxBrush.reset(CreateSolidBrush(RGB(255, 255, 255)));
    g_res.boxPen.reset(CreatePen(PS_SOLID, 0, RGB(180, 180, 180)));
    g_res.badgeBrush.reset(CreateSolidBrush(RGB(230, 230, 230)));
    useFontsFor(systemDpi());
}

void deletePanelResources() { g_res = PanelResources(); }

PanelSystemApi g_panelSystemApi = {SystemParametersInfoW, GetSysColor};

void paintPanel(HDC dc, int dpi, PanelBox focusBox) {
    useFontsFor(dpi);
    const Palette colours = paletteFor(dc);
    DcSelection brush(dc, colours.titleBrush), pen(dc, colours.titlePen), font(dc, g_res.textFont.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colours.text);
    const struct {
        int left;
        const wchar_t* text;
    } titles[] = {{PANEL_PLAYBACK_LEFT, L"Playback Devices (Halvane Driver only)"},
                  {PANEL_RECORDING_LEFT, L"Recording Devices (Halvane Driver only)"}};
    for (const auto& title : titles) {
        const RECT r = scaledRect(title.left, 5, title.left + PANEL_BOX_WIDTH, 25, dpi);
        Rectangle(dc, r.left, r.top, r.right, r.bottom);
        textLine(dc, title.text, r, colours.text, DT_CENTER | DT_VCENTER);
    }
    const EndpointRegistryTable& table = *panelTable();
    for (int row = 0; row < table.pairCount && row < ENDPOINT_TABLE_SIZE; ++row) {
        const int top = PANEL_FIRST_BOX_TOP + PANEL_ROW_PITCH * row;
        paintDeviceBox(dc, PANEL_PLAYBACK_LEFT, top, table.renderEntries[row], dpi);
        paintDeviceBox(dc, PANEL_RECORDING_LEFT, top, table.captureEntries[row], dpi);
    }
    // Inside the box's border, clear of it at every scale.
    if (panelBoxLoaded(focusBox)) {
        RECT focus = panelBoxRect(focusBox, dpi);
        InflateRect(&focus, -scaledPixels(2, dpi), -scaledPixels(2, dpi));
        DrawFocusRect(dc, &focus);
    }
}

void formatLineText(const EndpointRegistryRecord& record, wchar_t* line, int capacity) {
    if (capacity <= 0) return;
    const WaveFormat device(record.deviceFormatHeader), oem(record.oemFormatHeader);
    int length = _snwprintf(line, capacity, L"%i Hz, %i bits, %i Ch", int(device.sampleRate()), int(device.bits()),
                            int(device.channels()));
    if (oem.sampleRate() != 0 && length > 0 && length < capacity)
        _snwprintf(line + length, capacity - length, L" (%i Hz, %i bits, %i Ch)", int(oem.sampleRate()),
                   int(oem.bits()), int(oem.channels()));
    line[capacity - 1] = 0;
}

bool formatDiffersFromDefault(const EndpointRegistryRecord& record) {
    return WaveFormat(record.oemFormatHeader).sampleRate() != WaveFormat(record.deviceFormatHeader).sampleRate();
}

HFONT panelTextFont(int dpi) {
    useFontsFor(dpi);
    return g_res.textFont.get();
}

bool panelTipAt(HDC dc, int x, int y, int dpi, wchar_t* text, int capacity, RECT* place) {
    if (capacity <= 0) return false;
    text[0] = 0;
    for (int index = 0; index < panelBoxCount(); ++index) {
        const PanelBox box = panelBoxAt(index);
        const RECT bounds = panelBoxRect(box, dpi);
        if (!inside(bounds, x, y)) continue;
        const EndpointRegistryRecord& record = *panelRecord(box);
        const int left = box.playback() ? PANEL_PLAYBACK_LEFT : PANEL_RECORDING_LEFT;
        const int top = PANEL_FIRST_BOX_TOP + PANEL_ROW_PITCH * box.row();
        // What a badge means.
        const struct {
            uint32_t flag;
            int top;
            const wchar_t* meaning;
        } badges[] = {{ENDPOINT_EXCLUSIVE_ON, EX_BADGE_TOP, L"Exclusive mode allowed"},
                      {ENDPOINT_PRIORITY_ON, P_BADGE_TOP, L"Exclusive mode has priority"}};
        for (const auto& b : badges) {
            *place = scaledRect(left + BADGE_LEFT, top + b.top, left + BADGE_LEFT + BADGE_WIDTH,
                                top + b.top + BADGE_HEIGHT, dpi);
            if ((record.flags & b.flag) && inside(*place, x, y)) {
                copyText(text, b.meaning, size_t(capacity));
                return true;
            }
        }
        // The whole text of a line cut with an ellipsis.
        wchar_t format[FORMAT_LINE_CAPACITY];
        formatLineText(record, format, FORMAT_LINE_CAPACITY);
        const wchar_t* const lines[] = {record.endpointDescription, record.adapterName, format};
        for (int line = 0; line < 3; ++line) {
            *place = scaledRect(left + TEXT_LEFT, top + kLineTops[line], left + TEXT_RIGHT, top + kLineTops[line + 1], dpi);
            if (!inside(*place, x, y)) continue;
            const DcSelection font(dc, line < 2 ? g_res.textFont.get() : g_res.formatFont.get());
            RECT needed = {0, 0, 0, 0};
            DrawTextW(dc, lines[line], -1, &needed, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
            if (needed.right <= place->right - place->left) return false;
            copyText(text, lines[line], size_t(capacity));
            return true;
        }
        return false;
    }
    return false;
}
