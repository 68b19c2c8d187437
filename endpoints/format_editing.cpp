#include "endpoints/format_editing.h"

#include <windows.h>

namespace {

// Offsets in a format value: an 8-byte prefix, then WAVEFORMATEXTENSIBLE.
const size_t kChannels = 10, kSamplesPerSec = 12, kAvgBytesPerSec = 16, kBlockAlign = 20, kBitsPerSample = 22,
             kChannelMask = 28;

uint32_t get16(const uint8_t* v, size_t at) { return uint32_t(v[at]) | uint32_t(v[at + 1]) << 8; }
uint32_t get32(const uint8_t* v, size_t at) { return get16(v, at) | get16(v, at + 2) << 16; }
void put16(uint8_t* v, size_t at, uint32_t x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}
void put32(uint8_t* v, size_t at, uint32_t x) {
    put16(v, at, x);
    put16(v, at + 2, x >> 16);
}

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

class RegistryKey {
public:
    RegistryKey() : key_(NULL) {}
    ~RegistryKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    RegistryKey(const RegistryKey&);
    RegistryKey& operator=(const RegistryKey&);
    HKEY key_;
};

}  // namespace

int32_t writeRegistryBinary(int32_t use64BitView, const wchar_t* keyPath, const wchar_t* valueName,
                            const uint8_t* data, uint32_t size) {
    const REGSAM view = use64BitView ? KEY_WOW64_64KEY : 0;
    RegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_SET_VALUE | view, key.out()) != ERROR_SUCCESS &&
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view, NULL,
                        key.out(), NULL) != ERROR_SUCCESS)
        return 0;
    return RegSetValueExW(key.get(), valueName, 0, REG_BINARY, data, size) == ERROR_SUCCESS ? 1 : 0;
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
        entry, [rate](const uint8_t* v) { return get32(v, kSamplesPerSec) != rate; },
        [rate](uint8_t* v) {
            put32(v, kAvgBytesPerSec, get16(v, kBlockAlign) * rate);
            put32(v, kSamplesPerSec, rate);
        });
}

int32_t setEndpointChannels(uint32_t channels, EndpointRegistryRecord* entry) {
    return editValues(
        entry, [channels](const uint8_t* v) { return get16(v, kChannels) != channels; },
        [channels](uint8_t* v) {
            const uint32_t blockAlign = (get16(v, kBitsPerSample) / 8 * channels) & 0xFFFF;
            put16(v, kBlockAlign, blockAlign);
            put32(v, kAvgBytesPerSec, blockAlign * get32(v, kSamplesPerSec));
            put16(v, kChannels, channels);
            if (get32(v, kChannelMask) != 0) put32(v, kChannelMask, channelMaskFor(channels));
        });
}
