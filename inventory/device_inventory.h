// The one in-memory picture of the audio devices Windows reports: three lists of fixed-size
// records, rebuilt by every collection pass.
#pragma once

#include <windows.h>
#include <stdint.h>

enum : uint32_t {
    KIND_MME = 1,
    KIND_WDM = 4,
    KIND_KS = 8,
    KIND_MASK = 0xFFFF,
    KS_CAPTURE_FLAG = 0x10000,  // in ksInterfaces: the record is a capture alias
};

enum : uint32_t {
    OPT_MME = 0x1,
    OPT_ENDPOINTS = 0x4,
    OPT_KS = 0x8,
    OPT_NO_WAVE_MAPPER = 0x200,
    OPT_TIMER_1MS = 0x100000,
};

enum : uint32_t {
    LIST_INITIAL_BYTES = 8192,
    LIST_GROW_STEP = 32768,
};

// Sizes of the record's text fields, terminator included.
enum {
    PIN_NAME_SIZE = 256,
    DRIVER_NAME_SIZE = 256,
    HARDWARE_ID_SIZE = 128,
    ICON_PATH_SIZE = 512,
    DEVICE_GUID_SIZE = 64,
};

struct DeviceRecord {
    int32_t index;
    char pinName[PIN_NAME_SIZE];
    wchar_t pinNameW[PIN_NAME_SIZE];
    uint32_t channels;
    uint32_t kind;
    char driverName[DRIVER_NAME_SIZE];
    wchar_t driverNameW[DRIVER_NAME_SIZE];
    char hardwareId[HARDWARE_ID_SIZE];
    wchar_t iconPath[ICON_PATH_SIZE];
    wchar_t mmDeviceGuid[DEVICE_GUID_SIZE];
};

struct RecordList {
    void* items;  // null when the list has no storage: it then reads as empty
    uint32_t count;
    uint32_t capacityBytes;
    uint32_t recordSize;
    uint32_t usedBytes;
    uint32_t freeBytes;
    uint32_t growStep;
    void* sortScratch;
    uint32_t sortScratchBytes;
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
};

extern DeviceInventory g_inventory;

int32_t openInventory(uint32_t options);
int32_t collectDevices();
int32_t closeInventory();

// Record i (1-based) of a list; the list must hold it.
inline DeviceRecord* recordAt(const RecordList& list, uint32_t i) {
    return reinterpret_cast<DeviceRecord*>(static_cast<char*>(list.items) + size_t(i - 1) * list.recordSize);
}
// Records held, 0 for a list without storage.
inline uint32_t recordCount(const RecordList& list) { return list.items ? list.count : 0; }

// Prepares an empty list with its first storage (none when the allocation fails).
void initList(RecordList* list);
void freeList(RecordList* list);
DeviceRecord* appendRecord(RecordList* list, const DeviceRecord* record);
void resetList(RecordList* list);
int32_t sortDevices(RecordList* list);
int32_t compareDevices(const DeviceRecord* a, const DeviceRecord* b);

// The ANSI copy of a wide text, cut to the buffer and always terminated.
void toNarrow(const wchar_t* wide, char* narrow, int size);
