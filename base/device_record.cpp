#include "base/device_record.h"

#include <string.h>

#include "base/owners.h"

namespace {

const ListMemory kHeap = {heapAllocate, heapReallocate, heapRelease};

void* allocate(size_t bytes) { return g_listMemory.allocate(bytes); }
void release(void* block) {
    if (block) g_listMemory.release(block);
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

}  // namespace

ListMemory g_listMemory = kHeap;

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
                          ? g_listMemory.reallocate(list->items, size_t(grown))
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
            switch (r->kind) {
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


