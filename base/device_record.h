// The device record every source fills and the lists that hold records by value: appending,
// the ordering of a device list, and the memory the lists live in.
#pragma once

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

// Where a record comes from: a legacy multimedia wave device, a Core Audio endpoint or a
// kernel-streaming filter (or interface).
enum DeviceSource : uint32_t {
    KIND_MME = 1,
    KIND_WDM = 4,
    KIND_KS = 8,
};

// The two sides of every device list, stored and passed as this type only. Windows' own kinds of
// side (Core Audio's eRender and eCapture, kernel streaming's data flows, the store's "Render"
// and "Capture" keys) are chosen from it where each source calls Windows.
enum Direction : int32_t {
    DIRECTION_PLAYBACK = 0,
    DIRECTION_RECORDING = 1,
};

// The live alias interfaces of a kernel-streaming interface, as bits: the one alias a record of
// the interface map stands for, or every live alias of a filter that did not answer.
enum KsAliases : uint32_t {
    KS_ALIAS_NONE = 0,
    KS_ALIAS_CAPTURE = 1,
    KS_ALIAS_RENDER = 2,
};
inline KsAliases operator|(KsAliases a, KsAliases b) { return KsAliases(uint32_t(a) | uint32_t(b)); }
// The alias of a list's side: capture for the recording side, render for the playback side.
inline KsAliases ksAliasOf(Direction direction) {
    return direction == DIRECTION_RECORDING ? KS_ALIAS_CAPTURE : KS_ALIAS_RENDER;
}

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
    DeviceSource kind;
    KsAliases ksAliases;  // kernel-streaming interfaces and filters only
    char driverName[DRIVER_NAME_SIZE];
    wchar_t driverNameW[DRIVER_NAME_SIZE];
    char hardwareId[HARDWARE_ID_SIZE];
    wchar_t iconPath[ICON_PATH_SIZE];
    wchar_t mmDeviceGuid[DEVICE_GUID_SIZE];
};

// The hardware IDs a collection pass gathers evidence for (the catalogue's): device nodes and
// endpoint entries are kept for these only. The texts outlive every pass.
struct HardwareIdSet {
    const char* const* ids;
    int32_t count;
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

// Where the lists and their sort work areas get their memory: the process heap; tests put a
// heap that can run out in its place.
struct ListMemory {
    void* (*allocate)(size_t bytes);
    void* (*reallocate)(void* block, size_t bytes);  // null on failure, the block untouched
    void (*release)(void* block);
};
extern ListMemory g_listMemory;

// A source hands each record it made to this before the record is listed, so that what other
// sources know about the device (hardware ID, endpoint entry) can be added by the caller.
struct RecordCompletion {
    void (*complete)(void* context, DeviceRecord* record, Direction direction);
    void* context;
};

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
// Endpoints, then kernel-streaming filters, then wave devices; each by the exact UTF-16 order
// of its name.
int32_t sortDevices(RecordList* list);
int32_t compareDevices(const DeviceRecord* a, const DeviceRecord* b);
