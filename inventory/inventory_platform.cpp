#include "inventory/inventory_platform.h"

#include <mmsystem.h>
#include <objbase.h>

namespace {

const InventoryPlatform kReal = {
    timeBeginPeriod, timeEndPeriod, CoInitialize, CoUninitialize,
    LoadLibraryA, FreeLibrary, GetModuleHandleA, GetProcAddress,
};

}  // namespace

InventoryPlatform g_inventoryPlatform = kReal;

const InventoryPlatform& realInventoryPlatform() { return kReal; }
