#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/test_files.h"

namespace {

// The built checker loaded as data, to read its resources the way Windows and Explorer do.
class CheckerResources : public testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryExA(checkerExePath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module);
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }
    std::string resourceBytes(LPCSTR name, LPCSTR type) {
        HRSRC found = FindResourceA(module, name, type);
        if (!found) return std::string();
        HGLOBAL loaded = LoadResource(module, found);
        const char* data = static_cast<const char*>(LockResource(loaded));
        return data ? std::string(data, SizeofResource(module, found)) : std::string();
    }
    HMODULE module = NULL;
};

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInResource;
    WORD id;
};
#pragma pack(pop)

uint32_t bigEndian(const std::string& bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]);
}

// Icon 100 holds a 32-bit image (with alpha) for each size Windows asks for at 100 % to 200 %
// in title bars, the taskbar, Alt+Tab and Explorer's views; the 256-pixel one as PNG. Each is
// a drawing, not an empty or opaque square: its corners are transparent and its centre opaque.
TEST_F(CheckerResources, IconGroup100HoldsEverySizeIn32Bits) {
    const int sizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
    const std::string group = resourceBytes(MAKEINTRESOURCEA(100), RT_GROUP_ICON);
    ASSERT_EQ(6 + 8 * sizeof(IconGroupEntry), group.size());
    const WORD* header = reinterpret_cast<const WORD*>(group.data());
    EXPECT_EQ(1, header[1]);  // icon
    ASSERT_EQ(8, header[2]);
    for (int i = 0; i < 8; ++i) {
        const int size = sizes[i];
        const IconGroupEntry* entry = reinterpret_cast<const IconGroupEntry*>(group.data() + 6) + i;
        EXPECT_EQ(size & 0xFF, entry->width) << size;  // 256 is written as 0
        EXPECT_EQ(size & 0xFF, entry->height) << size;
        EXPECT_EQ(0, entry->colorCount) << size;
        EXPECT_EQ(1, entry->planes) << size;
        EXPECT_EQ(32, entry->bitCount) << size;
        const std::string image = resourceBytes(MAKEINTRESOURCEA(entry->id), RT_ICON);
        EXPECT_EQ(entry->bytesInResource, image.size()) << size;
        if (size == 256) {
            ASSERT_GE(image.size(), 33u);
            EXPECT_EQ(std::string("\x89PNG\r\n\x1a\n", 8), image.substr(0, 8));
            EXPECT_EQ("IHDR", image.substr(12, 4));
            EXPECT_EQ(256u, bigEndian(image, 16));  // width
            EXPECT_EQ(256u, bigEndian(image, 20));  // height
            EXPECT_EQ(8, image[24]);                // bits per channel
            EXPECT_EQ(6, image[25]);                // RGBA
        } else {
            // Header, BGRA rows, and the mask rows padded to four bytes.
            ASSERT_EQ(sizeof(BITMAPINFOHEADER) + size * size * 4 + size * ((size + 31) / 32 * 4), image.size()) << size;
            const BITMAPINFOHEADER* bitmap = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
            EXPECT_EQ(size, bitmap->biWidth);
            EXPECT_EQ(2 * size, bitmap->biHeight);  // image and mask
            EXPECT_EQ(32, bitmap->biBitCount);
        }
        // Windows makes an icon of each image at its own size (the PNG one too).
        HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(const_cast<char*>(image.data())),
                                              DWORD(image.size()), TRUE, 0x00030000, size, size, 0);
        ASSERT_NE(nullptr, icon) << size;
        ICONINFO info;
        ASSERT_TRUE(GetIconInfo(icon, &info)) << size;
        BITMAPINFOHEADER format = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<uint8_t> pixels(size_t(size) * size * 4);
        HDC dc = GetDC(NULL);
        EXPECT_EQ(size, GetDIBits(dc, info.hbmColor, 0, UINT(size), pixels.data(),
                                  reinterpret_cast<BITMAPINFO*>(&format), DIB_RGB_COLORS)) << size;
        ReleaseDC(NULL, dc);
        auto alpha = [&](int x, int y) { return pixels[(size_t(y) * size + x) * 4 + 3]; };
        EXPECT_EQ(0, alpha(0, 0)) << size;
        EXPECT_EQ(0, alpha(size - 1, size - 1)) << size;
        EXPECT_EQ(255, alpha(size / 2, size / 2)) << size;
        // Smoothed edges: some pixels are neither transparent nor opaque.
        int partly = 0;
        for (size_t p = 3; p < pixels.size(); p += 4) partly += pixels[p] > 0 && pixels[p] < 255;
        EXPECT_GT(partly, 0) << size;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST_F(CheckerResources, MenuResourceIsNamedMyMainAppMenu) {
    HMENU menu = LoadMenuA(module, "MyMainAppMenu");
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(2, GetMenuItemCount(menu));
    DestroyMenu(menu);
}

std::string versionString(const std::vector<char>& info, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return "<missing>";
    return std::string(value);
}

TEST_F(CheckerResources, VersionResource) {
    const std::string path = checkerExePath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(0, 1), LONG(fixed->dwFileVersionMS));
    EXPECT_EQ(MAKELONG(8, 8), LONG(fixed->dwFileVersionLS));
    EXPECT_EQ(MAKELONG(0, 1), LONG(fixed->dwProductVersionMS));
    EXPECT_EQ(MAKELONG(8, 8), LONG(fixed->dwProductVersionLS));

    EXPECT_EQ("1, 0, 8, 8", versionString(info, "FileVersion"));
    EXPECT_EQ("1, 0, 8, 8", versionString(info, "ProductVersion"));
    EXPECT_EQ("Halvane Device Checker", versionString(info, "FileDescription"));
    EXPECT_EQ("Internal Application for testing purpose only", versionString(info, "Comments"));
    EXPECT_EQ("HalvaneDevicesChecker.exe", versionString(info, "OriginalFilename"));
}

TEST_F(CheckerResources, ManifestRunsAsInvokerWithoutUiAccessAndDpiAware) {
    const std::string manifest = resourceBytes(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\""));
    EXPECT_NE(std::string::npos, manifest.find("uiAccess=\"false\""));
    // No supportedOS entry: the version services must keep reporting what an unmarked program
    // sees, which the system identification relies on.
    EXPECT_EQ(std::string::npos, manifest.find("supportedOS"));
    // The program scales itself: system aware from Vista on, per monitor on Windows 10.
    EXPECT_NE(std::string::npos, manifest.find("WindowsSettings\">true</dpiAware>"));
    EXPECT_NE(std::string::npos, manifest.find("WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>"));
}

}  // namespace
