// The collection pass's reading of a direction of the store, and the completion of device
// records from it.
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "base/owners.h"
#include "base/registry.h"
#include "base/text.h"
#include "sources/store/endpoint_store.h"
#include "sources/store/store_values.h"

// An entry of a reading: the flags of the values found (STORE_HAS_...), its texts as offsets
// into the reading's pool, and its hardware ID.
struct StoreEntry {
    uint32_t flags;
    uint32_t name;         // the entry key's name, cut to the record's GUID field
    uint32_t description;  // the first 256 units: all a device name of 255 can be compared with
    uint32_t adapter;      // likewise
    uint32_t icon;         // cut to the record's icon field
    char hardwareId[HARDWARE_ID_SIZE];
};

namespace {

// The completion's own flag: the record takes the name of the entry it was found by.
const uint32_t COMPLETE_DEVICE_GUID = 4;

// The reading's storage: entries and their texts grow in steps; a failed allocation only ends
// the reading early.
bool reserve(void** block, uint32_t* capacity, uint32_t needed, uint32_t unit) {
    if (needed <= *capacity) return true;
    uint32_t grown = *capacity ? *capacity : 64;
    while (grown < needed) {
        if (grown > 0x10000000u / unit) return false;
        grown *= 2;
    }
    void* moved = *block ? heapReallocate(*block, size_t(grown) * unit) : heapAllocate(size_t(grown) * unit);
    if (!moved) return false;
    *block = moved;
    *capacity = grown;
    return true;
}

// Appends a text to the pool; 0 (the empty text at the pool's start) when it cannot.
uint32_t keep(EndpointStoreSnapshot* store, const wchar_t* text, size_t units) {
    if (units == 0) return 0;
    void* block = store->text;
    if (!reserve(&block, &store->textCapacity, store->textUsed + uint32_t(units) + 1, sizeof(wchar_t))) return 0;
    store->text = static_cast<wchar_t*>(block);
    const uint32_t at = store->textUsed;
    memcpy(store->text + at, text, units * sizeof(wchar_t));
    store->text[at + units] = 0;
    store->textUsed += uint32_t(units) + 1;
    return at;
}

uint32_t keep(EndpointStoreSnapshot* store, const wchar_t* text) { return keep(store, text, wcslen(text)); }

size_t unitsUpTo(const wchar_t* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n]) ++n;
    return n;
}

// Starts an empty reading of a direction key path: the pool begins with the empty text, which
// every missing text points at. False when not even that could be allocated.
bool startReading(EndpointStoreSnapshot* store, const wchar_t* directionKeyPath) {
    copyText(store->directionPath, directionKeyPath, STORE_PATH_SIZE);
    if (!reserve(reinterpret_cast<void**>(&store->text), &store->textCapacity, 1, sizeof(wchar_t))) return false;
    store->text[0] = 0;
    store->textUsed = 1;
    return true;
}

enum AddResult { ENTRY_ADDED, ENTRY_NOT_OPENED, STORAGE_RAN_OUT };

// Adds an entry of the reading's direction key, its "Properties" key opened once and its values
// read through the store's table.
AddResult addEntry(EndpointStoreSnapshot* store, const wchar_t* name) {
    wchar_t entry[STORE_PATH_SIZE];
    RegistryKey properties;
    bool entryIn64;
    if (!entryPath(store->directionPath, name, entry) || !properties.openEitherView(entry, &entryIn64))
        return ENTRY_NOT_OPENED;
    void* block = store->entries;
    if (!reserve(&block, &store->capacity, store->count + 1, sizeof(StoreEntry))) return STORAGE_RAN_OUT;
    store->entries = static_cast<StoreEntry*>(block);
    StoreEntry& e = store->entries[store->count++];
    ZeroMemory(&e, sizeof(e));
    e.name = keep(store, name, unitsUpTo(name, DEVICE_GUID_SIZE));
    PassEntryValues values;
    readStoreValues(properties.get(), ALL_STORE_VALUES, &values, &e.flags);
    if (e.flags & STORE_HAS_DESCRIPTION) e.description = keep(store, values.description);
    if (e.flags & STORE_HAS_ADAPTER) e.adapter = keep(store, values.adapter);
    if (e.flags & STORE_HAS_ICON) e.icon = keep(store, values.icon);
    if (e.flags & STORE_HAS_HARDWARE_ID) memcpy(e.hardwareId, values.hardwareId, sizeof(e.hardwareId));
    return ENTRY_ADDED;
}

