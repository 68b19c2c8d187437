#include "inventory/device_inventory.h"

#include <string.h>

#include "endpoints/audio_endpoints.h"
#include "endpoints/registry_store.h"
#include "inventory/inventory_platform.h"
#include "inventory/ks_interfaces.h"

DeviceInventory g_inventory;

namespace {

void* allocate(size_t bytes) { return g_inventoryPlatform.allocate(bytes); }
void release(void* block) {
    if (block) g_inventoryPlatform.release(block);
}

char* recordBytes(const RecordList& list, uint32_t zeroBased) {
    return static_cast<char*>(list.items) + size_t(zeroBased) * list.recordSize;
}

void swapRecords(char* a, char* b, uint32_t size) {
    char chunk[256];
    while (size > 0) {
        const uint32_t n = size < sizeof(chunk) ? size : uint32_t(sizeof(chunk));
        memcpy(chunk, a, n);
        memcpy(a, b, n);
        memcpy(b, chunk, n);
        a += n;
        b += n;
        size -= n;
    }
}

int compareAt(const RecordList& list, uint32_t a, uint32_t b) {
    return compareDevices(reinterpret_cast<const DeviceRecord*>(recordBytes(list, a)),
                          reinterpret_cast<const DeviceRecord*>(recordBytes(list, b)));
}

// Merges the sorted runs [lo, mid) and [mid, hi) in place. Left-run records that a right-run
// record overtakes wait, in order, in the queue (room for mid - lo records).
void mergeRuns(RecordList* list, uint32_t lo, uint32_t mid, uint32_t hi) {
    const uint32_t size = list->recordSize;
    if (compareAt(*list, mid - 1, mid) <= 0) return;  // already in order
    // Left records not above the first right record keep their places.
    uint32_t first = lo;
    while (compareAt(*list, first, mid) <= 0) ++first;

    char* queue = static_cast<char*>(list->sortScratch);
    const uint32_t queued = mid - first;
    memcpy(queue, recordBytes(*list, first), size_t(queued) * size);
    uint32_t head = 0, right = mid, out = first;
    while (head < queued && right < hi) {
        const DeviceRecord* waiting = reinterpret_cast<const DeviceRecord*>(queue + size_t(head) * size);
        const DeviceRecord* next = reinterpret_cast<const DeviceRecord*>(recordBytes(*list, right));
        // Ties go to the left run, so equal records keep their order.
        if (compareDevices(waiting, next) <= 0) {
            memcpy(recordBytes(*list, out), waiting, size);
            ++head;
        } else {
            memcpy(recordBytes(*list, out), next, size);
            ++right;
        }
        ++out;
    }
    // Whatever waits goes behind; right records left over are already in place.
    memcpy(recordBytes(*list, out), queue + size_t(head) * size, size_t(queued - head) * size);
}

void collectWaveDevices(RecordList* list, bool recording) {
    const InventoryPlatform& api = g_inventoryPlatform;
    const int32_t count = int32_t(recording ? api.waveInGetNumDevs() : api.waveOutGetNumDevs());
    // Ids 0 to count - 1 are the numbered devices; the wave mapper (WAVE_MAPPER) is never asked.
    for (int32_t id = 0; id < count; ++id) {
        wchar_t name[MAXPNAMELEN + 1];
        uint32_t channels = 0;
        if (recording) {
            WAVEINCAPSW caps;
            ZeroMemory(&caps, sizeof(caps));
            if (api.waveInGetDevCapsW(UINT_PTR(id), &caps, sizeof(caps)) != MMSYSERR_NOERROR) continue;
            memcpy(name, caps.szPname, sizeof(caps.szPname));
            channels = caps.wChannels;
        } else {
            WAVEOUTCAPSW caps;
            ZeroMemory(&caps, sizeof(caps));
            if (api.waveOutGetDevCapsW(UINT_PTR(id), &caps, sizeof(caps)) != MMSYSERR_NOERROR) continue;
            memcpy(name, caps.szPname, sizeof(caps.szPname));
            channels = caps.wChannels;
        }
        name[MAXPNAMELEN] = 0;  // a driver may fill all 32 units without a terminator

        DeviceRecord record;
        ZeroMemory(&record, sizeof(record));
        record.index = id;
        lstrcpynW(record.pinNameW, name, PIN_NAME_SIZE);
        toNarrow(record.pinNameW, record.pinName, PIN_NAME_SIZE);
        record.channels = channels;
        record.kind = KIND_MME;
        // Hardware ID, driver name, icon and endpoint GUID from the endpoint's registry entry;
        // the record is listed whatever that finds.
        completeFromEndpointRegistry(&record, recording ? L"Capture" : L"Render",
                                     COMPLETE_HARDWARE_ID | COMPLETE_DRIVER_NAME);
        appendRecord(list, &record);
    }
}

}  // namespace

