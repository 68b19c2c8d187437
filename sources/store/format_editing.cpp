#include "sources/store/format_editing.h"

#include <windows.h>

#include "base/little_endian.h"
#include "base/registry.h"

namespace {

// Offsets in a whole format value: the 8-byte prefix, then WAVEFORMATEXTENSIBLE.
const size_t kChannels = FORMAT_HEADER_OFFSET + WAVE_CHANNELS;
const size_t kSamplesPerSec = FORMAT_HEADER_OFFSET + WAVE_SAMPLES_PER_SEC;
const size_t kAvgBytesPerSec = FORMAT_HEADER_OFFSET + WAVE_AVG_BYTES_PER_SEC;
const size_t kBlockAlign = FORMAT_HEADER_OFFSET + WAVE_BLOCK_ALIGN;
const size_t kBitsPerSample = FORMAT_HEADER_OFFSET + WAVE_BITS_PER_SAMPLE;
const size_t kChannelMask = FORMAT_HEADER_OFFSET + WAVE_CHANNEL_MASK;

// Only values long enough for every field edited here are ever changed.
bool editable(int32_t size) { return size >= FORMAT_MIN_SIZE && size <= FORMAT_VALUE_SIZE; }

struct FormatValue {
    uint8_t* bytes;
    int32_t size;
    const wchar_t* name;
};

// Applies an edit to the values that need it, device format first, and writes each one back
// with exactly the length read.
template <typename NeedsChange, typename Change>
int32_t editValues(EndpointRegistryRecord* entry, NeedsChange needsChange, Change change) {
    const FormatValue values[] = {
        {entry->deviceFormatValue, entry->deviceFormatSize, PROP_DEVICE_FORMAT},
        {entry->oemFormatValue, entry->oemFormatSize, PROP_OEM_FORMAT},
    };
    const int32_t use64 = (entry->flags & ENDPOINT_64BIT_VIEW) ? 1 : 0;
    int32_t failures = 0;
    for (const FormatValue& v : values) {
        if (!editable(v.size) || !needsChange(v.bytes)) continue;
        change(v.bytes);
        if (!writeRegistryBinary(use64, entry->propertiesKeyPath, v.name, v.bytes, uint32_t(v.size))) --failures;
    }
    return failures;
}

}  // namespace

int32_t writeRegistryBinary(int32_t use64BitView, const wchar_t* keyPath, const wchar_t* valueName,
                            const uint8_t* data, uint32_t size) {
    const REGSAM view = use64BitView ? KEY_WOW64_64KEY : 0;
    RegistryKey key;
    if (!key.open(keyPath, KEY_SET_VALUE, view)) {
        HKEY created = NULL;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view, NULL,
                            &created, NULL) != ERROR_SUCCESS)
            return 0;
        RegistryKey owned(created, g_registryApi.regCloseKey);
        return g_registryApi.regSetValueExW(owned.get(), valueName, 0, REG_BINARY, data, size) == ERROR_SUCCESS ? 1 : 0;
    }
    return g_registryApi.regSetValueExW(key.get(), valueName, 0, REG_BINARY, data, size) == ERROR_SUCCESS ? 1 : 0;
}

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
        entry, [rate](const uint8_t* v) { return readLe32(v + kSamplesPerSec) != rate; },
        [rate](uint8_t* v) {
            writeLe32(v + kAvgBytesPerSec, readLe16(v + kBlockAlign) * rate);
            writeLe32(v + kSamplesPerSec, rate);
        });
}

int32_t setEndpointChannels(uint32_t channels, EndpointRegistryRecord* entry) {
    return editValues(
        entry, [channels](const uint8_t* v) { return readLe16(v + kChannels) != channels; },
        [channels](uint8_t* v) {
            const uint32_t blockAlign = (readLe16(v + kBitsPerSample) / 8 * channels) & 0xFFFF;
            writeLe16(v + kBlockAlign, blockAlign);
            writeLe32(v + kAvgBytesPerSec, blockAlign * readLe32(v + kSamplesPerSec));
            writeLe16(v + kChannels, channels);
            if (readLe32(v + kChannelMask) != 0) writeLe32(v + kChannelMask, channelMaskFor(channels));
        });
}
