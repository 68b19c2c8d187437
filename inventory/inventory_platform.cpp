#include "inventory/inventory_platform.h"

#include <mmsystem.h>
#include <objbase.h>

#include "base/system_functions.h"
#include "base/system_library.h"

namespace {

// The timer calls come from the system folder's WINMM (not imported, see system_functions.h);
// without them the timer keeps its resolution.
MMRESULT WINAPI systemTimeBeginPeriod(UINT period) {
    const auto real = systemFunctions().timeBeginPeriod;
    return real ? real(period) : TIMERR_NOCANDO;
}

MMRESULT WINAPI systemTimeEndPeriod(UINT period) {
    const auto real = systemFunctions().timeEndPeriod;
    return real ? real(period) : TIMERR_NOCANDO;
}

const InventoryPlatform kReal = {
    systemTimeBeginPeriod, systemTimeEndPeriod, CoInitialize, CoUninitialize,
    loadSystemLibraryA, FreeLibrary, GetModuleHandleA, GetProcAddress,
};

}  // namespace

InventoryPlatform g_inventoryPlatform = kReal;
