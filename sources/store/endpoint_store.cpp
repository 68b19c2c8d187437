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

// Visits the subkeys of an open key in enumeration order until visit returns true. Tells how
// many names were enumerated; a name too long for the buffer is passed over.
template <typename Visit>
bool findEntry(HKEY key, DWORD* enumerated, Visit visit) {
    wchar_t name[kKeyNameSize];
    for (DWORD index = 0;; ++index) {
        const LONG result = g_registryApi.regEnumKeyW(key, index, name, kKeyNameSize);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) {
            *enumerated = index;
            return false;
        }
        name[kKeyNameSize - 1] = 0;
        if (visit(name)) {
            *enumerated = index + 1;
            return true;
        }
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

}  // namespace

int32_t readEndpointProperties(DeviceRecord* record, const wchar_t* endpointKeyName, const wchar_t* directionKeyPath,
                               uint32_t flags) {
    wchar_t entry[kPathSize];
    if (!entryPath(directionKeyPath, endpointKeyName, entry)) return 0;
    if (flags & COMPLETE_DEVICE_GUID) copyText(record->mmDeviceGuid, endpointKeyName, DEVICE_GUID_SIZE);

    wchar_t value[REGISTRY_STRING_SIZE];
    if ((flags & COMPLETE_DRIVER_NAME) && readRegistryString(entry, PROP_ADAPTER_NAME, value)) {
        copyText(record->driverNameW, value, DRIVER_NAME_SIZE);
        toNarrow(record->driverNameW, record->driverName, DRIVER_NAME_SIZE);
    }
    if (readRegistryString(entry, PROP_ICON_PATH, value)) copyText(record->iconPath, value, ICON_PATH_SIZE);
    if ((flags & COMPLETE_HARDWARE_ID) && readRegistryString(entry, PROP_DRIVER_TEXT, value)) {
        hardwareIdOf(value, record->hardwareId);
        return 1;
    }
    return 0;
}

int32_t completeFromEndpointRegistry(DeviceRecord* record, const wchar_t* directionKeyName, uint32_t flags) {
    wchar_t direction[kPathSize];
    directionPath(directionKeyName, direction);

    if ((flags & COMPLETE_BY_GUID) && record->mmDeviceGuid[0]) {
        wchar_t name[DEVICE_GUID_SIZE];
        copyText(name, record->mmDeviceGuid, DEVICE_GUID_SIZE);
        readEndpointProperties(record, name, direction, flags & ~uint32_t(COMPLETE_DEVICE_GUID));
        return 0;
    }

    RegistryKey key;
    bool in64;
    if (!key.openEitherView(direction, &in64)) return -1;
    const size_t nameLength = wcslen(record->pinNameW);
    for (bool retried = false;; retried = true) {
        wchar_t matched[kKeyNameSize] = L"";
        DWORD enumerated = 0;
        const bool found = findEntry(key.get(), &enumerated, [&](const wchar_t* name) {
            wchar_t entry[kPathSize];
            wchar_t description[REGISTRY_STRING_SIZE], adapter[REGISTRY_STRING_SIZE];
            if (!entryPath(direction, name, entry) || !readRegistryString(entry, PROP_DESCRIPTION, description) ||
                !readRegistryString(entry, PROP_ADAPTER_NAME, adapter))
                return false;
            // A wave device name is cut to 31 characters: its start must agree with
            // "description (adapter)" or "description(adapter)", case-sensitively.
            static const wchar_t* const kOpenings[] = {L" (", L"("};
            for (const wchar_t* opening : kOpenings) {
                wchar_t full[2 * REGISTRY_STRING_SIZE + 4];
                _snwprintf(full, sizeof(full) / sizeof(full[0]), L"%ls%ls%ls)", description, opening, adapter);
                full[sizeof(full) / sizeof(full[0]) - 1] = 0;
                if (wcsncmp(record->pinNameW, full, nameLength) == 0) {
                    copyText(matched, name, kKeyNameSize);
                    return true;
                }
            }
            return false;
        });
        key.close();
        if (found) {
            readEndpointProperties(record, matched, direction, flags | COMPLETE_DEVICE_GUID);
            return 0;
        }
        // An empty direction key in the default view: once more in the 64-bit view.
        if (enumerated == 0 && !in64 && !retried && key.open(direction, KEY_READ, KEY_WOW64_64KEY)) {
            in64 = true;
            continue;
        }
        return -2;
    }
}

