#include "app/panel_icons.h"

#include <stdlib.h>
#include <wchar.h>

#include "app/network_path.h"
#include "base/system_identification.h"
#include "base/text.h"

namespace {

// The name of the index-th icon group of a module, in the order the resources are enumerated
// (the order in which an icon index counts them).
struct IconGroupSearch {
    long wanted;
    long seen;
    bool found;
    wchar_t name[256];  // a string name, or empty when id names it
    WORD id;
    static BOOL CALLBACK visit(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR parameter) {
        IconGroupSearch* search = reinterpret_cast<IconGroupSearch*>(parameter);
        if (search->seen++ < search->wanted) return TRUE;
        search->found = true;
        if (IS_INTRESOURCE(name)) search->id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
        else copyText(search->name, name, 256);
        return FALSE;
    }
};

// An icon of a file (a driver or program), by resource identifier (a negative index) or by
// index, loaded as data so that nothing of the file runs, at the size it is drawn: the file's
// own image for that size when it has one, rather than a smaller one stretched.
HICON loadIconResource(const wchar_t* path, long index, int size) {
    HMODULE module = LoadLibraryExW(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return NULL;
    IconGroupSearch search = {index, 0, false, L"", 0};
    if (index >= 0) EnumResourceNamesW(module, MAKEINTRESOURCEW(ULONG_PTR(RT_GROUP_ICON)), IconGroupSearch::visit, reinterpret_cast<LONG_PTR>(&search));
    const LPCWSTR name = index < 0      ? MAKEINTRESOURCEW(-index)
                         : !search.found ? NULL
                         : search.name[0] ? search.name
                                          : MAKEINTRESOURCEW(search.id);
    HICON icon = name ? static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, size, size, 0)) : NULL;
    FreeLibrary(module);
    return icon;
}

HICON loadIconFile(const wchar_t* path, int size) {
    return static_cast<HICON>(LoadImageW(NULL, path, IMAGE_ICON, size, size, LR_LOADFROMFILE));
}

}  // namespace

HICON loadEndpointIcon(const wchar_t* iconPath, int size, bool is64BitWindows) {
    if (namesAnotherMachine(iconPath)) return NULL;
    HICON icon = loadIconFile(iconPath, size);
    if (icon) return icon;
    wchar_t path[512];
    copyText(path, iconPath, 512);
    if (is64BitWindows) toSysnativePath(path, 512);
    long index = 0;
    if (wchar_t* comma = wcschr(path, L',')) {
        index = wcstol(comma + 1, NULL, 10);  // saturates instead of overflowing
        *comma = 0;
    }
    // Index 0 of an icon file is the file's one icon.
    if (index == 0 && (icon = loadIconFile(path, size)) != NULL) return icon;
    // Resource identifiers are 16-bit.
    return index >= -0xFFFF ? loadIconResource(path, index, size) : NULL;
}
