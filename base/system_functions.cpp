#include "base/system_functions.h"

#include "base/system_library.h"

namespace {

SystemFunctions g_functions;
// Plain flags: one thread, and a guarded static would pull in locks.
bool g_looked = false;
int g_groupsLooked = 0;

// One function of a module into its member; null when the module or the function is missing.
template <typename Function>
void find(Function SystemFunctions::*member, HMODULE module, const char* name) {
    g_functions.*member = reinterpret_cast<Function>(reinterpret_cast<void*>(module ? GetProcAddress(module, name)
                                                                                    : NULL));
}

void lookUpCore() {
    typedef SystemFunctions F;
    // In every run already (advapi32 among the imports): searched, never loaded again.
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    find(&F::setDefaultDllDirectories, kernel32, "SetDefaultDllDirectories");
    find(&F::setDllDirectoryW, kernel32, "SetDllDirectoryW");
    find(&F::isWow64Process, kernel32, "IsWow64Process");
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    find(&F::rtlGetVersion, ntdll, "RtlGetVersion");
    find(&F::ntCreateFile, ntdll, "NtCreateFile");
    find(&F::ntSetInformationFile, ntdll, "NtSetInformationFile");
    find(&F::ntQueryInformationFile, ntdll, "NtQueryInformationFile");
    find(&F::rtlNtStatusToDosError, ntdll, "RtlNtStatusToDosError");
    find(&F::initiateShutdownW, GetModuleHandleW(L"advapi32.dll"), "InitiateShutdownW");
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    find(&F::getDpiForWindow, user32, "GetDpiForWindow");
    find(&F::enableNonClientDpiScaling, user32, "EnableNonClientDpiScaling");

    // Before any DLL is loaded: none may come from the exe's folder or the current one.
    const DWORD searchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32, not in XP's headers
    if (!(g_functions.setDefaultDllDirectories && g_functions.setDefaultDllDirectories(searchSystem32)) &&
        g_functions.setDllDirectoryW)
        g_functions.setDllDirectoryW(L"");

    // Loaded by their full path in the system folder.
    const HMODULE winmm = loadSystemLibrary(L"winmm.dll");
    find(&F::waveInGetNumDevs, winmm, "waveInGetNumDevs");
    find(&F::waveInGetDevCapsW, winmm, "waveInGetDevCapsW");
    find(&F::waveOutGetNumDevs, winmm, "waveOutGetNumDevs");
    find(&F::waveOutGetDevCapsW, winmm, "waveOutGetDevCapsW");
    find(&F::timeBeginPeriod, winmm, "timeBeginPeriod");
    find(&F::timeEndPeriod, winmm, "timeEndPeriod");
    find(&F::setupDiGetDevicePropertyW, loadSystemLibrary(L"setupapi.dll"), "SetupDiGetDevicePropertyW");
    // The theme code loads it by its bare name while painting a scroll bar, past the limit set
    // above (seen under Wine): the system's copy, loaded first, is the one it then gets.
    loadSystemLibrary(L"msimg32.dll");
}

void lookUpTrust() {
    typedef SystemFunctions F;
    const HMODULE wintrust = loadSystemLibrary(L"wintrust.dll");
    find(&F::winVerifyTrust, wintrust, "WinVerifyTrust");
    find(&F::cryptCatAdminAcquireContext, wintrust, "CryptCATAdminAcquireContext");
    find(&F::cryptCatAdminAcquireContext2, wintrust, "CryptCATAdminAcquireContext2");
    find(&F::cryptCatAdminCalcHashFromFileHandle, wintrust, "CryptCATAdminCalcHashFromFileHandle");
    find(&F::cryptCatAdminCalcHashFromFileHandle2, wintrust, "CryptCATAdminCalcHashFromFileHandle2");
    find(&F::cryptCatAdminEnumCatalogFromHash, wintrust, "CryptCATAdminEnumCatalogFromHash");
    find(&F::cryptCatCatalogInfoFromContext, wintrust, "CryptCATCatalogInfoFromContext");
    find(&F::cryptCatAdminReleaseCatalogContext, wintrust, "CryptCATAdminReleaseCatalogContext");
    find(&F::cryptCatAdminReleaseContext, wintrust, "CryptCATAdminReleaseContext");
    find(&F::certFreeCertificateContext, loadSystemLibrary(L"crypt32.dll"), "CertFreeCertificateContext");
}

void lookUpAccessibility() {
    typedef SystemFunctions F;
    const HMODULE oleacc = loadSystemLibrary(L"oleacc.dll");
    find(&F::lresultFromObject, oleacc, "LresultFromObject");
    find(&F::createStdAccessibleObject, oleacc, "CreateStdAccessibleObject");
    find(&F::sysAllocString, loadSystemLibrary(L"oleaut32.dll"), "SysAllocString");
}

}  // namespace

void restrictDllSearch() {
    if (g_looked) return;
    lookUpCore();
    g_looked = true;
}

const SystemFunctions& systemFunctions(int groups) {
    restrictDllSearch();
    const int missing = groups & ~g_groupsLooked;
    if (missing & SYSTEM_FUNCTIONS_TRUST) lookUpTrust();
    if (missing & SYSTEM_FUNCTIONS_ACCESSIBILITY) lookUpAccessibility();
    g_groupsLooked |= groups;
    return g_functions;
}