int32_t readEndpointRegistryRecord(EndpointRegistryRecord* record, const char* hardwareId, uint32_t directionFlags) {
    if (!record) return -1;
    ZeroMemory(record, sizeof(*record));
    const wchar_t* directionName;
    if (directionFlags & ENDPOINT_PLAYBACK) {
        directionName = L"Render";
        record->flags |= ENDPOINT_PLAYBACK;
    } else if (directionFlags & ENDPOINT_RECORDING) {
        directionName = L"Capture";
        record->flags |= ENDPOINT_RECORDING;
    } else {
        return -2;
    }
    wchar_t direction[kPathSize];
    directionPath(directionName, direction);

    RegistryKey key;
    bool in64;
    if (!key.openEitherView(direction, &in64)) return -100;
    if (in64) record->flags |= ENDPOINT_64BIT_VIEW;

    wchar_t entry[kPathSize];
    char matchedId[128];
    for (bool retried = false;; retried = true) {
        DWORD enumerated = 0;
        const bool found = findEntry(key.get(), &enumerated, [&](const wchar_t* name) {
            wchar_t driverText[REGISTRY_STRING_SIZE];
            // An entry whose path does not fit its field is passed over: the format commands
            // write through that path and must never reach another key.
            if (!entryPath(direction, name, entry) || wcslen(entry) >= 1024 ||
                !readRegistryString(entry, PROP_DRIVER_TEXT, driverText))
                return false;
            hardwareIdOf(driverText, matchedId);
            return equalIgnoringAsciiCase(matchedId, hardwareId);
        });
        key.close();
        if (found) break;
        if (enumerated == 0 && !in64 && !retried) {
            if (!key.open(direction, KEY_READ, KEY_WOW64_64KEY)) return -101;
            record->flags |= ENDPOINT_64BIT_VIEW;
            in64 = true;
            continue;
        }
        return 0;
    }

    lstrcpynA(record->hardwareId, matchedId, 128);
    lstrcpynW(record->propertiesKeyPath, entry, 1024);
    // One open serves every value; the view it opened in is the entry's own, where its values
    // live and where the format commands write them, whatever view listed the direction key.
    RegistryKey properties;
    bool entryIn64;
    if (!properties.openEitherView(entry, &entryIn64)) return 1;
    record->flags = (record->flags & ~uint32_t(ENDPOINT_64BIT_VIEW)) | (entryIn64 ? uint32_t(ENDPOINT_64BIT_VIEW) : 0u);
    wchar_t value[REGISTRY_STRING_SIZE];
    if (readStringValue(properties.get(), PROP_ADAPTER_NAME, value)) copyText(record->adapterName, value, 128);
    if (readStringValue(properties.get(), PROP_DESCRIPTION, value)) copyText(record->endpointDescription, value, 128);
    if (readStringValue(properties.get(), PROP_ICON_PATH, value)) {
        expandIconPath(value);
        copyText(record->iconPath, value, 512);
    }
    uint32_t setting = 0;
    if (readDwordValue(properties.get(), PROP_EXCLUSIVE_FIRST, &setting))
        record->flags |= ENDPOINT_EXCLUSIVE_READ | (setting ? uint32_t(ENDPOINT_EXCLUSIVE_ON) : 0u);
    if (readDwordValue(properties.get(), PROP_EXCLUSIVE_SECOND, &setting))
        record->flags |= ENDPOINT_PRIORITY_READ | (setting ? uint32_t(ENDPOINT_PRIORITY_ON) : 0u);
    readFormat(properties.get(), PROP_OEM_FORMAT, record->oemFormatHeader, record->oemFormatValue,
               &record->oemFormatSize);
    readFormat(properties.get(), PROP_DEVICE_FORMAT, record->deviceFormatHeader, record->deviceFormatValue,
               &record->deviceFormatSize);
    return 1;
}

void readEndpointRegistryTable(EndpointRegistryTable* table, const char* const* hardwareIds, int count) {
    int32_t pairs = 0;
    for (int i = 0; i < count && pairs < ENDPOINT_TABLE_SIZE; ++i) {
        if (readEndpointRegistryRecord(&table->renderEntries[pairs], hardwareIds[i], ENDPOINT_PLAYBACK) != 1)
            continue;
        readEndpointRegistryRecord(&table->captureEntries[pairs], hardwareIds[i], ENDPOINT_RECORDING);
        ++pairs;
    }
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
