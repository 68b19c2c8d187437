#include "app/device_list_panel.h"

#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "app/app_state.h"
#include "base/little_endian.h"
#include "base/owners.h"
#include "base/text.h"
#include "report/system_identification.h"

namespace {

struct PanelResources {
    GdiObject<HBRUSH> titleBrush;
    GdiObject<HPEN> titlePen;
    GdiObject<HBRUSH> boxBrush;
    GdiObject<HPEN> boxPen;
    GdiObject<HBRUSH> badgeBrush;
    GdiObject<HFONT> textFont;
    GdiObject<HFONT> formatFont;
} g_res;

const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kGrey = RGB(84, 84, 84);
const COLORREF kRed = RGB(204, 40, 20);

HFONT arial(int height, int weight) {
    LOGFONTA font;
    ZeroMemory(&font, sizeof(font));
    font.lfHeight = height;
    font.lfWeight = weight;
    lstrcpynA(font.lfFaceName, "Arial", LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

// Remembers the objects a device context had and puts them back.
class SelectedObjects {
public:
    SelectedObjects(HDC dc, HGDIOBJ brush, HGDIOBJ pen, HGDIOBJ font)
        : dc_(dc), brush_(SelectObject(dc, brush)), pen_(SelectObject(dc, pen)), font_(SelectObject(dc, font)) {}
    ~SelectedObjects() {
        SelectObject(dc_, brush_);
        SelectObject(dc_, pen_);
        SelectObject(dc_, font_);
    }

private:
    SelectedObjects(const SelectedObjects&);
    SelectedObjects& operator=(const SelectedObjects&);
    HDC dc_;
    HGDIOBJ brush_, pen_, font_;
};

// Fields of an 18-byte WAVEFORMATEX header.
uint32_t rateOf(const uint8_t* header) { return readLe32(header + WAVE_SAMPLES_PER_SEC); }
uint32_t bitsOf(const uint8_t* header) { return readLe16(header + WAVE_BITS_PER_SAMPLE); }
uint32_t channelsOf(const uint8_t* header) { return readLe16(header + WAVE_CHANNELS); }

// An icon resource of a file (a driver or program), by its identifier, loaded as data so that
// nothing of the file runs.
HICON loadIconResource(const wchar_t* path, int id) {
    HMODULE module = LoadLibraryExW(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return NULL;
    HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                               GetSystemMetrics(SM_CYICON), 0));
    FreeLibrary(module);
    return icon;
}

// The endpoint's icon: an icon file, or an icon inside a file ("path,index"; a negative index is
// a resource identifier), reached through Sysnative on 64-bit Windows. Null when there is none;
// never a count of icons.
HICON loadEndpointIcon(const wchar_t* iconPath) {
    HICON icon = static_cast<HICON>(LoadImageW(NULL, iconPath, IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
    if (icon) return icon;
    wchar_t path[512];
    copyText(path, iconPath, 512);
    if (g_app.is64BitWindows == 1) toSysnativePath(path, 512);
    long index = 0;
    if (wchar_t* comma = wcschr(path, L',')) {
        index = wcstol(comma + 1, NULL, 10);  // saturates instead of overflowing
        *comma = 0;
    }
    // ExtractIcon takes -1 as "how many icons", so every negative index is looked up as the
    // resource identifier it names; identifiers are 16-bit.
    if (index < 0) return index >= -0xFFFF ? loadIconResource(path, int(-index)) : NULL;
    icon = ExtractIconW(g_app.instance, path, UINT(index));
    // ExtractIcon answers 1 for a file that is no executable or icon file.
    return reinterpret_cast<UINT_PTR>(icon) > 1 ? icon : NULL;
}

void textLine(HDC dc, const wchar_t* text, int left, int top, int right, int bottom, COLORREF colour, UINT flags) {
    RECT area = {left, top, right, bottom};
    SetTextColor(dc, colour);
    DrawTextW(dc, text, -1, &area, flags | DT_SINGLELINE | DT_NOPREFIX);
}

void badge(HDC dc, const wchar_t* text, int left, int top) {
    RoundRect(dc, left, top, left + 30, top + 15, 5, 5);
    textLine(dc, text, left, top, left + 30, top + 15, kBlack, DT_CENTER | DT_VCENTER);
}

}  // namespace

void createPanelResources() {
    g_res.titleBrush.reset(CreateSolidBrush(RGB(230, 230, 230)));
    g_res.titlePen.reset(CreatePen(PS_SOLID, 0, RGB(230, 230, 230)));
    g_res.boxBrush.reset(CreateSolidBrush(RGB(255, 255, 255)));
    g_res.boxPen.reset(CreatePen(PS_SOLID, 0, RGB(180, 180, 180)));
    g_res.badgeBrush.reset(CreateSolidBrush(RGB(230, 230, 230)));
    g_res.textFont.reset(arial(16, 400));
    g_res.formatFont.reset(arial(14, 700));
}

void deletePanelResources() { g_res = PanelResources(); }

void paintPanel(HDC dc) {
    SelectedObjects saved(dc, g_res.titleBrush.get(), g_res.titlePen.get(), g_res.textFont.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kBlack);
    const struct {
        int left;
        const wchar_t* text;
    } titles[] = {{PANEL_PLAYBACK_LEFT, L"Playback Devices (Halvane Driver only)"},
                  {PANEL_RECORDING_LEFT, L"Recording Devices (Halvane Driver only)"}};
    for (const auto& title : titles) {
        Rectangle(dc, title.left, 5, title.left + PANEL_BOX_WIDTH, 25);
        textLine(dc, title.text, title.left, 5, title.left + PANEL_BOX_WIDTH, 25, kBlack, DT_CENTER | DT_VCENTER);
    }
    const EndpointRegistryTable& table = g_app.endpointTable;
    for (int row = 0; row < table.pairCount && row < ENDPOINT_TABLE_SIZE; ++row) {
        const int top = PANEL_FIRST_BOX_TOP + PANEL_ROW_PITCH * row;
        paintDeviceBox(dc, PANEL_PLAYBACK_LEFT, top, table.renderEntries[row]);
        paintDeviceBox(dc, PANEL_RECORDING_LEFT, top, table.captureEntries[row]);
    }
}

void paintDeviceBox(HDC dc, int left, int top, const EndpointRegistryRecord& record) {
    SelectedObjects saved(dc, g_res.boxBrush.get(), g_res.boxPen.get(), g_res.textFont.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kBlack);
    const int right = left + PANEL_BOX_WIDTH;
    Rectangle(dc, left, top, right, top + PANEL_BOX_HEIGHT);

    const IconHandle icon(record.iconPath[0] ? loadEndpointIcon(record.iconPath) : NULL);
    if (icon.get()) DrawIconEx(dc, left + 1, top + 1, icon.get(), 48, 48, 0, NULL, DI_NORMAL);

    textLine(dc, record.endpointDescription, left + 60, top + 3, right, top + 18, kBlack, DT_LEFT);
    textLine(dc, record.adapterName, left + 60, top + 18, right, top + 34, kGrey, DT_LEFT);

    SelectObject(dc, g_res.formatFont.get());
    const uint8_t* device = record.deviceFormatHeader;
    const uint8_t* oem = record.oemFormatHeader;
    wchar_t line[160];
    int length = _snwprintf(line, 160, L"%i Hz, %i bits, %i Ch", int(rateOf(device)), int(bitsOf(device)),
                            int(channelsOf(device)));
    if (rateOf(oem) != 0 && length > 0)
        _snwprintf(line + length, 160 - length, L" (%i Hz, %i bits, %i Ch)", int(rateOf(oem)), int(bitsOf(oem)),
                   int(channelsOf(oem)));
    line[159] = 0;
    // Red when the current rate is not the default one (also when no default is stored).
    const bool ratesDiffer = rateOf(oem) != rateOf(device);
    textLine(dc, line, left + 60, top + 34, right, top + PANEL_BOX_HEIGHT, ratesDiffer ? kRed : kGrey, DT_LEFT);

    SelectObject(dc, g_res.badgeBrush.get());
    if (record.flags & ENDPOINT_EXCLUSIVE_ON) badge(dc, L"Ex", left + 340, top + 5);
    if (record.flags & ENDPOINT_PRIORITY_ON) badge(dc, L"P", left + 340, top + 25);
}
