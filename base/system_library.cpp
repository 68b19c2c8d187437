#include "base/system_library.h"

#include <wchar.h>

namespace {

// Not in the XP headers: the flags of SetDefaultDllDirectories.
const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

}  // namespace

void restrictDllSearch() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return;
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    typedef BOOL(WINAPI * SetDllDirectoryWFn)(LPCWSTR);
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault && setDefault(kSearchSystem32)) return;
    auto setDirectory = reinterpret_cast<SetDllDirectoryWFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")));
    if (setDirectory) setDirectory(L"");
}

HMODULE loadSystemLibrary(const wchar_t* name) {
    if (!name || !name[0] || wcschr(name, L'\\') || wcschr(name, L'/')) return NULL;
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return NULL;
    const size_t nameLength = wcslen(name);
    if (length + 1 + nameLength >= MAX_PATH) return NULL;
    path[length] = L'\\';
    wmemcpy(path + length + 1, name, nameLength + 1);
    // A full path with the altered search order: the DLL's own imports are looked for in the
    // system folder first too, on every version from XP on.
    return LoadLibraryExW(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE WINAPI loadSystemLibraryA(LPCSTR name) {
    wchar_t wide[MAX_PATH];
    if (!name || !MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide, MAX_PATH)) return NULL;
    return loadSystemLibrary(wide);
}

FARPROC systemFunction(const wchar_t* dll, const char* function) {
    // Each call takes one more reference, never given back: the DLL stays for the process's life.
    HMODULE module = loadSystemLibrary(dll);
    return module ? GetProcAddress(module, function) : NULL;
}
