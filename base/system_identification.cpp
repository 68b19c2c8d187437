#include "base/system_functions.h"
#include "base/system_identification.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

namespace {

const DWORD kExtendedInfoSize = 156;  // OSVERSIONINFOEXA
const DWORD kBasicInfoSize = 148;     // OSVERSIONINFOA
const DWORD kRtlInfoSize = 276;       // RTL_OSVERSIONINFOEXW

// The real functions, RtlGetVersion looked up at run time.
VersionApi realVersionApi() {
    VersionApi api;
    api.getVersionExA = GetVersionExA;
    api.rtlGetVersion = systemFunctions().rtlGetVersion;
    return api;
}

// The class of a release by its version and product type.
OsClass classifyOs(uint32_t major, uint32_t minor, uint8_t productType) {
    if (major <= 5) {
        if (minor == 0) return OS_BEFORE_XP;
        return minor == 2 ? OS_SERVER_2003 : OS_XP;
    }
    if (major == 6) {
        switch (minor) {
        case 0: return OS_VISTA;
        case 1: return productType == VER_NT_WORKSTATION ? OS_WIN7 : OS_VISTA;
        case 2: return OS_WIN8;
        case 3: return OS_WIN81;
        default: return OS_UNKNOWN;
        }
    }
    if (major == 10) return OS_WIN10;
    if (major > 10) return OS_AFTER_WIN10;
    return OS_UNKNOWN;
}

}  // namespace

OsClass identifyOs(OsIdentification* os) { return identifyOsWith(os, realVersionApi()); }

OsClass identifyOsWith(OsIdentification* os, const VersionApi& api) {
    ZeroMemory(os, sizeof(*os));
    OSVERSIONINFOEXA info;
    ZeroMemory(&info, sizeof(info));
    info.dwOSVersionInfoSize = kExtendedInfoSize;
    if (!api.getVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
        ZeroMemory(&info, sizeof(info));
        info.dwOSVersionInfoSize = kBasicInfoSize;
        if (!api.getVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
            os->osClass = OS_UNKNOWN;
            return os->osClass;
        }
    }
    DWORD major = info.dwMajorVersion, minor = info.dwMinorVersion;
    DWORD build = info.dwBuildNumber, platform = info.dwPlatformId;
    // Without a compatibility entry in the manifest, GetVersionExA reports Windows 8.1 and 10 as
    // 6.2; RtlGetVersion tells the truth.
    if (api.rtlGetVersion) {
        OSVERSIONINFOEXW real;
        ZeroMemory(&real, sizeof(real));
        real.dwOSVersionInfoSize = kRtlInfoSize;
        if (api.rtlGetVersion(&real) == 0 && real.dwMajorVersion >= 6) {
            major = real.dwMajorVersion;
            minor = real.dwMinorVersion;
            build = real.dwBuildNumber;
            platform = real.dwPlatformId;
        }
    }
    os->osMajor = major;
    os->osMinor = minor;
    os->osBuild = build;
    os->osPlatformId = platform;
    // The product type only exists in the extended record; the basic one leaves it 0.
    os->osClass = classifyOs(major, minor, info.wProductType);
    return os->osClass;
}

void toSysnativePath(wchar_t* path, size_t capacity) {
    if (!path || capacity == 0) return;
    wchar_t* found = wcsstr(path, L"System32");
    if (!found) found = wcsstr(path, L"system32");
    if (!found) return;
    // Built in a scratch area and written back cut to the caller's buffer: the new text is one
    // unit longer than the old.
    static const wchar_t kSysnative[] = L"Sysnative";
    wchar_t scratch[1024];
    size_t length = 0;
    for (const wchar_t* p = path; p < found && length < 1023; ++p) scratch[length++] = *p;
    for (const wchar_t* p = kSysnative; *p && length < 1023; ++p) scratch[length++] = *p;
    for (const wchar_t* p = found + 8; *p && length < 1023; ++p) scratch[length++] = *p;
    if (length > capacity - 1) length = capacity - 1;
    memcpy(path, scratch, length * sizeof(wchar_t));
    path[length] = 0;
}

bool detectWow64() {
    const auto isWow64Process = systemFunctions().isWow64Process;
    if (!isWow64Process) return false;
    HANDLE process = GetCurrentProcess();
    if (!process) return false;
    BOOL wow64 = FALSE;
    if (!isWow64Process(process, &wow64)) return false;
    return wow64 != FALSE;
}

const char* windowsReleaseName(const OsIdentification& os) {
    switch (os.osClass) {
    case OS_BEFORE_XP: return "Windows 2000 or earlier";
    case OS_XP: return "Windows XP";
    case OS_SERVER_2003: return "Windows Server 2003";
    // Only a server release of 6.1 is in this class.
    case OS_VISTA: return os.osMinor == 1 ? "Windows Server 2008 R2" : "Windows Vista";
    case OS_WIN7: return "Windows 7";
    case OS_WIN8: return "Windows 8";
    case OS_WIN81: return "Windows 8.1";
    case OS_WIN10: return os.osBuild >= 22000 ? "Windows 11" : "Windows 10";
    case OS_AFTER_WIN10: return "later than Windows 11";
    default: return "unknown";
    }
}

void identifyMachine(MachineIdentity* machine) {
    ZeroMemory(machine, sizeof(*machine));
    DWORD size = COMPUTER_NAME_SIZE;
    if (!GetComputerNameW(machine->computerName, &size)) machine->computerName[0] = 0;
    machine->computerName[COMPUTER_NAME_SIZE - 1] = 0;

    HANDLE token = NULL;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        // TokenElevation (20) from Windows Vista on; XP's tokens do not know the class.
        DWORD elevated = 0, returned = 0;
        const BOOL known = GetTokenInformation(token, static_cast<TOKEN_INFORMATION_CLASS>(20), &elevated,
                                               sizeof(elevated), &returned) &&
                           returned == sizeof(elevated);
        CloseHandle(token);
        if (known) {
            machine->elevated = elevated != 0;
            return;
        }
    }
    SID_IDENTIFIER_AUTHORITY nt = {SECURITY_NT_AUTHORITY};
    PSID administrators = NULL;
    BOOL member = FALSE;
    if (AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &administrators)) {
        if (!CheckTokenMembership(NULL, administrators, &member)) member = FALSE;
        FreeSid(administrators);
    }
    machine->elevated = member != FALSE;
}
