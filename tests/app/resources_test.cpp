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

TEST_F(CheckerResources, IconGroup100HoldsOne32x32SixteenColourImage) {
    const std::string group = resourceBytes(MAKEINTRESOURCEA(100), RT_GROUP_ICON);
    ASSERT_GE(group.size(), 6 + sizeof(IconGroupEntry));
    const WORD* header = reinterpret_cast<const WORD*>(group.data());
    EXPECT_EQ(1, header[1]);  // icon
    ASSERT_EQ(1, header[2]);  // one image
    const IconGroupEntry* entry = reinterpret_cast<const IconGroupEntry*>(group.data() + 6);
    EXPECT_EQ(32, entry->width);
    EXPECT_EQ(32, entry->height);
    EXPECT_EQ(16, entry->colorCount);
    EXPECT_EQ(4, entry->bitCount);
    const std::string image = resourceBytes(MAKEINTRESOURCEA(entry->id), RT_ICON);
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
    const BITMAPINFOHEADER* bitmap = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
    EXPECT_EQ(32, bitmap->biWidth);
    EXPECT_EQ(64, bitmap->biHeight);  // image and mask
    EXPECT_EQ(4, bitmap->biBitCount);
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
