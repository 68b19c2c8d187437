#include "sources/store/endpoint_store.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "base/text.h"

const wchar_t ENDPOINT_ROOT[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio";
const wchar_t PROP_DESCRIPTION[] = L"{a45c254e-df1c-4efd-8020-67d146a850e0},2";
const wchar_t PROP_ADAPTER_NAME[] = L"{b3f8fa53-0004-438e-9003-51a46e139bfc},6";
const wchar_t PROP_ICON_PATH[] = L"{259abffc-50a7-47ce-af08-68c9a7d73366},12";
const wchar_t PROP_DRIVER_TEXT[] = L"{83da6326-97a6-4088-9453-a1923f573b29},3";
const wchar_t PROP_EXCLUSIVE_FIRST[] = L"{b3f8fa53-0004-438e-9003-51a46e139bfc},3";
const wchar_t PROP_EXCLUSIVE_SECOND[] = L"{b3f8fa53-0004-438e-9003-51a46e139bfc},4";
const wchar_t PROP_OEM_FORMAT[] = L"{e4870e26-3cc5-4cd2-ba46-ca0a9a70ed04},0";
const wchar_t PROP_DEVICE_FORMAT[] = L"{f19f064d-082c-4e27-bc73-6882a1bb8e4c},0";

namespace {

const DWORD kKeyNameSize = 1000;    // subkey names of at most 999 characters
const size_t kPathSize = 2048;      // any direction key path, entry name and "\Properties"
// A device's name holds at most 255 units: only that much of an entry's names can decide a match
// (one more is kept, so that a whole-character cut of the adapter name can be made from it).
const size_t kMatchUnits = PIN_NAME_SIZE;

void directionPath(const wchar_t* directionKeyName, wchar_t* path) {
    _snwprintf(path, kPathSize, L"%ls\\%ls", ENDPOINT_ROOT, directionKeyName);
    path[kPathSize - 1] = 0;
}

// False when the path would not fit.
bool entryPath(const wchar_t* directionKeyPath, const wchar_t* endpointKeyName, wchar_t* path) {
    const int written = _snwprintf(path, kPathSize, L"%ls\\%ls\\Properties", directionKeyPath, endpointKeyName);
    path[kPathSize - 1] = 0;
    return written >= 0 && size_t(written) < kPathSize;
}

// The direction key as the store is read: the default view, else the 64-bit one; and the
// 64-bit one again when the default view's key lists no entry at all. Visits every entry name in
// enumeration order until visit returns true; a name too long for the buffer is passed over.
// 1 visited; -1 the key cannot be opened; -2 the retry in the 64-bit view cannot be opened.
template <typename Visit>
int32_t walkDirection(const wchar_t* direction, bool* in64, Visit visit) {
    RegistryKey key;
    if (!key.openEitherView(direction, in64)) return -1;
    for (bool retried = false;; retried = true) {
        wchar_t name[kKeyNameSize];
        DWORD index = 0;
        for (;; ++index) {
            const LONG result = g_registryApi.regEnumKeyW(key.get(), index, name, kKeyNameSize);
            if (result == ERROR_MORE_DATA) continue;
            if (result != ERROR_SUCCESS) break;
            name[kKeyNameSize - 1] = 0;
            if (visit(name)) return 1;
        }
        key.close();
        if (index != 0 || *in64 || retried) return 1;
        if (!key.open(direction, KEY_READ, KEY_WOW64_64KEY)) return -2;
        *in64 = true;
    }
}

// The hardware ID at the end of a driver text: what follows its last ':'.
void hardwareIdOf(const wchar_t* driverText, char* hardwareId) {
    const wchar_t* colon = wcsrchr(driverText, L':');
    toNarrow(colon ? colon + 1 : driverText, hardwareId, 128);
}

void readFormat(HKEY entry, const wchar_t* valueName, uint8_t* header, uint8_t* value, int32_t* size) {
    uint8_t buffer[REGISTRY_BINARY_SIZE];
    const int32_t n = readBinaryValue(entry, valueName, buffer);
    // Shorter values have no room for the fields the format commands change; longer ones are
    // not kept whole.
    if (n < FORMAT_MIN_SIZE || n > FORMAT_MAX_SIZE) return;
    memcpy(header, buffer + 8, FORMAT_HEADER_SIZE);
    memcpy(value, buffer, size_t(n));
    *size = n;
}

// Everything the device list shows and the format commands edit, from one open entry key.
void fillRecord(EndpointRegistryRecord* record, HKEY properties, bool in64) {
    record->flags = (record->flags & ~uint32_t(ENDPOINT_64BIT_VIEW)) | (in64 ? uint32_t(ENDPOINT_64BIT_VIEW) : 0u);
    wchar_t value[REGISTRY_STRING_SIZE];
    if (readStringValue(properties, PROP_ADAPTER_NAME, value)) copyText(record->adapterName, value, 128);
    if (readStringValue(properties, PROP_DESCRIPTION, value)) copyText(record->endpointDescription, value, 128);
    if (readStringValue(properties, PROP_ICON_PATH, value)) {
        expandIconPath(value);
        copyText(record->iconPath, value, 512);
    }
    uint32_t setting = 0;
    if (readDwordValue(properties, PROP_EXCLUSIVE_FIRST, &setting))
        record->flags |= ENDPOINT_EXCLUSIVE_READ | (setting ? uint32_t(ENDPOINT_EXCLUSIVE_ON) : 0u);
    if (readDwordValue(properties, PROP_EXCLUSIVE_SECOND, &setting))
        record->flags |= ENDPOINT_PRIORITY_READ | (setting ? uint32_t(ENDPOINT_PRIORITY_ON) : 0u);
    readFormat(properties, PROP_OEM_FORMAT, record->oemFormatHeader, record->oemFormatValue, &record->oemFormatSize);
    readFormat(properties, PROP_DEVICE_FORMAT, record->deviceFormatHeader, record->deviceFormatValue,
               &record->deviceFormatSize);
}

// One walk of a direction key for the entries of several hardware IDs: each entry is opened
// once, and the first entry whose driver text ends in an ID (ignoring ASCII case) is that ID's,
// read whole from the same open key. found[i] tells whether ids[i] got one.
int32_t findEntries(const wchar_t* directionName, uint32_t directionFlag, const char* const* ids, int count,
                    EndpointRegistryRecord* records, bool* found) {
    wchar_t direction[kPathSize];
    directionPath(directionName, direction);
    int missing = 0;
    for (int i = 0; i < count; ++i) {
        ZeroMemory(&records[i], sizeof(records[i]));
        records[i].flags = directionFlag;
        found[i] = false;
        if (ids[i]) ++missing;
    }
    if (missing == 0) return 1;  // no driver has a row: the recording side is not even listed
    bool in64 = false;
    const int32_t walked = walkDirection(direction, &in64, [&](const wchar_t* name) {
        wchar_t entry[kPathSize];
        // An entry whose path does not fit its field is passed over: the format commands
        // write through that path and must never reach another key.
        if (!entryPath(direction, name, entry) || wcslen(entry) >= 1024) return false;
        RegistryKey properties;
        bool entryIn64;
        wchar_t driverText[REGISTRY_STRING_SIZE];
        if (!properties.openEitherView(entry, &entryIn64) ||
            !readStringValue(properties.get(), PROP_DRIVER_TEXT, driverText))
            return false;
        char hardwareId[128];
        hardwareIdOf(driverText, hardwareId);
        for (int i = 0; i < count; ++i) {
            if (!ids[i] || found[i] || !equalIgnoringAsciiCase(hardwareId, ids[i])) continue;
            found[i] = true;
            --missing;
            lstrcpynA(records[i].hardwareId, hardwareId, 128);
            lstrcpynW(records[i].propertiesKeyPath, entry, 1024);
            fillRecord(&records[i], properties.get(), entryIn64);
        }
        return missing == 0;
    });
    // An entry not found records the view its direction key was searched in.
    for (int i = 0; i < count; ++i)
        if (!found[i] && in64) records[i].flags |= ENDPOINT_64BIT_VIEW;
    return walked;
}

// The snapshot's storage: entries and their texts grow in steps; a failed allocation only ends
// the reading early.
bool reserve(void** block, uint32_t* capacity, uint32_t needed, uint32_t unit) {
    if (needed <= *capacity) return true;
    uint32_t grown = *capacity ? *capacity : 64;
    while (grown < needed) {
        if (grown > 0x10000000u / unit) return false;
        grown *= 2;
    }
    void* moved = *block ? HeapReAlloc(GetProcessHeap(), 0, *block, size_t(grown) * unit)
                         : HeapAlloc(GetProcessHeap(), 0, size_t(grown) * unit);
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

size_t unitsUpTo(const wchar_t* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n]) ++n;
    return n;
}

// Completes a record from an entry opened by its name (the direct lookup by endpoint GUID).
void completeFromEntry(DeviceRecord* record, const wchar_t* direction, const wchar_t* name, uint32_t flags) {
    wchar_t entry[kPathSize];
    if (!entryPath(direction, name, entry)) return;
    if (flags & COMPLETE_DEVICE_GUID) copyText(record->mmDeviceGuid, name, DEVICE_GUID_SIZE);
    RegistryKey properties;
    bool in64;
    if (!properties.openEitherView(entry, &in64)) return;
    wchar_t value[REGISTRY_STRING_SIZE];
    if ((flags & COMPLETE_DRIVER_NAME) && readStringValue(properties.get(), PROP_ADAPTER_NAME, value)) {
        copyText(record->driverNameW, value, DRIVER_NAME_SIZE);
        toNarrow(record->driverNameW, record->driverName, DRIVER_NAME_SIZE);
    }
    if (readStringValue(properties.get(), PROP_ICON_PATH, value)) copyText(record->iconPath, value, ICON_PATH_SIZE);
    if ((flags & COMPLETE_HARDWARE_ID) && readStringValue(properties.get(), PROP_DRIVER_TEXT, value))
        hardwareIdOf(value, record->hardwareId);
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
    if ((flags & COMPLETE_DRIVER_NAME) && (e.flags & STORE_HAS_ADAPTER)) {
        copyText(record->driverNameW, store.text + e.adapter, DRIVER_NAME_SIZE);
        toNarrow(record->driverNameW, record->driverName, DRIVER_NAME_SIZE);
    }
    if (e.flags & STORE_HAS_ICON) copyText(record->iconPath, store.text + e.icon, ICON_PATH_SIZE);
    if ((flags & COMPLETE_HARDWARE_ID) && (e.flags & STORE_HAS_HARDWARE_ID))
        lstrcpynA(record->hardwareId, e.hardwareId, HARDWARE_ID_SIZE);
}

}  // namespace

