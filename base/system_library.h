// Where the program's DLLs come from. Users run the checker from a Downloads folder, and as
// administrator for the format commands: a DLL someone left beside the exe must never run inside
// it. So the search skips the exe's and the current folder where Windows allows
// (restrictDllSearch, with the functions found at run time in system_functions.h), and every DLL
// the program loads itself is named by its full path in the system folder.
#pragma once

#include <windows.h>

// Loads a DLL of the system folder by its full path, its own dependencies searched from there
// too. Null when it is missing or the path does not fit.
HMODULE loadSystemLibrary(const wchar_t* name);
// The same for an ANSI name, with the signature of LoadLibraryA, for the tables of Windows calls.
HMODULE WINAPI loadSystemLibraryA(LPCSTR name);
