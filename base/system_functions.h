// Every Windows function the checker finds at run time instead of importing it: those newer
// than Windows XP, those of ntdll, and those of DLLs that Windows does not always take from the
// system folder (an import of such a DLL could be served by a copy beside the exe). Each is
// looked up once, on the GUI thread: those every run needs by restrictDllSearch(), which WinMain
// calls before anything else (systemFunctions() calls it where nobody did); those of a command
// that may never be used (the signature check, screen readers) by the first systemFunctions() that
// asks for their group. kernel32, ntdll and user32 are in every run already and are only
// searched; the other DLLs are loaded by their full path in the system folder, after the search
// was limited, and stay for the process's life. A function Windows lacks stays null; each line
// says what the checker does then.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mscat.h>
#include <setupapi.h>
#include <oleauto.h>
#include <winternl.h>
#include <wintrust.h>

struct SystemFunctions {
    // kernel32
    // Windows 8 (and 7 and Vista with their update); else SetDllDirectoryW.
    BOOL(WINAPI* setDefaultDllDirectories)(DWORD flags);
    // XP SP1; else the DLL search stays as Windows has it.
    BOOL(WINAPI* setDllDirectoryW)(LPCWSTR path);
    // XP SP2; else the checker takes Windows for 32-bit.
    BOOL(WINAPI* isWow64Process)(HANDLE process, PBOOL wow64);

    // ntdll
    // Else the release comes from GetVersionExA, which says 6.2 for Windows 8.1 and 10.
    LONG(WINAPI* rtlGetVersion)(OSVERSIONINFOEXW* info);
    // Else no report file is written.
    NTSTATUS(WINAPI* ntCreateFile)(HANDLE* file, ACCESS_MASK access, OBJECT_ATTRIBUTES* attributes,
                                   IO_STATUS_BLOCK* status, LARGE_INTEGER* allocationSize, ULONG fileAttributes,
                                   ULONG share, ULONG disposition, ULONG options, void* extendedAttributes,
                                   ULONG extendedAttributesLength);
    NTSTATUS(WINAPI* ntSetInformationFile)(HANDLE file, IO_STATUS_BLOCK* status, void* information, ULONG length,
                                           int informationClass);
    // Else every folder reparse point reads as a link, and the report is refused there.
    NTSTATUS(WINAPI* ntQueryInformationFile)(HANDLE file, IO_STATUS_BLOCK* status, void* information, ULONG length,
                                             int informationClass);
    // Else a failed report file is told as "access denied".
    ULONG(WINAPI* rtlNtStatusToDosError)(NTSTATUS status);

    // advapi32
    // Windows Vista; else a restart the user agrees to is asked of ExitWindowsEx.
    DWORD(WINAPI* initiateShutdownW)(LPWSTR machine, LPWSTR message, DWORD gracePeriod, DWORD flags, DWORD reason);

    // user32
    // Windows 10 1607; else the window takes the system's DPI, and its frame is not scaled.
    UINT(WINAPI* getDpiForWindow)(HWND window);
    BOOL(WINAPI* enableNonClientDpiScaling)(HWND window);

    // setupapi
    // Windows Vista; else a device node's problem code and status come from CM_Get_DevNode_Status.
    BOOL(WINAPI* setupDiGetDevicePropertyW)(HDEVINFO set, PSP_DEVINFO_DATA device, const DEVPROPKEY* key,
                                            DEVPROPTYPE* type, PBYTE buffer, DWORD size, PDWORD requiredSize,
                                            DWORD flags);

    // winmm: else no wave device is listed, and the timer keeps its resolution.
    UINT(WINAPI* waveInGetNumDevs)();
    MMRESULT(WINAPI* waveInGetDevCapsW)(UINT_PTR device, WAVEINCAPSW* caps, UINT size);
    UINT(WINAPI* waveOutGetNumDevs)();
    MMRESULT(WINAPI* waveOutGetDevCapsW)(UINT_PTR device, WAVEOUTCAPSW* caps, UINT size);
    MMRESULT(WINAPI* timeBeginPeriod)(UINT period);
    MMRESULT(WINAPI* timeEndPeriod)(UINT period);

    // Group SYSTEM_FUNCTIONS_TRUST.
    // wintrust and crypt32: else "Check File Integrity..." says the signature cannot be checked;
    // the catalogue functions of SHA-256 (...2) exist from Windows 8 on, else SHA-1 is asked.
    LONG(WINAPI* winVerifyTrust)(HWND window, GUID* action, LPVOID data);
    BOOL(WINAPI* cryptCatAdminAcquireContext)(HCATADMIN* admin, const GUID* subsystem, DWORD flags);
    BOOL(WINAPI* cryptCatAdminAcquireContext2)(HCATADMIN* admin, const GUID* subsystem, PCWSTR hashAlgorithm,
                                               const void* policy, DWORD flags);
    BOOL(WINAPI* cryptCatAdminCalcHashFromFileHandle)(HANDLE file, DWORD* size, BYTE* hash, DWORD flags);
    BOOL(WINAPI* cryptCatAdminCalcHashFromFileHandle2)(HCATADMIN admin, HANDLE file, DWORD* size, BYTE* hash,
                                                       DWORD flags);
    HCATINFO(WINAPI* cryptCatAdminEnumCatalogFromHash)(HCATADMIN admin, BYTE* hash, DWORD size, DWORD flags,
                                                       HCATINFO* previous);
    BOOL(WINAPI* cryptCatCatalogInfoFromContext)(HCATINFO catalog, CATALOG_INFO* info, DWORD flags);
    BOOL(WINAPI* cryptCatAdminReleaseCatalogContext)(HCATADMIN admin, HCATINFO catalog, DWORD flags);
    BOOL(WINAPI* cryptCatAdminReleaseContext)(HCATADMIN admin, DWORD flags);
    BOOL(WINAPI* certFreeCertificateContext)(PCCERT_CONTEXT certificate);

    // Group SYSTEM_FUNCTIONS_ACCESSIBILITY.
    // oleacc and oleaut32: else the device list has no accessible object of its own, the log
    // view no name, and a screen reader sees the window as any window.
    LRESULT(WINAPI* lresultFromObject)(REFIID interfaceId, WPARAM wParam, LPUNKNOWN object);
    HRESULT(WINAPI* createStdAccessibleObject)(HWND window, LONG objectId, REFIID interfaceId, void** object);
    BSTR(WINAPI* sysAllocString)(const OLECHAR* text);
};

// Limits the DLL search of the process to the system folder where kernel32 offers
// SetDefaultDllDirectories; otherwise takes the current folder out of it with
// SetDllDirectoryW(L"") (XP SP1 and later). Then looks up every function above. Once.
void restrictDllSearch();

// The functions every run needs, and those of the groups asked for, looked up where not yet.
enum SystemFunctionGroup {
    SYSTEM_FUNCTIONS_CORE = 0,
    SYSTEM_FUNCTIONS_TRUST = 1,
    SYSTEM_FUNCTIONS_ACCESSIBILITY = 2,
};
const SystemFunctions& systemFunctions(int groups = SYSTEM_FUNCTIONS_CORE);
