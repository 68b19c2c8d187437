#include "inventory/inventory_platform.h"

#include <mmsystem.h>
#include <objbase.h>

#include "base/system_library.h"

namespace {

// The timer calls come from the system folder's WINMM, found when first called (WINMM is not
// imported, see wave_devices.cpp); without them the timer keeps its resolution.
typedef MMRESULT(WINAPI* TimerPeriodCall)(UINT);

MMRESULT WINAPI systemTimeBeginPeriod(UINT period) {
    static const auto real = systemFunctionAs<TimerPeriodCall>(L"winmm.dll", "timeBeginPeriod");
    return real ? real(period) : TIMERR_NOCANDO;
}

MMRESULT WINAPI systemTimeEndPeriod(UINT period) {
    static const auto real = systemFunctionAs<TimerPeriodCall>(L"winmm.dll", "timeEndPeriod");
    return real ? real(period) : TIMERR_NOCANDO;
}

const InventoryPlatform kReal = {
    systemTimeBeginPeriod, systemTimeEndPeriod, CoInitialize, CoUninitialize,
    loadSystemLibraryA, FreeLibrary, GetModuleHandleA, GetProcAddress,
};

}  // namespace

InventoryPlatform g_inventoryPlatform = kReal;

const InventoryPlatform& realInventoryPlatform() { return kReal; }