void initList(RecordList* list) {
    ZeroMemory(list, sizeof(*list));
    list->items = allocate(LIST_INITIAL_BYTES);
    list->recordSize = sizeof(DeviceRecord);
    list->capacityBytes = LIST_INITIAL_BYTES;
    list->freeBytes = LIST_INITIAL_BYTES;
    list->growStep = LIST_GROW_STEP;
}

void freeList(RecordList* list) {
    release(list->items);
    release(list->sortScratch);
    ZeroMemory(list, sizeof(*list));
}

DeviceRecord* appendRecord(RecordList* list, const DeviceRecord* record) {
    if (!list->items) return NULL;
    if (list->recordSize > list->freeBytes) {
        const uint64_t grown = uint64_t(list->capacityBytes) +
                               uint64_t(list->growStep) * (list->recordSize / list->growStep + 1);
        void* moved = grown <= 0xFFFFFFFFu
                          ? g_inventoryPlatform.reallocate(list->items, size_t(grown))
                          : NULL;
        if (!moved) {
            // The list is left without storage; the old block is not leaked.
            release(list->items);
            list->items = NULL;
            list->count = 0;
            list->capacityBytes = 0;
            list->usedBytes = 0;
            list->freeBytes = 0;
            return NULL;
        }
        list->items = moved;
        list->capacityBytes = uint32_t(grown);
        list->freeBytes = list->capacityBytes - list->usedBytes;
    }
    char* slot = recordBytes(*list, list->count);
    memcpy(slot, record, list->recordSize);
    list->count += 1;
    list->freeBytes -= list->recordSize;
    list->usedBytes += list->recordSize;
    return reinterpret_cast<DeviceRecord*>(slot);
}

void resetList(RecordList* list) {
    list->count = 0;
    if (!list->items) list->capacityBytes = 0;
    list->freeBytes = list->capacityBytes;
    list->usedBytes = 0;
}

int32_t compareDevices(const DeviceRecord* a, const DeviceRecord* b) {
    struct Rank {
        static int of(const DeviceRecord* r) {
            switch (r->kind & KIND_MASK) {
            case KIND_MME: return 2;
            case KIND_KS: return 1;
            default: return 0;
            }
        }
    };
    const int rankA = Rank::of(a), rankB = Rank::of(b);
    if (rankA != rankB) return rankA > rankB ? 1 : -1;
    // Exact order of the UTF-16 units: no case folding, no locale.
    for (int i = 0; i < PIN_NAME_SIZE; ++i) {
        const uint16_t ua = uint16_t(a->pinNameW[i]), ub = uint16_t(b->pinNameW[i]);
        if (ua != ub) return ua < ub ? -1 : 1;
        if (ua == 0) break;
    }
    return 0;
}