void readEndpointStore(EndpointStoreSnapshot* store, const wchar_t* directionKeyName) {
    ZeroMemory(store, sizeof(*store));
    directionPath(directionKeyName, store->directionPath);
    // The pool starts with the empty text, which every missing text points at.
    if (!reserve(reinterpret_cast<void**>(&store->text), &store->textCapacity, 1, sizeof(wchar_t))) return;
    store->text[0] = 0;
    store->textUsed = 1;
    bool in64 = false;
    store->opened = walkDirection(store->directionPath, &in64, [&](const wchar_t* name) {
        wchar_t entry[kPathSize];
        RegistryKey properties;
        bool entryIn64;
        if (!entryPath(store->directionPath, name, entry) || !properties.openEitherView(entry, &entryIn64))
            return false;
        void* block = store->entries;
        if (!reserve(&block, &store->capacity, store->count + 1, sizeof(StoreEntry))) return true;
        store->entries = static_cast<StoreEntry*>(block);
        StoreEntry& e = store->entries[store->count++];
        ZeroMemory(&e, sizeof(e));
        e.name = keep(store, name, unitsUpTo(name, DEVICE_GUID_SIZE));
        wchar_t value[REGISTRY_STRING_SIZE];
        if (readStringValue(properties.get(), PROP_DESCRIPTION, value)) {
            e.flags |= STORE_HAS_DESCRIPTION;
            e.description = keep(store, value, unitsUpTo(value, kMatchUnits));
        }
        if (readStringValue(properties.get(), PROP_ADAPTER_NAME, value)) {
            e.flags |= STORE_HAS_ADAPTER;
            e.adapter = keep(store, value, unitsUpTo(value, kMatchUnits));
        }
        if (readStringValue(properties.get(), PROP_ICON_PATH, value)) {
            e.flags |= STORE_HAS_ICON;
            e.icon = keep(store, value, wholeCharacterLength(value, unitsUpTo(value, ICON_PATH_SIZE - 1)));
        }
        if (readStringValue(properties.get(), PROP_DRIVER_TEXT, value)) {
            e.flags |= STORE_HAS_HARDWARE_ID;
            hardwareIdOf(value, e.hardwareId);
        }
        return false;
    }) != -1 ? 1 : 0;  // a key that lists nothing in either view is opened, and empty
}

