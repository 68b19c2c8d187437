#include "sources/store/store_values.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "base/registry.h"
#include "base/text.h"
#include "sources/store/endpoint_store.h"

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

const DWORD kKeyNameSize = 1000;  // subkey names of at most 999 characters

// How a reader takes a value.
enum Taking : uint8_t {
    SKIP,               // not read by this reader
    TEXT,               // REG_SZ, cut on a whole character to the field
    EXPANDED_TEXT,      // REG_SZ, its %NAME% references expanded first (expandIconPath)
    HARDWARE_ID,        // REG_SZ driver text: the ANSI copy of what follows its last ':'
    SETTING,            // REG_DWORD: the read flag, and the "on" flag when non-zero
    FORMAT,             // REG_BINARY format value of 48 to 255 bytes: whole value, header, length
};

// Where a reader puts a value: a field of its record with the field's named size; for a format
// also the header field and the length field; the flags set when the value was read (and, for a
// setting, when it is non-zero).
struct ValueField {
    Taking taking;
    uint16_t field;
    uint16_t size;
    uint16_t header;
    uint16_t length;
    uint32_t readFlag;
    uint32_t onFlag;
};

struct StoreValueRow {
    const wchar_t* name;
    ValueField readers[STORE_READER_COUNT];
};

#define LIST_FIELD(field) uint16_t(offsetof(EndpointRegistryRecord, field))
#define PASS_FIELD(field) uint16_t(offsetof(PassEntryValues, field))

// The values of an entry's "Properties" key, in StoreValue order: the device list's record takes
// names, icon, settings and formats (the driver text only to match an entry); the collection pass
// takes the names and the icon as far as a device record can hold or compare them.
const StoreValueRow kStoreValues[STORE_VALUE_COUNT] = {
    {PROP_DESCRIPTION,
     {{TEXT, LIST_FIELD(endpointDescription), 128, 0, 0, 0, 0},
      {TEXT, PASS_FIELD(description), STORE_MATCH_UNITS + 1, 0, 0, STORE_HAS_DESCRIPTION, 0}}},
    {PROP_ADAPTER_NAME,
     {{TEXT, LIST_FIELD(adapterName), 128, 0, 0, 0, 0},
      {TEXT, PASS_FIELD(adapter), STORE_MATCH_UNITS + 1, 0, 0, STORE_HAS_ADAPTER, 0}}},
    {PROP_ICON_PATH,
     {{EXPANDED_TEXT, LIST_FIELD(iconPath), 512, 0, 0, 0, 0},
      {TEXT, PASS_FIELD(icon), ICON_PATH_SIZE, 0, 0, STORE_HAS_ICON, 0}}},
    {PROP_DRIVER_TEXT,
     {{HARDWARE_ID, LIST_FIELD(hardwareId), HARDWARE_ID_SIZE, 0, 0, 0, 0},
      {HARDWARE_ID, PASS_FIELD(hardwareId), HARDWARE_ID_SIZE, 0, 0, STORE_HAS_HARDWARE_ID, 0}}},
    {PROP_EXCLUSIVE_FIRST,
     {{SETTING, 0, 0, 0, 0, ENDPOINT_EXCLUSIVE_READ, ENDPOINT_EXCLUSIVE_ON}, {SKIP, 0, 0, 0, 0, 0, 0}}},
    {PROP_EXCLUSIVE_SECOND,
     {{SETTING, 0, 0, 0, 0, ENDPOINT_PRIORITY_READ, ENDPOINT_PRIORITY_ON}, {SKIP, 0, 0, 0, 0, 0, 0}}},
    {PROP_OEM_FORMAT,
     {{FORMAT, LIST_FIELD(oemFormatValue), FORMAT_VALUE_SIZE, LIST_FIELD(oemFormatHeader), LIST_FIELD(oemFormatSize),
       0, 0},
      {SKIP, 0, 0, 0, 0, 0, 0}}},
    {PROP_DEVICE_FORMAT,
     {{FORMAT, LIST_FIELD(deviceFormatValue), FORMAT_VALUE_SIZE, LIST_FIELD(deviceFormatHeader),
       LIST_FIELD(deviceFormatSize), 0, 0},
      {SKIP, 0, 0, 0, 0, 0, 0}}},
};

