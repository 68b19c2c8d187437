// The Windows calls the opening and closing of the audio side make, as one table: the product
// uses the real functions; tests put a fake world in their place (modules, COM and timer
// bookkeeping), so that the inventory's own logic runs unchanged in both.
#pragma once

#include <windows.h>
#include <mmsystem.h>

struct InventoryPlatform {
    MMRESULT(WINAPI* timeBeginPeriod)(UINT period);
    MMRESULT(WINAPI* timeEndPeriod)(UINT period);
    HRESULT(WINAPI* coInitialize)(LPVOID reserved);
    void(WINAPI* coUninitialize)();
    // Loads a DLL of the system folder by its full path, never one beside the exe.
    HMODULE(WINAPI* loadSystemLibraryA)(LPCSTR name);
    BOOL(WINAPI* freeLibrary)(HMODULE module);
    HMODULE(WINAPI* getModuleHandleA)(LPCSTR name);
    FARPROC(WINAPI* getProcAddress)(HMODULE module, LPCSTR name);
};

// The table in force; tests replace it for the length of a test and restore it.
extern InventoryPlatform g_inventoryPlatform;