// The name is a leading part (case-sensitive) of the texts one after the other.
bool leadsInto(const wchar_t* name, const wchar_t* const* texts, int count) {
    for (int i = 0; i < count; ++i)
        for (const wchar_t* t = texts[i]; *t; ++t, ++name)
            if (*name != *t) return *name == 0;
    return *name == 0;
}

// A device's name begins "description (adapter)" or "description(adapter)", case-sensitively,
// for as many units as the name has (a wave device's name is cut to 31 characters).
bool nameMatches(const wchar_t* name, const wchar_t* description, const wchar_t* adapter) {
    const wchar_t* const withBlank[] = {description, L" (", adapter, L")"};
    const wchar_t* const without[] = {description, L"(", adapter, L")"};
    return leadsInto(name, withBlank, 4) || leadsInto(name, without, 4);
}

// Fills a record from an entry of the reading.
void completeFromStoreEntry(const EndpointStoreSnapshot& store, const StoreEntry& e, DeviceRecord* record,
                            uint32_t flags) {
    if (flags & COMPLETE_DEVICE_GUID) copyText(record->mmDeviceGuid, store.text + e.name, DEVICE_GUID_SIZE);
    if ((flags & COMPLETE_DRIVER_NAME) && (e.flags & STORE_HAS_ADAPTER))
        copyTextAndNarrow(store.text + e.adapter, record->driverNameW, record->driverName, DRIVER_NAME_SIZE);
    if (e.flags & STORE_HAS_ICON) copyText(record->iconPath, store.text + e.icon, ICON_PATH_SIZE);
    if ((flags & COMPLETE_HARDWARE_ID) && (e.flags & STORE_HAS_HARDWARE_ID))
        lstrcpynA(record->hardwareId, e.hardwareId, HARDWARE_ID_SIZE);
}

}  // namespace

EndpointStoreReading::EndpointStoreReading() { ZeroMemory(&store_, sizeof(store_)); }

void EndpointStoreReading::release() {
    heapRelease(store_.entries);
    heapRelease(store_.text);
    ZeroMemory(&store_, sizeof(store_));
}

void EndpointStoreReading::read(Direction direction) {
    release();
    wchar_t path[STORE_PATH_SIZE];
    directionPath(direction, path);
    if (!startReading(&store_, path)) return;
    EndpointStoreSnapshot* store = &store_;
    bool in64 = false;
    store_.opened = walkEntries(store_.directionPath, &in64, [store](const wchar_t* name) {
        return addEntry(store, name) == STORAGE_RAN_OUT;
    }) != -1 ? 1 : 0;  // a key that lists nothing in either view is opened, and empty
}

void EndpointStoreReading::readEntry(const wchar_t* directionKeyPath, const wchar_t* entryName) {
    release();
    if (startReading(&store_, directionKeyPath)) addEntry(&store_, entryName);
}

int32_t completeFromEndpointStore(const EndpointStoreSnapshot& store, DeviceRecord* record, uint32_t flags) {
    if ((flags & COMPLETE_BY_GUID) && record->mmDeviceGuid[0]) {
        wchar_t name[DEVICE_GUID_SIZE];
        copyText(name, record->mmDeviceGuid, DEVICE_GUID_SIZE);
        flags &= ~uint32_t(COMPLETE_DEVICE_GUID);
        // An entry of the reading under exactly that name was read from the very key a direct
        // lookup opens; any other spelling (key names ignore case) is opened as it is.
        for (uint32_t i = 0; i < store.count; ++i) {
            if (wcscmp(store.text + store.entries[i].name, name) != 0) continue;
            completeFromStoreEntry(store, store.entries[i], record, flags);
            return 0;
        }
        EndpointStoreReading single;
        single.readEntry(store.directionPath, name);
        if (single.get().count == 1) completeFromStoreEntry(single.get(), single.get().entries[0], record, flags);
        return 0;
    }
    if (!store.opened) return -1;
    for (uint32_t i = 0; i < store.count; ++i) {
        const StoreEntry& e = store.entries[i];
        if (!(e.flags & STORE_HAS_DESCRIPTION) || !(e.flags & STORE_HAS_ADAPTER) ||
            !nameMatches(record->pinNameW, store.text + e.description, store.text + e.adapter))
            continue;
        completeFromStoreEntry(store, e, record, flags | COMPLETE_DEVICE_GUID);
        return 0;
    }
    return -2;
}