#undef LIST_FIELD
#undef PASS_FIELD

// Reads one value as the reader takes it; false when it is missing, of another type or refused.
bool readValue(HKEY properties, const wchar_t* name, const ValueField& f, char* record, uint32_t* flags) {
    if (f.taking == SETTING) {
        uint32_t setting = 0;
        if (!readDwordValue(properties, name, &setting)) return false;
        *flags |= f.readFlag | (setting ? f.onFlag : 0u);
        return true;
    }
    if (f.taking == FORMAT) {
        uint8_t buffer[REGISTRY_BINARY_SIZE];
        const int32_t n = readBinaryValue(properties, name, buffer);
        // Shorter values have no room for the fields the format commands change; longer ones
        // are not kept whole.
        if (n < FORMAT_MIN_SIZE || n > FORMAT_MAX_SIZE || n > f.size) return false;
        memcpy(record + f.header, buffer + FORMAT_HEADER_OFFSET, FORMAT_HEADER_SIZE);
        memcpy(record + f.field, buffer, size_t(n));
        memcpy(record + f.length, &n, sizeof(n));
        *flags |= f.readFlag;
        return true;
    }
    wchar_t value[REGISTRY_STRING_SIZE];
    if (!readStringValue(properties, name, value)) return false;
    if (f.taking == HARDWARE_ID) {
        const wchar_t* colon = wcsrchr(value, L':');
        toNarrow(colon ? colon + 1 : value, record + f.field, f.size);
    } else {
        if (f.taking == EXPANDED_TEXT) expandIconPath(value);
        copyText(reinterpret_cast<wchar_t*>(record + f.field), value, f.size);
    }
    *flags |= f.readFlag;
    return true;
}

}  // namespace

const wchar_t* directionKeyName(Direction direction) {
    return direction == DIRECTION_RECORDING ? L"Capture" : L"Render";
}

void directionPath(Direction direction, wchar_t* path) {
    _snwprintf(path, STORE_PATH_SIZE, L"%ls\\%ls", ENDPOINT_ROOT, directionKeyName(direction));
    path[STORE_PATH_SIZE - 1] = 0;
}

bool entryPath(const wchar_t* directionKeyPath, const wchar_t* endpointKeyName, wchar_t* path) {
    const int written =
        _snwprintf(path, STORE_PATH_SIZE, L"%ls\\%ls\\Properties", directionKeyPath, endpointKeyName);
    path[STORE_PATH_SIZE - 1] = 0;
    return written >= 0 && size_t(written) < STORE_PATH_SIZE;
}

uint32_t readStoreValues(HKEY properties, StoreReader reader, uint32_t wanted, void* record, uint32_t* flags) {
    uint32_t read = 0;
    for (int i = 0; i < STORE_VALUE_COUNT; ++i) {
        const ValueField& f = kStoreValues[i].readers[reader];
        if (f.taking == SKIP || !(wanted & (1u << i))) continue;
        if (readValue(properties, kStoreValues[i].name, f, static_cast<char*>(record), flags)) read |= 1u << i;
    }
    return read;
}

int32_t walkDirection(const wchar_t* directionKeyPath, bool* in64, EntryVisit visit) {
    RegistryKey key;
    if (!key.openEitherView(directionKeyPath, in64)) return -1;
    for (bool retried = false;; retried = true) {
        wchar_t name[kKeyNameSize];
        DWORD index = 0;
        for (;; ++index) {
            const LONG result = g_registryApi.regEnumKeyW(key.get(), index, name, kKeyNameSize);
            if (result == ERROR_MORE_DATA) continue;
            if (result != ERROR_SUCCESS) break;
            name[kKeyNameSize - 1] = 0;
            if (visit.visit(visit.context, name)) return 1;
        }
        key.close();
        if (index != 0 || *in64 || retried) return 1;
        if (!key.open(directionKeyPath, KEY_READ, KEY_WOW64_64KEY)) return -2;
        *in64 = true;
    }
}