int32_t sortDevices(RecordList* list) {
    const uint32_t count = recordCount(*list);
    if (count < 2) return 1;
    for (uint32_t i = 0; i + 1 < count; i += 2)
        if (compareAt(*list, i, i + 1) > 0) swapRecords(recordBytes(*list, i), recordBytes(*list, i + 1), list->recordSize);

    for (uint64_t run = 2; run < count; run *= 2) {
        const uint64_t needed = run * list->recordSize;
        if (list->sortScratchBytes < needed) {
            release(list->sortScratch);
            list->sortScratch = needed <= 0xFFFFFFFFu ? allocate(size_t(needed)) : NULL;
            list->sortScratchBytes = list->sortScratch ? uint32_t(needed) : 0;
            if (!list->sortScratch) return 0;
        }
        for (uint64_t lo = 0; lo + run < count; lo += 2 * run) {
            const uint64_t hi = lo + 2 * run < count ? lo + 2 * run : count;
            mergeRuns(list, uint32_t(lo), uint32_t(lo + run), uint32_t(hi));
        }
    }
    return 1;
}

void toNarrow(const wchar_t* wide, char* narrow, int size) {
    if (!narrow || size <= 0) return;
    if (!wide || !wide[0]) {
        narrow[0] = 0;
        return;
    }
    memset(narrow, 0, size_t(size));
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, size, NULL, NULL);
    narrow[size - 1] = 0;
}

int32_t openInventory(uint32_t options) {
    const InventoryPlatform& api = g_inventoryPlatform;
    ZeroMemory(&g_inventory, sizeof(g_inventory));
    if (options & OPT_TIMER_1MS) api.timeBeginPeriod(1);
    g_inventory.options = options;

    g_inventory.ksuserModule = api.loadLibraryA("ksuser.dll");
    if (g_inventory.ksuserModule && api.getProcAddress(g_inventory.ksuserModule, "KsCreatePin"))
        g_inventory.ksAvailable = 1;

    g_inventory.comResult = api.coInitialize(NULL);

    HMODULE kernel = api.getModuleHandleA("Kernel32.dll");
    if (kernel && api.getProcAddress(kernel, "CreateEventExA")) g_inventory.endpointsAvailable = 1;

    initList(&g_inventory.ksInterfaces);
    initList(&g_inventory.inputDevices);
    initList(&g_inventory.outputDevices);
    g_inventory.opened = 1;
    collectDevices();
    return 0;
}

int32_t collectDevices() {
    DeviceInventory& inv = g_inventory;
    resetList(&inv.inputDevices);
    resetList(&inv.outputDevices);
    collectKsInterfaces(&inv);

    // Recording side, then playback side: Core Audio endpoints (when available), then
    // kernel-streaming filters (when available), then the wave devices.
    const struct {
        RecordList* list;
        int direction;
    } sides[] = {{&inv.inputDevices, 1}, {&inv.outputDevices, 0}};
    for (const auto& side : sides) {
        if (inv.endpointsAvailable && (inv.options & OPT_ENDPOINTS)) enumerateAudioEndpoints(&inv, side.direction);
        if (inv.ksAvailable && (inv.options & OPT_KS)) collectKsDevices(&inv, side.direction);
        if (inv.options & OPT_MME) collectWaveDevices(side.list, side.direction == 1);
    }

    sortDevices(&inv.inputDevices);
    sortDevices(&inv.outputDevices);
    return 0;
}

int32_t closeInventory() {
    const InventoryPlatform& api = g_inventoryPlatform;
    // Only an open audio side is closed: a second close (WM_DESTROY can come twice) finds the
    // inventory zeroed and must not end the timer period or uninitialise COM again.
    if (g_inventory.opened) {
        if (g_inventory.options & OPT_TIMER_1MS) api.timeEndPeriod(1);
        if (g_inventory.ksuserModule) api.freeLibrary(g_inventory.ksuserModule);
        if (g_inventory.comResult == S_OK || g_inventory.comResult == S_FALSE) api.coUninitialize();
    }
    freeList(&g_inventory.ksInterfaces);
    freeList(&g_inventory.inputDevices);
    freeList(&g_inventory.outputDevices);
    ZeroMemory(&g_inventory, sizeof(g_inventory));
    return 0;
}