namespace {

int32_t watchedIndex(const StoreEntry& e, const HardwareIdSet& ids) {
    if (!(e.flags & STORE_HAS_HARDWARE_ID)) return -1;
    for (int32_t k = 0; k < ids.count; ++k)
        if (ids.ids[k] && equalIgnoringAsciiCase(e.hardwareId, ids.ids[k])) return k;
    return -1;
}

// A record of the side was completed from the entry: it names the entry as its endpoint GUID.
bool named(const RecordList& devices, const wchar_t* entryName) {
    for (uint32_t i = 1; i <= recordCount(devices); ++i)
        if (equalIgnoringAsciiCase(recordAt(devices, i)->mmDeviceGuid, entryName)) return true;
    return false;
}

void readWatched(const EndpointStoreSnapshot& store, const StoreEntry& e, int32_t index, Direction direction,
                 WatchedEntry* w) {
    ZeroMemory(w, sizeof(*w));
    w->idIndex = index;
    w->direction = direction;
    copyText(w->endpointGuid, store.text + e.name, DEVICE_GUID_SIZE);
    if (e.flags & STORE_HAS_DESCRIPTION) {
        copyText(w->name, store.text + e.description, ENTRY_NAME_SIZE);
        w->known |= ENTRY_HAS_NAME;
    }
    if (e.flags & STORE_HAS_ICON) {
        copyText(w->icon, store.text + e.icon, ICON_PATH_SIZE);
        w->known |= ENTRY_HAS_ICON;
    }
    // The state is a value of the entry's own key; an entry gone since the walk has none.
    wchar_t path[STORE_PATH_SIZE];
    const int written = _snwprintf(path, STORE_PATH_SIZE, L"%ls\\%ls", store.directionPath, w->endpointGuid);
    path[STORE_PATH_SIZE - 1] = 0;
    RegistryKey key;
    bool in64 = false;
    if (written >= 0 && size_t(written) < STORE_PATH_SIZE && key.openEitherView(path, &in64) &&
        readDwordValue(key.get(), L"DeviceState", &w->deviceState) == 1)
        w->known |= ENTRY_STATE_KNOWN;
}

// How much a state tells of a missing device: a user's choice first.
int statePriority(uint32_t state) {
    switch (state) {
    case STORED_STATE_DISABLED: return 3;
    case STORED_STATE_UNPLUGGED: return 2;
    case STORED_STATE_NOT_PRESENT: return 1;
    default: return 0;
    }
}

void sumUp(const WatchedEntry& w, EntrySummary* summary) {
    ++summary->entries;
    const uint32_t state = storedState(w);
    if (state == STORED_STATE_ACTIVE) ++summary->active;
    if (statePriority(state) > (summary->decided ? statePriority(storedState(summary->deciding)) : 0)) {
        summary->deciding = w;
        summary->decided = true;
    }
}

}  // namespace

uint32_t storedState(const WatchedEntry& entry) {
    return (entry.known & ENTRY_STATE_KNOWN) ? (entry.deviceState & 0xF) : 0;
}

void addWatchedEntries(const EndpointStoreSnapshot& store, Direction direction, const HardwareIdSet& ids,
                       const RecordList& devices, WatchedEntryList* list) {
    // The entries the side's devices were completed from, then the others.
    for (int pass = 0; pass < 2; ++pass) {
        for (uint32_t i = 0; i < store.count; ++i) {
            const StoreEntry& e = store.entries[i];
            const int32_t index = watchedIndex(e, ids);
            if (index < 0 || named(devices, store.text + e.name) != (pass == 0)) continue;
            WatchedEntry w;
            readWatched(store, e, index, direction, &w);
            if (index < ENTRY_SUMMARY_IDS) sumUp(w, &list->ids[index][direction == DIRECTION_RECORDING ? 1 : 0]);
            if (list->count < WATCHED_ENTRIES_CAPACITY) list->entries[list->count++] = w;
            else ++list->leftOut;
        }
    }
}
