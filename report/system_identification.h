// Which Windows release runs the program, identified once at start-up, and the small services
// built on it: the report's OS line, the driver icon references and the Sysnative path.
#pragma once

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

struct OsIdentification {
    int32_t osClass;  // -1 when the release is not recognised or cannot be read
    uint32_t osMajor;
    uint32_t osMinor;
    uint32_t osBuild;
    uint32_t osPlatformId;
};

enum {
    OS_BEFORE_XP = 0,
    OS_XP = 1,
    OS_SERVER_2003 = 2,
    OS_VISTA = 3,
    OS_WIN7 = 4,
    OS_WIN8 = 5,
    OS_WIN81 = 6,
    OS_WIN10 = 7,
    OS_AFTER_WIN10 = 8,
    OS_UNKNOWN = -1,
};

// The version services, as a table so that tests can stand in for a release the machine is not.
struct VersionApi {
    BOOL(WINAPI* getVersionExA)(OSVERSIONINFOA* info);
    // RtlGetVersion as looked up in Ntdll.dll at run time; null when it is missing.
    LONG(WINAPI* rtlGetVersion)(OSVERSIONINFOEXW* info);
};

// The real functions, RtlGetVersion looked up at run time.
VersionApi realVersionApi();

int32_t identifyOs(OsIdentification* os);
int32_t identifyOsWith(OsIdentification* os, const VersionApi& api);

// The class of a release by its version and product type; -1 when not recognised.
int32_t classifyOs(uint32_t major, uint32_t minor, uint8_t productType);

// "Operating System: <class> <32Bits|64Bits> Build: <build>"
void formatOsLine(const OsIdentification& os, int32_t is64BitWindows, char* line, size_t size);

// The icon location of a catalogued driver's endpoint inside its driver file, e.g.
// halvane_vessoc64_win10.sys,-101; selector 1 is the recording side, any other the playback side.
// Writes at most 127 characters and a terminator into `reference` (128 units).
void driverIconReference(const char* fileBase, int selector, int32_t osClass, int32_t is64BitWindows,
                         wchar_t* reference);

// Rewrites the first "System32" (or, failing that, "system32") of a path as "Sysnative", so that a
// 32-bit process on 64-bit Windows reaches the real system folder. Other spellings stay. The
// result, one unit longer, is cut to `capacity` units, terminator included.
void toSysnativePath(wchar_t* path, size_t capacity);