void freeEndpointStore(EndpointStoreSnapshot* store) {
    if (store->entries) HeapFree(GetProcessHeap(), 0, store->entries);
    if (store->text) HeapFree(GetProcessHeap(), 0, store->text);
    ZeroMemory(store, sizeof(*store));
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
        completeFromEntry(record, store.directionPath, name, flags);
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

int32_t completeFromEndpointRegistry(DeviceRecord* record, const wchar_t* directionKeyName, uint32_t flags) {
    EndpointStoreSnapshot store;
    if ((flags & COMPLETE_BY_GUID) && record->mmDeviceGuid[0]) {
        // The direct lookup needs no reading of the whole direction.
        ZeroMemory(&store, sizeof(store));
        directionPath(directionKeyName, store.directionPath);
        return completeFromEndpointStore(store, record, flags);
    }
    readEndpointStore(&store, directionKeyName);
    const int32_t result = completeFromEndpointStore(store, record, flags);
    freeEndpointStore(&store);
    return result;
}

int32_t readEndpointRegistryRecord(EndpointRegistryRecord* record, const char* hardwareId, uint32_t directionFlags) {
    if (!record) return -1;
    const bool playback = (directionFlags & ENDPOINT_PLAYBACK) != 0;
    if (!playback && !(directionFlags & ENDPOINT_RECORDING)) {
        ZeroMemory(record, sizeof(*record));
        return -2;
    }
    bool found = false;
    const int32_t walked = findEntries(playback ? L"Render" : L"Capture",
                                       playback ? uint32_t(ENDPOINT_PLAYBACK) : uint32_t(ENDPOINT_RECORDING),
                                       &hardwareId, 1, record, &found);
    if (walked == -1) return -100;
    if (walked == -2) return -101;
    return found ? 1 : 0;
}

void readEndpointRegistryTable(EndpointRegistryTable* table, const char* const* hardwareIds, int count) {
    if (count > ENDPOINT_TABLE_SIZE) count = ENDPOINT_TABLE_SIZE;
    // Playback entries first; then the recording entries of the drivers that have one.
    EndpointRegistryRecord found[ENDPOINT_TABLE_SIZE];
    bool have[ENDPOINT_TABLE_SIZE];
    findEntries(L"Render", ENDPOINT_PLAYBACK, hardwareIds, count, found, have);
    const char* rowIds[ENDPOINT_TABLE_SIZE];
    int32_t pairs = 0;
    for (int i = 0; i < count; ++i) {
        if (!have[i]) continue;
        table->renderEntries[pairs] = found[i];
        rowIds[pairs++] = hardwareIds[i];
    }
    findEntries(L"Capture", ENDPOINT_RECORDING, rowIds, pairs, table->captureEntries, have);
    table->pairCount = pairs;
}

void expandIconPath(wchar_t* text) {
    const size_t capacity = 1023;  // characters, terminator not counted
    wchar_t out[capacity + 1];
    size_t length = 0;
    const wchar_t* p = text;
    while (*p) {
        if (*p != L'%') {
            if (length >= capacity) break;
            out[length++] = *p++;
            continue;
        }
        const wchar_t next = p[1];
        if (next == 0) break;  // a final "%" is dropped
        if (next == L'%' || next == L'\'' || next == L':') {
            if (length >= capacity) break;
            out[length++] = next == L'%' ? L'%' : next == L'\'' ? L'"' : L';';
            p += 2;
            continue;
        }
        const wchar_t* close = wcschr(p + 1, L'%');
        if (!close) break;  // the text ends inside a variable name
        const size_t nameLength = size_t(close - (p + 1));
        // A name too long for any variable is dropped like an unset one.
        if (nameLength <= 511) {
            wchar_t name[512], value[512];
            memcpy(name, p + 1, nameLength * sizeof(wchar_t));
            name[nameLength] = 0;
            const DWORD n = GetEnvironmentVariableW(name, value, 512);
            if (n >= 1 && n <= 511) {
                if (length + n >= capacity + 1) break;
                memcpy(out + length, value, n * sizeof(wchar_t));
                length += n;
            }
        }
        p = close + 1;
    }
    // A cut at the capacity never leaves the first half of a character behind.
    if (length > 0 && out[length - 1] >= 0xD800 && out[length - 1] <= 0xDBFF) --length;
    out[length] = 0;
    memcpy(text, out, (length + 1) * sizeof(wchar_t));
}
