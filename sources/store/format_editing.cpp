#include "sources/store/format_editing.h"

#include <windows.h>
#include <string.h>
#include <wchar.h>

#include "base/registry.h"
#include "base/text.h"
#include "sources/store/store_values.h"
#include "sources/store/wave_format.h"

namespace {

// Only values long enough for every field edited here are ever changed.
bool editable(int32_t size) { return size >= FORMAT_MIN_SIZE && size <= FORMAT_MAX_SIZE; }

struct FormatValue {
    uint8_t (&bytes)[FORMAT_VALUE_SIZE];
    int32_t& size;
    const wchar_t* name;
};

// Applies an edit to the values of the entry that need it, device format first. Each value is
// decided from what the registry holds now, not from the copy the table read earlier, and is
// written back with exactly the length it has now. Only values the table held are edited, only
// in the key and view the entry was read from: a key or value that has gone since is skipped,
// never created again.
template <typename NeedsChange, typename Change>
int32_t editValues(EndpointRegistryRecord* entry, NeedsChange needsChange, Change change) {
    const FormatValue values[] = {
        {entry->deviceFormatValue, entry->deviceFormatSize, PROP_DEVICE_FORMAT},
        {entry->oemFormatValue, entry->oemFormatSize, PROP_OEM_FORMAT},
    };
    if (entry->deviceFormatSize <= 0 && entry->oemFormatSize <= 0) return 0;  // nothing stored: nothing to do

    const REGSAM view = (entry->flags & ENDPOINT_64BIT_VIEW) ? KEY_WOW64_64KEY : 0;
    RegistryKey key;
    // Without write access the values are still read, so that only a value that needs a change
    // counts as a refused write.
    const wchar_t* path = entry->propertiesKeyPath;
    const bool writable = path[0] && key.open(path, KEY_QUERY_VALUE | KEY_SET_VALUE, view);
    if (!writable && !(path[0] && key.open(path, KEY_QUERY_VALUE, view))) return 0;
    int32_t failures = 0;
    for (const FormatValue& v : values) {
        if (v.size <= 0) continue;
        uint8_t now[REGISTRY_BINARY_SIZE];
        const int32_t n = readBinaryValue(key.get(), v.name, now);
        if (!editable(n)) continue;
        memcpy(v.bytes, now, size_t(n));
        v.size = n;
        EditedWaveFormat format(v.bytes);
        if (!needsChange(format)) continue;
        change(format);
        if (!writable || !writeBinaryValue(key.get(), v.name, v.bytes, uint32_t(n))) --failures;
    }
    return failures;
}

}  // namespace

uint32_t channelMaskFor(uint32_t channels) {
    switch (channels) {
    case 2: return 0x3;
    case 3: return 0x7;
    case 4: return 0x33;
    case 5: return 0x1F;
    case 6: return 0x3F;
    case 7: return 0x7F;
    case 8: return 0xFF;
    default: return 0;
    }
}

int32_t setEndpointSampleRate(uint32_t rate, EndpointRegistryRecord* entry) {
    return editValues(
        entry, [rate](const EditedWaveFormat& f) { return f.sampleRate() != rate; },
        [rate](EditedWaveFormat& f) {
            f.setByteRate(f.blockAlign() * rate);
            f.setSampleRate(rate);
        });
}

int32_t setEndpointChannels(uint32_t channels, EndpointRegistryRecord* entry) {
    return editValues(
        entry, [channels](const EditedWaveFormat& f) { return f.channels() != channels; },
        [channels](EditedWaveFormat& f) {
            const uint32_t blockAlign = (f.bits() / 8 * channels) & 0xFFFF;
            f.setBlockAlign(blockAlign);
            f.setByteRate(blockAlign * f.sampleRate());
            f.setChannels(channels);
            if (f.channelMask() != 0) f.setChannelMask(channelMaskFor(channels));
        });
}

LONG restoreEntryText(Direction direction, const wchar_t* endpointGuid, const char* hardwareId, StoredText which,
                      const wchar_t* before, const wchar_t* text) {
    wchar_t directionKey[STORE_PATH_SIZE], path[STORE_PATH_SIZE];
    directionPath(direction, directionKey);
    // An entry name holds no separator: anything else would reach another key.
    if (!endpointGuid[0] || wcschr(endpointGuid, L'\\') || !entryPath(directionKey, endpointGuid, path))
        return ERROR_NOT_FOUND;
    RegistryKey key;
    bool in64 = false;
    if (!key.openEitherView(path, &in64)) return ERROR_FILE_NOT_FOUND;
    EndpointRegistryRecord entry;
    ZeroMemory(&entry, sizeof(entry));
    uint32_t flags = 0;
    const uint32_t wanted = 1u << VALUE_DRIVER_TEXT;
    if (!(readStoreValues(key.get(), wanted, &entry, &flags) & (1u << VALUE_DRIVER_TEXT)) ||
        !equalIgnoringAsciiCase(entry.hardwareId, hardwareId))
        return ERROR_NOT_FOUND;
    const wchar_t* name = which == STORED_NAME ? PROP_DESCRIPTION : PROP_ICON_PATH;
    wchar_t now[REGISTRY_STRING_SIZE];
    if (!readStringValue(key.get(), name, now)) return ERROR_FILE_NOT_FOUND;
    if (wcscmp(now, before) != 0) return ERROR_INVALID_DATA;
    // Opened again with write access in the same view; refused, it is Windows' refusal.
    if (!key.open(path, KEY_QUERY_VALUE | KEY_SET_VALUE, in64 ? KEY_WOW64_64KEY : 0)) return ERROR_ACCESS_DENIED;
    return writeStringValue(key.get(), name, text);
}
