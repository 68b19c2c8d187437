// The one in-memory picture of the audio devices Windows reports: the interface map and the
// two device lists, rebuilt by every collection pass from all the sources.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "base/device_record.h"

enum : uint32_t {
    OPT_MME = 0x1,
    OPT_ENDPOINTS = 0x4,
    OPT_KS = 0x8,
    OPT_TIMER_1MS = 0x100000,
};

struct DeviceInventory {
    uint32_t options;
    HMODULE ksuserModule;
    int32_t ksAvailable;
    int32_t endpointsAvailable;
    HRESULT comResult;
    RecordList ksInterfaces;
    RecordList inputDevices;   // recording side
    RecordList outputDevices;  // playback side
    int32_t opened;            // between openInventory and closeInventory
    int32_t openingPassUnused; // the lists still hold the opening's pass, which nobody has read
};

extern DeviceInventory g_inventory;

int32_t openInventory(uint32_t options);
int32_t collectDevices();
int32_t closeInventory();
// The lists for the first test of the program: the pass that opening the audio side ran, when
// nothing has read it yet (it was made moments before, with nothing in between that could
// change or see it); otherwise a new pass.
int32_t collectDevicesForTest();

// One side of a pass, appended to the inventory's list of that side: Core Audio endpoints, then
// kernel-streaming filters, then wave devices, as far as `sources` (OPT_ flags) names them. Each
// record is completed from the interface map and from the store's key of that side, which is
// read at most once however many devices are completed from it.
void collectSide(DeviceInventory* inventory, Direction direction, uint32_t sources);

