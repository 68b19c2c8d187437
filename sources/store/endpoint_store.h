// The MMDevices endpoint store in the registry: completing device records from it (a reading per
// direction and collection pass: store_reading.cpp), the entries of chosen hardware IDs'
// endpoints for the device list (endpoint_table.cpp), and the expansion of icon paths
// (icon_path.cpp); the values both read are one table (store_values.cpp).
#pragma once

#include <windows.h>
#include <stdint.h>

#include "base/device_record.h"
#include "base/registry.h"
#include "sources/store/wave_format.h"

// Flags of an entry of the device list's table: its direction, the two exclusive-mode settings
// (read, and non-zero), and the registry view it was found in.
enum : uint32_t {
    ENDPOINT_PLAYBACK = 0x1,
    ENDPOINT_RECORDING = 0x2,
    ENDPOINT_EXCLUSIVE_READ = 0x10,
    ENDPOINT_EXCLUSIVE_ON = 0x20,
    ENDPOINT_PRIORITY_READ = 0x40,
    ENDPOINT_PRIORITY_ON = 0x80,
    ENDPOINT_64BIT_VIEW = 0x10000000,  // found only in the 64-bit registry view; written there too
};

// Flags of the completion of a device record from the store (4 is the completion's own: keep the
// name of the entry a record was found by).
enum : uint32_t {
    COMPLETE_HARDWARE_ID = 1,
    COMPLETE_DRIVER_NAME = 2,
    COMPLETE_BY_GUID = 8,
};

enum { ENDPOINT_TABLE_SIZE = 10 };

// An endpoint's entry in the device list's table; all zero but its direction (and view) when the
// entry was not found, and every field zero whose value was missing.
struct EndpointRegistryRecord {
    uint32_t flags;
    char hardwareId[256];  // the hardware ID the entry matched (ANSI)
    wchar_t propertiesKeyPath[1024];
    wchar_t adapterName[128];
    wchar_t endpointDescription[128];
    wchar_t iconPath[512];
    uint8_t oemFormatHeader[FORMAT_HEADER_SIZE];
    uint8_t deviceFormatHeader[FORMAT_HEADER_SIZE];
    uint8_t oemFormatValue[FORMAT_VALUE_SIZE];
    int32_t oemFormatSize;
    uint8_t deviceFormatValue[FORMAT_VALUE_SIZE];
    int32_t deviceFormatSize;
};

struct EndpointRegistryTable {
    EndpointRegistryRecord renderEntries[ENDPOINT_TABLE_SIZE];
    EndpointRegistryRecord captureEntries[ENDPOINT_TABLE_SIZE];
    int32_t pairCount;
};

// One reading of a direction key of the store, made once per collection pass: every entry, in
// enumeration order, with what completing a device record needs of it, each entry's
// "Properties" key opened once (the entries: store_reading.cpp). Texts live in one pool, as
// offsets; offset 0 is the empty text.
struct StoreEntry;
struct EndpointStoreSnapshot {
    int32_t opened;  // 0: the direction key could be opened in neither view
    wchar_t directionPath[2048];
    StoreEntry* entries;
    uint32_t count;
    uint32_t capacity;
    wchar_t* text;
    uint32_t textUsed;
    uint32_t textCapacity;
};

// A reading of one direction of the store, given back when the owner goes out of scope. Until
// read, it holds an empty reading of no direction key.
class EndpointStoreReading {
public:
    EndpointStoreReading();
    ~EndpointStoreReading() { release(); }
    EndpointStoreReading(const EndpointStoreReading&) = delete;
    EndpointStoreReading& operator=(const EndpointStoreReading&) = delete;

    // Reads the direction's key ("Render" or "Capture"), giving back any earlier reading.
    void read(Direction direction);
    // Reads the one entry of that name below a direction key path instead (the direct lookup by
    // endpoint GUID); the reading is then not "opened", and holds the entry only if it exists.
    void readEntry(const wchar_t* directionKeyPath, const wchar_t* entryName);
    const EndpointStoreSnapshot& get() const { return store_; }

private:
    void release();
    EndpointStoreSnapshot store_;
};

