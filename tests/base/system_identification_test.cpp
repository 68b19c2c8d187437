#include <gtest/gtest.h>

#include <string>

#include "base/system_identification.h"
#include "report/text_report.h"  // the OS line shows what was identified

namespace {

// A release as the version services of Windows report it.
struct FakeRelease {
    bool extendedFails = false, basicFails = false;
    DWORD major = 0, minor = 0, build = 0, platform = VER_PLATFORM_WIN32_NT;
    BYTE productType = VER_NT_WORKSTATION;
    bool hasRtl = true;
    LONG rtlStatus = 0;
    DWORD rtlMajor = 0, rtlMinor = 0, rtlBuild = 0, rtlPlatform = VER_PLATFORM_WIN32_NT;
    DWORD lastExtendedSize = 0, lastRtlSize = 0;
};
FakeRelease* g_release = nullptr;

BOOL WINAPI fakeGetVersionExA(OSVERSIONINFOA* info) {
    const DWORD size = info->dwOSVersionInfoSize;
    if (size == sizeof(OSVERSIONINFOEXA)) {
        g_release->lastExtendedSize = size;
        if (g_release->extendedFails) return FALSE;
    } else if (size != sizeof(OSVERSIONINFOA) || g_release->basicFails) {
        return FALSE;
    }
    info->dwMajorVersion = g_release->major;
    info->dwMinorVersion = g_release->minor;
    info->dwBuildNumber = g_release->build;
    info->dwPlatformId = g_release->platform;
    if (size == sizeof(OSVERSIONINFOEXA)) reinterpret_cast<OSVERSIONINFOEXA*>(info)->wProductType = g_release->productType;
    return TRUE;
}

LONG WINAPI fakeRtlGetVersion(OSVERSIONINFOEXW* info) {
    g_release->lastRtlSize = info->dwOSVersionInfoSize;
    if (g_release->rtlStatus != 0) return g_release->rtlStatus;
    info->dwMajorVersion = g_release->rtlMajor;
    info->dwMinorVersion = g_release->rtlMinor;
    info->dwBuildNumber = g_release->rtlBuild;
    info->dwPlatformId = g_release->rtlPlatform;
    info->wProductType = VER_NT_SERVER;  // must never be taken
    return 0;
}

OsIdentification identify(FakeRelease& release) {
    g_release = &release;
    VersionApi api = {fakeGetVersionExA, release.hasRtl ? fakeRtlGetVersion : nullptr};
    OsIdentification os;
    memset(&os, 0x5A, sizeof(os));
    identifyOsWith(&os, api);
    g_release = nullptr;
    return os;
}

std::string osLine(const OsIdentification& os, int32_t is64) {
    char line[1024];
    formatOsLine(os, is64, line, sizeof(line));
    return line;
}

TEST(IdentifyOs, ReleasesAndTheirClasses) {
    struct Case {
        const char* what;
        DWORD major, minor;        // as GetVersionExA reports
        BYTE productType;
        DWORD rtlMajor, rtlMinor;  // as RtlGetVersion reports
        int32_t expectedClass;
        const char* expectedName;
    } cases[] = {
        {"Windows 2000", 5, 0, VER_NT_WORKSTATION, 5, 0, 0, "< XP"},
        {"Windows XP", 5, 1, VER_NT_WORKSTATION, 5, 1, 1, "WIN XP"},
        {"Windows XP 64-bit / Server 2003", 5, 2, VER_NT_WORKSTATION, 5, 2, 2, "WIN Server 2003"},
        {"Windows Vista", 6, 0, VER_NT_WORKSTATION, 6, 0, 3, "WIN VISTA"},
        {"Windows 7", 6, 1, VER_NT_WORKSTATION, 6, 1, 4, "WIN 7"},
        {"Windows Server 2008 R2", 6, 1, VER_NT_SERVER, 6, 1, 3, "WIN VISTA"},
        {"Windows 8", 6, 2, VER_NT_WORKSTATION, 6, 2, 5, "WIN 8"},
        {"Windows 8.1 seen as 8", 6, 2, VER_NT_WORKSTATION, 6, 3, 6, "WIN 8.1"},
        {"Windows 10 seen as 8", 6, 2, VER_NT_WORKSTATION, 10, 0, 7, "WIN 10"},
        {"a release after 10", 6, 2, VER_NT_WORKSTATION, 11, 0, 8, "> WIN10"},
        {"6.4", 6, 2, VER_NT_WORKSTATION, 6, 4, -1, "unknown"},
        {"7.0", 6, 2, VER_NT_WORKSTATION, 7, 0, -1, "unknown"},
        {"9.0", 6, 2, VER_NT_WORKSTATION, 9, 0, -1, "unknown"},
    };
    for (const Case& c : cases) {
        FakeRelease release;
        release.major = c.major;
        release.minor = c.minor;
        release.productType = c.productType;
        release.build = 1234;
        release.rtlMajor = c.rtlMajor;
        release.rtlMinor = c.rtlMinor;
        release.rtlBuild = 5678;
        const OsIdentification os = identify(release);
        EXPECT_EQ(c.expectedClass, os.osClass) << c.what;
        EXPECT_EQ(std::string("Operating System: ") + c.expectedName + " 32Bits Build: " +
                      (c.rtlMajor >= 6 ? "5678" : "1234"),
                  osLine(os, 0))
            << c.what;
    }
}

TEST(IdentifyOs, AsksWithTheExtendedRecordThenTheBasicOne) {
    FakeRelease release;
    release.major = 5;
    release.minor = 1;
    release.build = 2600;
    release.hasRtl = false;
    OsIdentification os = identify(release);
    EXPECT_EQ(156u, release.lastExtendedSize);
    EXPECT_EQ(1, os.osClass);

    // Only the basic record works: no product type, so 6.1 is not a workstation.
    release.extendedFails = true;
    release.major = 6;
    release.minor = 1;
    os = identify(release);
    EXPECT_EQ(3, os.osClass);
    EXPECT_EQ(1u, os.osMinor);
}

TEST(IdentifyOs, NothingReadableIsUnknown) {
    FakeRelease release;
    release.extendedFails = release.basicFails = true;
    release.rtlMajor = 10;  // never asked once both reads failed
    const OsIdentification os = identify(release);
    EXPECT_EQ(-1, os.osClass);
    EXPECT_EQ(0u, os.osMajor);
    EXPECT_EQ(0u, os.osBuild);
    EXPECT_EQ("Operating System: unknown 64Bits Build: 0", osLine(os, 1));
    EXPECT_EQ(0u, release.lastRtlSize);
}

TEST(IdentifyOs, CorrectionOnlyFromASuccessfulRtlGetVersionOfVistaOrLater) {
    FakeRelease release;
    release.major = 6;
    release.minor = 2;
    release.build = 9200;
    release.platform = 2;
    release.rtlMajor = 10;
    release.rtlBuild = 19045;
    release.rtlPlatform = 7;
    OsIdentification os = identify(release);
    EXPECT_EQ(276u, release.lastRtlSize);
    EXPECT_EQ(10u, os.osMajor);
    EXPECT_EQ(19045u, os.osBuild);
    EXPECT_EQ(7u, os.osPlatformId);

    release.rtlStatus = LONG(0xC0000001);
    os = identify(release);
    EXPECT_EQ(6u, os.osMajor);
    EXPECT_EQ(9200u, os.osBuild);

    release.rtlStatus = 0;
    release.rtlMajor = 5;  // an older answer never replaces the first one
    os = identify(release);
    EXPECT_EQ(6u, os.osMajor);
    EXPECT_EQ(2u, os.osPlatformId);

    release.hasRtl = false;
    os = identify(release);
    EXPECT_EQ(5, os.osClass);
}

TEST(IdentifyOs, ThisMachineIsRecognised) {
    OsIdentification os;
    EXPECT_NE(-1, identifyOs(&os));
    EXPECT_NE(0u, os.osBuild);
}


TEST(ToSysnativePath, FirstSystem32OnlyInItsTwoSpellings) {
    struct Case {
        const wchar_t* path;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\Windows\\System32\\drivers\\x.sys,-100", L"C:\\Windows\\Sysnative\\drivers\\x.sys,-100"},
        {L"C:\\Windows\\system32\\x.sys", L"C:\\Windows\\Sysnative\\x.sys"},
        {L"C:\\Windows\\SYSTEM32\\x.sys", L"C:\\Windows\\SYSTEM32\\x.sys"},
        {L"C:\\System32\\System32\\x", L"C:\\Sysnative\\System32\\x"},
        {L"C:\\system32\\System32\\x", L"C:\\system32\\Sysnative\\x"},  // the capital form is looked for first
        {L"x.sys", L"x.sys"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        wchar_t path[512];
        lstrcpyW(path, c.path);
        toSysnativePath(path, 512);
        EXPECT_STREQ(c.expected, path);
    }
}

TEST(ToSysnativePath, TheLongerResultIsCutToTheBuffer) {
    wchar_t path[16];
    lstrcpyW(path, L"C:\\System32\\abc");  // 15 units: the buffer is full
    toSysnativePath(path, 16);
    EXPECT_STREQ(L"C:\\Sysnative\\ab", path);
}

}  // namespace
