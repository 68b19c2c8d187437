#include "app/network_path.h"

#include <wchar.h>

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "X:" followed by a separator or the end: a drive's root.
bool startsWithDrive(const wchar_t* path) {
    const wchar_t letter = wchar_t(path[0] | 0x20);
    return letter >= L'a' && letter <= L'z' && path[1] == L':' && (path[2] == 0 || isSeparator(path[2]));
}

}  // namespace

bool namesAnotherMachine(const wchar_t* path) {
    if (!path || !path[0]) return false;
    // "\??\" hands the rest to the system as it stands.
    if (wcsncmp(path, L"\\??\\", 4) == 0) return !startsWithDrive(path + 4);
    // The form Windows opens: "..", "." and forward slashes resolved, a relative path completed
    // from the current folder (which may itself be a share).
    wchar_t full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameW(path, MAX_PATH * 4, full, NULL);
    if (length == 0 || length >= MAX_PATH * 4) return true;  // unknown: not to be opened
    if (!(isSeparator(full[0]) && isSeparator(full[1]))) return false;
    // "\\?\X:\" and "\\.\X:\" are a drive's; every other path that starts with two separators
    // names a server or a device.
    if ((full[2] == L'?' || full[2] == L'.') && isSeparator(full[3])) return !startsWithDrive(full + 4);
    return true;
}
