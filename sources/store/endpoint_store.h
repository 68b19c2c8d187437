// The MMDevices endpoint store in the registry: completing device records from it, and the
// entries of chosen hardware IDs' endpoints for the device list.
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

// Flags of completeFromEndpointRegistry and readEndpointProperties.
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

int32_t completeFromEndpointRegistry(DeviceRecord* record, const wchar_t* directionKeyName, uint32_t flags);
int32_t readEndpointProperties(DeviceRecord* record, const wchar_t* endpointKeyName, const wchar_t* directionKeyPath,
                               uint32_t flags);
int32_t readEndpointRegistryRecord(EndpointRegistryRecord* record, const char* hardwareId, uint32_t directionFlags);
// Rebuilds the table: for each hardware ID in order whose playback entry exists, a pair of its
// playback and recording entries.
void readEndpointRegistryTable(EndpointRegistryTable* table, const char* const* hardwareIds, int count);

// Expands %NAME% references, "%%", "%'" and "%:" in place; the text holds at most 1023
// characters plus terminator.
void expandIconPath(wchar_t* text);
