#include "inventory/inventory_platform.h"

#include <objbase.h>

namespace {

void* heapAllocate(size_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes); }
void* heapReallocate(void* block, size_t bytes) { return HeapReAlloc(GetProcessHeap(), 0, block, bytes); }
void heapRelease(void* block) { HeapFree(GetProcessHeap(), 0, block); }

const InventoryPlatform kReal = {
    waveInGetNumDevs, waveInGetDevCapsW, waveOutGetNumDevs, waveOutGetDevCapsW,
    timeBeginPeriod, timeEndPeriod,
    CoInitialize, CoUninitialize,
    LoadLibraryA, FreeLibrary, GetModuleHandleA, GetProcAddress,
    heapAllocate, heapReallocate, heapRelease,
};

}  // namespace

InventoryPlatform g_inventoryPlatform = kReal;

const InventoryPlatform& realInventoryPlatform() { return kReal; }
