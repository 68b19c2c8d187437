// The Windows calls the device inventory makes, as one table: the product uses the real
// functions; tests put a fake device world in their place (wave devices, modules, COM and timer
// bookkeeping, list memory that can run out), so that the inventory's own logic runs unchanged
// in both.
#pragma once

#include <windows.h>
#include <mmsystem.h>

struct InventoryPlatform {
    UINT(WINAPI* waveInGetNumDevs)();
    MMRESULT(WINAPI* waveInGetDevCapsW)(UINT_PTR id, LPWAVEINCAPSW caps, UINT size);
    UINT(WINAPI* waveOutGetNumDevs)();
    MMRESULT(WINAPI* waveOutGetDevCapsW)(UINT_PTR id, LPWAVEOUTCAPSW caps, UINT size);
    MMRESULT(WINAPI* timeBeginPeriod)(UINT period);
    MMRESULT(WINAPI* timeEndPeriod)(UINT period);
    HRESULT(WINAPI* coInitialize)(LPVOID reserved);
    void(WINAPI* coUninitialize)();
    HMODULE(WINAPI* loadLibraryA)(LPCSTR name);
    BOOL(WINAPI* freeLibrary)(HMODULE module);
    HMODULE(WINAPI* getModuleHandleA)(LPCSTR name);
    FARPROC(WINAPI* getProcAddress)(HMODULE module, LPCSTR name);
    // Storage of the lists and of their sort work areas.
    void* (*allocate)(size_t bytes);
    void* (*reallocate)(void* block, size_t bytes);  // null on failure, the block untouched
    void (*release)(void* block);
};

// The table in force; tests replace it for the length of a test and restore it.
extern InventoryPlatform g_inventoryPlatform;
const InventoryPlatform& realInventoryPlatform();
