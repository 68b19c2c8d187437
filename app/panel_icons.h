// The icons of the device list's boxes: an endpoint's icon path in the store, loaded at the size
// it is drawn without anything of the file it names running, and never from another machine.
#pragma once

#include <windows.h>
#include <stdint.h>

// The endpoint's icon at size x size: an icon file, or an icon inside a file ("path,index"; a
// negative index is a resource identifier), reached through Sysnative on 64-bit Windows
// (is64BitWindows). Null when there is none, and for a path on another machine,
// which is never opened: anyone who can write one store entry could otherwise make the checker
// connect there with the user's credentials. The caller destroys the icon.
HICON loadEndpointIcon(const wchar_t* iconPath, int size, bool is64BitWindows);
