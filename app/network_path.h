// Whether opening a path would reach another machine. Opening a file on a server makes Windows
// connect to it with the user's credentials (often an administrator's here), so a path that
// someone else wrote, such as an endpoint's icon path in the registry store, must not lead there.
#pragma once

#include <windows.h>

// True for a path on another machine: UNC ("\\server\share\...", "//server/share/...",
// "\\?\UNC\...", "\\.\UNC\..."), and any device path that is not a drive's ("\\?\GLOBALROOT\...",
// "\\.\pipe\..."), which may lead there too. A drive letter's path is the user's own, a mapped or
// substituted drive included. A relative path is judged where it leads from the current folder.
bool namesAnotherMachine(const wchar_t* path);
