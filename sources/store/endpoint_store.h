// The MMDevices endpoint store in the registry: completing device records from it (a reading per
// direction and collection pass: store_reading.cpp), the entries of chosen hardware IDs'
// endpoints for the device list (endpoint_table.cpp), and the expansion of icon paths
// (icon_path.cpp); the values both read are one table (store_values.cpp).
#pragma once

#include <windows.h>
#include <stdint.h>

#include "base/device_record.h"
#include "base/registry.h"

extern const wchar_t ENDPOINT_ROOT[];  // below HKEY_LOCAL_MACHINE

// Values of an endpoint's "Properties" key.
extern const wchar_t PROP_DESCRIPTION[];       // REG_SZ, the endpoint's own name
extern const wchar_t PROP_ADAPTER_NAME[];      // REG_SZ, the audio device carrying it
extern const wchar_t PROP_ICON_PATH[];         // REG_SZ, may hold %NAME% references
extern const wchar_t PROP_DRIVER_TEXT[];       // REG_SZ, ':'-separated, hardware ID last
extern const wchar_t PROP_EXCLUSIVE_FIRST[];   // REG_DWORD, badge "Ex"
extern const wchar_t PROP_EXCLUSIVE_SECOND[];  // REG_DWORD, badge "P"
extern const wchar_t PROP_OEM_FORMAT[];        // REG_BINARY, 8-byte prefix + WAVEFORMATEX...
extern const wchar_t PROP_DEVICE_FORMAT[];     // REG_BINARY, the same layout

enum : uint32_t {
    ENDPOINT_PLAYBACK = 0x1,
    ENDPOINT_RECORDING = 0x2,
    ENDPOINT_EXCLUSIVE_READ = 0x10,
    ENDPOINT_EXCLUSIVE_ON = 0x20,
    ENDPOINT_PRIORITY_READ = 0x40,
    ENDPOINT_PRIORITY_ON = 0x80,
    ENDPOINT_64BIT_VIEW = 0x10000000,  // found only in the 64-bit registry view; written there too
};

// Flags of the completion of a device record from the store.
enum : uint32_t {
    COMPLETE_HARDWARE_ID = 1,
    COMPLETE_DRIVER_NAME = 2,
    COMPLETE_DEVICE_GUID = 4,
    COMPLETE_BY_GUID = 8,
};

enum {
    FORMAT_HEADER_SIZE = 18,      // WAVEFORMATEX fields, bytes 8 to 25 of a format value
    FORMAT_VALUE_SIZE = 256,
    FORMAT_MIN_SIZE = 48,
    FORMAT_MAX_SIZE = 255,
    ENDPOINT_TABLE_SIZE = 10,
};

// Fields of the WAVEFORMATEXTENSIBLE in a format value, as offsets into its 18-byte header
// (bytes 8 to 25 of the value); a field of the whole value lies FORMAT_HEADER_OFFSET further on.
enum {
    FORMAT_HEADER_OFFSET = 8,
    WAVE_CHANNELS = 2,
    WAVE_SAMPLES_PER_SEC = 4,
    WAVE_AVG_BYTES_PER_SEC = 8,
    WAVE_BLOCK_ALIGN = 12,
    WAVE_BITS_PER_SAMPLE = 14,
    WAVE_CHANNEL_MASK = 20,  // behind the header, in the extensible part
};

struct EndpointRegistryRecord {
    uint32_t flags;
    char hardwareId[256];
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
// "Properties" key opened once. Texts live in one pool, as offsets; offset 0 is the empty text.
enum : uint32_t {
    STORE_HAS_DESCRIPTION = 1,
    STORE_HAS_ADAPTER = 2,
    STORE_HAS_ICON = 4,
    STORE_HAS_HARDWARE_ID = 8,
};
struct StoreEntry {
    uint32_t flags;
    uint32_t name;         // the entry key's name, cut to the record's GUID field
    uint32_t description;  // the first 256 units: all a device name of 255 can be compared with
    uint32_t adapter;      // likewise
    uint32_t icon;         // cut to the record's icon field
    char hardwareId[128];
};
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

// Rebuilds the table: for each hardware ID in order whose playback entry exists, a pair of its
// playback and recording entries. One walk per direction, each entry opened once.
void readEndpointRegistryTable(EndpointRegistryTable* table, const char* const* hardwareIds, int count);

// Expands %NAME% references, "%%", "%'" and "%:" in place; the text holds at most 1023
// characters plus terminator.
void expandIconPath(wchar_t* text);
