// What the store's two readers share: the direction keys, the walk over a direction's entries,
// and the one table of the values an entry's "Properties" key holds, read by one function.
#pragma once

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#include "base/device_record.h"

struct EndpointRegistryRecord;

enum {
    STORE_PATH_SIZE = 2048,  // any direction key path, entry name and "\Properties"
    // A device's name holds at most 255 units: only that much of an entry's names can decide a
    // match (one more is kept, so that a whole-character cut of the adapter name can be made).
    STORE_MATCH_UNITS = PIN_NAME_SIZE,
};

// The values of the table, in its order; a set of them is a mask of (1 << value).
enum StoreValue {
    VALUE_DESCRIPTION,
    VALUE_ADAPTER_NAME,
    VALUE_ICON_PATH,
    VALUE_DRIVER_TEXT,
    VALUE_EXCLUSIVE_FIRST,
    VALUE_EXCLUSIVE_SECOND,
    VALUE_OEM_FORMAT,
    VALUE_DEVICE_FORMAT,
    STORE_VALUE_COUNT,
};
const uint32_t ALL_STORE_VALUES = (1u << STORE_VALUE_COUNT) - 1;

// The names of the values the store's writes change: the two formats, which the format editing
// rewrites, and the name and icon a fix puts back.
extern const wchar_t PROP_OEM_FORMAT[];    // REG_BINARY, the default format (wave_format.h)
extern const wchar_t PROP_DEVICE_FORMAT[];  // REG_BINARY, the current format, the same layout
extern const wchar_t PROP_DESCRIPTION[];    // REG_SZ, the endpoint's name
extern const wchar_t PROP_ICON_PATH[];      // REG_SZ, may hold %NAME%

// What the collection pass takes of one entry, before its texts move into the reading's pool,
// and which of them it found (the reading's flags of an entry).
enum : uint32_t {
    STORE_HAS_DESCRIPTION = 1,
    STORE_HAS_ADAPTER = 2,
    STORE_HAS_ICON = 4,
    STORE_HAS_HARDWARE_ID = 8,
};
struct PassEntryValues {
    wchar_t description[STORE_MATCH_UNITS + 1];
    wchar_t adapter[STORE_MATCH_UNITS + 1];
    wchar_t icon[ICON_PATH_SIZE];
    char hardwareId[HARDWARE_ID_SIZE];
};

// The direction key's path below HKEY_LOCAL_MACHINE, into STORE_PATH_SIZE characters.
void directionPath(Direction direction, wchar_t* path);
// An entry's "Properties" key path, into STORE_PATH_SIZE characters; false when it would not fit.
bool entryPath(const wchar_t* directionKeyPath, const wchar_t* endpointKeyName, wchar_t* path);

// Reads, from an entry's open "Properties" key, the values of `wanted` that the reader of the
// record takes (the device list's table, or the collection pass), into the record's fields as
// the table says; *flags gets the reader's flags of the values read. Returns the set of values
// read.
uint32_t readStoreValues(HKEY properties, uint32_t wanted, EndpointRegistryRecord* record, uint32_t* flags);
uint32_t readStoreValues(HKEY properties, uint32_t wanted, PassEntryValues* values, uint32_t* flags);

// The direction key as the store is read: the default view, else the 64-bit one; and the
// 64-bit one again when the default view's key lists no entry at all. Visits every entry name in
// enumeration order until visit returns true; a name too long for the buffer is passed over.
// 1 visited; -1 the key cannot be opened; -2 the retry in the 64-bit view cannot be opened.
struct EntryVisit {
    bool (*visit)(void* context, const wchar_t* entryName);
    void* context;
};
int32_t walkDirection(const wchar_t* directionKeyPath, bool* in64, EntryVisit visit);

// Calls a callable for each entry name (see walkDirection).
template <typename Visit>
int32_t walkEntries(const wchar_t* directionKeyPath, bool* in64, Visit visit) {
    const EntryVisit v = {[](void* c, const wchar_t* name) { return (*static_cast<Visit*>(c))(name); }, &visit};
    return walkDirection(directionKeyPath, in64, v);
}
