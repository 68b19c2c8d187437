// The facts of the system the program runs on, found once at start-up: which Windows release,
// whether this 32-bit process runs on 64-bit Windows, and the Sysnative path that reaches the
// real system folder from there.
#pragma once

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

// The class of a Windows release.
enum OsClass : int32_t {
    OS_UNKNOWN = -1,  // not recognised, or the release cannot be read
    OS_BEFORE_XP = 0,
    OS_XP = 1,
    OS_SERVER_2003 = 2,
    OS_VISTA = 3,
    OS_WIN7 = 4,
    OS_WIN8 = 5,
    OS_WIN81 = 6,
    OS_WIN10 = 7,
    OS_AFTER_WIN10 = 8,
};

// Before Windows Vista: no endpoints, and the wave devices' names are not examined.
inline bool isBeforeVista(OsClass osClass) {
    return osClass == OS_BEFORE_XP || osClass == OS_XP || osClass == OS_SERVER_2003;
}

struct OsIdentification {
    OsClass osClass;
    uint32_t osMajor;
    uint32_t osMinor;
    uint32_t osBuild;
    uint32_t osPlatformId;
};

// The Windows release by the name users know it ("Windows 11" from build 22000 on), from the
// class, version and build; "unknown" outside the classes.
const char* windowsReleaseName(const OsIdentification& os);

// Which machine a report comes from, and whether the checker ran with an administrator's full
// rights (elevated from Windows Vista on; a member of Administrators before).
enum { COMPUTER_NAME_SIZE = 64 };
struct MachineIdentity {
    wchar_t computerName[COMPUTER_NAME_SIZE];  // empty when Windows does not tell
    bool elevated;
};
void identifyMachine(MachineIdentity* machine);

// The version services, as a table so that tests can stand in for a release the machine is not.
struct VersionApi {
    BOOL(WINAPI* getVersionExA)(OSVERSIONINFOA* info);
    // RtlGetVersion as looked up in Ntdll.dll at run time; null when it is missing.
    LONG(WINAPI* rtlGetVersion)(OSVERSIONINFOEXW* info);
};

OsClass identifyOs(OsIdentification* os);
OsClass identifyOsWith(OsIdentification* os, const VersionApi& api);

// Whether this 32-bit process runs on 64-bit Windows. IsWow64Process is looked up at run time
// because the first Windows XP releases do not have it.
bool detectWow64();

// Rewrites the first "System32" (or, failing that, "system32") of a path as "Sysnative", so that a
// 32-bit process on 64-bit Windows reaches the real system folder. Other spellings stay. The
// result, one unit longer, is cut to `capacity` units, terminator included.
void toSysnativePath(wchar_t* path, size_t capacity);
