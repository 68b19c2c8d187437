#include "base/system_library.h"

#include <wchar.h>

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