// Completes a record from a reading of its direction: 0 entry found (or looked up directly by
// GUID); -1 the direction key could not be opened; -2 no entry matched. A record looked up by
// its GUID opens that one entry when the reading has no entry of exactly that name.
int32_t completeFromEndpointStore(const EndpointStoreSnapshot& store, DeviceRecord* record, uint32_t flags);

// What the store keeps of an endpoint of a watched hardware ID, for the checks' evidence: its
// state, and the name and icon the user sees in the Sound settings (and can change there).
enum : uint32_t {
    STORED_STATE_ACTIVE = 1,
    STORED_STATE_DISABLED = 2,
    STORED_STATE_NOT_PRESENT = 4,
    STORED_STATE_UNPLUGGED = 8,
};
enum EntryKnown : uint32_t {
    ENTRY_KNOWN_NOTHING = 0,
    ENTRY_STATE_KNOWN = 1,  // deviceState was read: a REG_DWORD of 4 bytes
    ENTRY_HAS_NAME = 2,
    ENTRY_HAS_ICON = 4,
};
DEFINE_ENUM_FLAG_OPERATORS(EntryKnown)
enum {
    ENTRY_NAME_SIZE = PIN_NAME_SIZE + 1,  // as much of a name as a device name can show
    WATCHED_ENTRIES_CAPACITY = 32,
    ENTRY_SUMMARY_IDS = 16,  // the watched hardware IDs whose entries are summed up (the catalogue has 10)
};
struct WatchedEntry {
    int32_t idIndex;  // which hardware ID of the set it carries
    Direction direction;
    EntryKnown known;
    uint32_t deviceState;  // the entry key's "DeviceState", as stored
    wchar_t endpointGuid[DEVICE_GUID_SIZE];  // the entry key's name
    wchar_t name[ENTRY_NAME_SIZE];
    wchar_t icon[ICON_PATH_SIZE];
};
// Every entry of one watched hardware ID on one side, however many: counted, and the one that
// says why a device of that side is missing where none is active kept: the first disabled one
// (a user's choice), else the first unplugged, else the first not present.
struct EntrySummary {
    int32_t entries;
    int32_t active;  // its DeviceState says active
    bool decided;
    WatchedEntry deciding;
};
// The store's state word of an entry (the low four bits of DeviceState): STORED_STATE_..., 0
// when not read.
uint32_t storedState(const WatchedEntry& entry);

// The watched entries of both directions: first those a device of its side was completed from,
// then the others, each in the order of its reading; more are only counted, but take part in
// their hardware ID's summary of that side.
struct WatchedEntryList {
    int32_t count;
    int32_t leftOut;
    WatchedEntry entries[WATCHED_ENTRIES_CAPACITY];
    EntrySummary ids[ENTRY_SUMMARY_IDS][2];  // by the index of the hardware ID in the set, and Direction
};

// Appends the reading's entries whose hardware ID is in the set (ignoring ASCII case), each with
// the "DeviceState" of its key, which is opened for these entries only; those whose name a record
// of `devices` (the side's devices) holds as its endpoint GUID first.
void addWatchedEntries(const EndpointStoreSnapshot& store, Direction direction, const HardwareIdSet& ids,
                       const RecordList& devices, WatchedEntryList* list);

// Rebuilds the table: for each hardware ID in order whose playback entry exists, a pair of its
// playback and recording entries (the device list's: those of the catalogue's hardware IDs). One
// walk per direction, each entry opened once.
void readEndpointRegistryTable(EndpointRegistryTable* table, const HardwareIdSet& ids);

// Expands %NAME% references, "%%", "%'" and "%:" in place; the text holds at most 1023
// characters plus terminator.
void expandIconPath(wchar_t* text);
