// Where the program's DLLs come from. Users run the checker from a Downloads folder, and as
// administrator for the format commands: a DLL someone left beside the exe must never run inside
// it. So the search skips the exe's and the current folder where Windows allows, and every DLL
// the program loads itself is named by its full path in the system folder.
#pragma once

#include <windows.h>

// Limits the DLL search of the process to the system folder where kernel32 offers
// SetDefaultDllDirectories (Windows 8, and Vista and 7 with their update); otherwise takes the
// current folder out of it with SetDllDirectoryW(L"") (XP SP1 and later). Call it first thing.
void restrictDllSearch();

// Loads a DLL of the system folder by its full path, its own dependencies searched from there
// too. Null when it is missing or the path does not fit.
HMODULE loadSystemLibrary(const wchar_t* name);
// The same for an ANSI name, with the signature of LoadLibraryA, for the tables of Windows calls.
HMODULE WINAPI loadSystemLibraryA(LPCSTR name);

// A function of a DLL of the system folder, which stays loaded for the life of the process.
// Null when the DLL or the function is missing.
FARPROC systemFunction(const wchar_t* dll, const char* function);
template <typename Function>
Function systemFunctionAs(const wchar_t* dll, const char* function) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(systemFunction(dll, function)));
}
