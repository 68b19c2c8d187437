#include "sources/store/store_values.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "base/registry.h"
#include "base/text.h"
#include "sources/store/endpoint_store.h"

// The names of the values the store's writes change too.
const wchar_t PROP_OEM_FORMAT[] = L"{e4870e26-3cc5-4cd2-ba46-ca0a9a70ed04},0";
const wchar_t PROP_DEVICE_FORMAT[] = L"{f19f064d-082c-4e27-bc73-6882a1bb8e4c},0";
const wchar_t PROP_DESCRIPTION[] = L"{a45c254e-df1c-4efd-8020-67d146a850e0},2";  // the endpoint's name
const wchar_t PROP_ICON_PATH[] = L"{259abffc-50a7-47ce-af08-68c9a7d73366},12";   // may hold %NAME%

namespace {

const wchar_t ENDPOINT_ROOT[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio";  // below HKLM

// Values of an endpoint's "Properties" key.
const wchar_t PROP_ADAPTER_NAME[] = L"{b3f8fa53-0004-438e-9003-51a46e139bfc},6";      // REG_SZ, the audio device
const wchar_t PROP_DRIVER_TEXT[] = L"{83da6326-97a6-4088-9453-a1923f573b29},3";       // REG_SZ, hardware ID last
const wchar_t PROP_EXCLUSIVE_FIRST[] = L"{b3f8fa53-0004-438e-9003-51a46e139bfc},3";   // REG_DWORD, badge "Ex"
const wchar_t PROP_EXCLUSIVE_SECOND[] = L"{b3f8fa53-0004-438e-9003-51a46e139bfc},4";  // REG_DWORD, badge "P"

const DWORD kKeyNameSize = 1000;  // subkey names of at most 999 characters

// The record a field pointer belongs to.
template <typename Field>
struct RecordOfField;
template <typename Record, typename Type>
struct RecordOfField<Type Record::*> {
    typedef Record type;
};
template <auto Field>
using RecordOf = typename RecordOfField<decltype(Field)>::type;

// How a reader takes a value, each made for the field (or fields) of the reader's record that
// the value goes into, with that field's own type and size. Each returns false when the value
// is missing, of another type, too long or refused; a setting also says whether it is on.

// REG_SZ, cut on a whole character to the field; an icon path has its %NAME% references
// expanded first (expandIconPath).
enum TextForm { AS_STORED, REFERENCES_EXPANDED };
template <auto Field, TextForm form = AS_STORED>
bool takeText(HKEY properties, const wchar_t* name, RecordOf<Field>* record, bool*) {
    wchar_t value[REGISTRY_STRING_SIZE];
    if (!readStringValue(properties, name, value)) return false;
    if (form == REFERENCES_EXPANDED) expandIconPath(value);
    auto& field = record->*Field;
    copyText(field, value, sizeof(field) / sizeof(field[0]));
    return true;
}

// REG_SZ driver text: the ANSI copy of what follows its last ':' (the whole text without one).
template <auto Field>
bool takeHardwareId(HKEY properties, const wchar_t* name, RecordOf<Field>* record, bool*) {
    wchar_t value[REGISTRY_STRING_SIZE];
    if (!readStringValue(properties, name, value)) return false;
    const wchar_t* colon = wcsrchr(value, L':');
    auto& field = record->*Field;
    toNarrow(colon ? colon + 1 : value, field, int(sizeof(field)));
    return true;
}

// REG_DWORD setting: only flags, on when non-zero.
template <typename Record>
bool takeSetting(HKEY properties, const wchar_t* name, Record*, bool* on) {
    uint32_t setting = 0;
    if (!readDwordValue(properties, name, &setting)) return false;
    *on = setting != 0;
    return true;
}

// REG_BINARY format value of FORMAT_MIN_SIZE to FORMAT_MAX_SIZE bytes: the whole value, its
// WAVEFORMATEX header and its length.
template <auto Value, auto Header, auto Length>
bool takeFormat(HKEY properties, const wchar_t* name, RecordOf<Value>* record, bool*) {
    uint8_t buffer[REGISTRY_BINARY_SIZE];
    const int32_t n = readBinaryValue(properties, name, buffer);
    auto& value = record->*Value;
    auto& header = record->*Header;
    static_assert(sizeof(header) == FORMAT_HEADER_SIZE, "a header holds the WAVEFORMATEX fields");
    static_assert(sizeof(value) > FORMAT_MAX_SIZE, "a value field holds every value taken");
    if (n < FORMAT_MIN_SIZE || n > FORMAT_MAX_SIZE) return false;
    memcpy(header, buffer + FORMAT_HEADER_OFFSET, sizeof(header));
    memcpy(value, buffer, size_t(n));
    record->*Length = n;
    return true;
}

// What one reader takes of a value: how, into which field of its record, and the flags set in
// the reader's flags when the value was read (and, for a setting, when it is on). No take: the
// reader does not read the value.
template <typename Record>
struct Taking {
    bool (*take)(HKEY properties, const wchar_t* name, Record* record, bool* on);
    uint32_t readFlag;
    uint32_t onFlag;
};

struct StoreValueRow {
    const wchar_t* name;
    Taking<EndpointRegistryRecord> deviceList;
    Taking<PassEntryValues> collectionPass;
};

typedef EndpointRegistryRecord List;
typedef PassEntryValues Pass;
constexpr Taking<Pass> kNotByThePass = {nullptr, 0, 0};

// The values of an entry's "Properties" key, in StoreValue order: the device list's record takes
// names, icon, settings and formats (the driver text only to match an entry); the collection pass
// takes the names and the icon as far as a device record can hold or compare them.
constexpr StoreValueRow kStoreValues[STORE_VALUE_COUNT] = {
    {PROP_DESCRIPTION, {takeText<&List::endpointDescription>, 0, 0},
     {takeText<&Pass::description>, STORE_HAS_DESCRIPTION, 0}},
    {PROP_ADAPTER_NAME, {takeText<&List::adapterName>, 0, 0}, {takeText<&Pass::adapter>, STORE_HAS_ADAPTER, 0}},
    {PROP_ICON_PATH, {takeText<&List::iconPath, REFERENCES_EXPANDED>, 0, 0},
     {takeText<&Pass::icon>, STORE_HAS_ICON, 0}},
    {PROP_DRIVER_TEXT, {takeHardwareId<&List::hardwareId>, 0, 0},
     {takeHardwareId<&Pass::hardwareId>, STORE_HAS_HARDWARE_ID, 0}},
    {PROP_EXCLUSIVE_FIRST, {takeSetting<List>, ENDPOINT_EXCLUSIVE_READ, ENDPOINT_EXCLUSIVE_ON}, kNotByThePass},
    {PROP_EXCLUSIVE_SECOND, {takeSetting<List>, ENDPOINT_PRIORITY_READ, ENDPOINT_PRIORITY_ON}, kNotByThePass},
    {PROP_OEM_FORMAT, {takeFormat<&List::oemFormatValue, &List::oemFormatHeader, &List::oemFormatSize>, 0, 0},
     kNotByThePass},
    {PROP_DEVICE_FORMAT,
     {takeFormat<&List::deviceFormatValue, &List::deviceFormatHeader, &List::deviceFormatSize>, 0, 0},
     kNotByThePass},
};

// A mask of StoreValue bits reads the row of that value.
constexpr bool rowIs(StoreValue value, const wchar_t* name) { return kStoreValues[value].name == name; }
static_assert(rowIs(VALUE_DESCRIPTION, PROP_DESCRIPTION) && rowIs(VALUE_ADAPTER_NAME, PROP_ADAPTER_NAME) &&
                  rowIs(VALUE_ICON_PATH, PROP_ICON_PATH) && rowIs(VALUE_DRIVER_TEXT, PROP_DRIVER_TEXT) &&
                  rowIs(VALUE_EXCLUSIVE_FIRST, PROP_EXCLUSIVE_FIRST) &&
                  rowIs(VALUE_EXCLUSIVE_SECOND, PROP_EXCLUSIVE_SECOND) &&
                  rowIs(VALUE_OEM_FORMAT, PROP_OEM_FORMAT) && rowIs(VALUE_DEVICE_FORMAT, PROP_DEVICE_FORMAT),
              "the table's rows are in StoreValue order");

// The one reading of the table, for the reader whose takings `reader` picks.
template <typename Record>
uint32_t readValues(HKEY properties, uint32_t wanted, Taking<Record> StoreValueRow::*reader, Record* record,
                    uint32_t* flags) {
    uint32_t read = 0;
    for (int i = 0; i < STORE_VALUE_COUNT; ++i) {
        const Taking<Record>& t = kStoreValues[i].*reader;
        bool on = false;
        if (!t.take || !(wanted & (1u << i)) || !t.take(properties, kStoreValues[i].name, record, &on)) continue;
        *flags |= t.readFlag | (on ? t.onFlag : 0u);
        read |= 1u << i;
    }
    return read;
}

const wchar_t* directionKeyName(Direction direction) {
    return direction == DIRECTION_RECORDING ? L"Capture" : L"Render";
}

}  // namespace

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

uint32_t readStoreValues(HKEY properties, uint32_t wanted, EndpointRegistryRecord* record, uint32_t* flags) {
    return readValues(properties, wanted, &StoreValueRow::deviceList, record, flags);
}

uint32_t readStoreValues(HKEY properties, uint32_t wanted, PassEntryValues* values, uint32_t* flags) {
    return readValues(properties, wanted, &StoreValueRow::collectionPass, values, flags);
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
