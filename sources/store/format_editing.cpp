#include "sources/store/format_editing.h"

#include <windows.h>
#include <string.h>

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
bool editable(int32_t size) { return size >= FORMAT_MIN_SIZE && size <= FORMAT_MAX_SIZE; }

struct FormatValue {
    uint8_t* bytes;
    int32_t* size;
    const wchar_t* name;
};

// Applies an edit to the values of the entry that need it, device format first. Each value is
// decided from what the registry holds now, not from the copy the table read earlier, and is
// written back with exactly the length it has now. Only values the table held are edited, only
// in the key and view the entry was read from: a key or value that has gone since is skipped
// and counted as missing, never created again.
template <typename NeedsChange, typename Change>
int32_t editValues(EndpointRegistryRecord* entry, FormatEditTally* tally, NeedsChange needsChange, Change change) {
    const FormatValue values[] = {
        {entry->deviceFormatValue, &entry->deviceFormatSize, PROP_DEVICE_FORMAT},
        {entry->oemFormatValue, &entry->oemFormatSize, PROP_OEM_FORMAT},
    };
    int held = 0;
    for (const FormatValue& v : values)
        if (*v.size > 0) ++held;
    if (held == 0) return 0;  // nothing stored for this entry: nothing to do

    const REGSAM view = (entry->flags & ENDPOINT_64BIT_VIEW) ? KEY_WOW64_64KEY : 0;
    RegistryKey key;
    // Without write access the values are still read, so that only a value that needs a change
    // counts as a refused write.
    const wchar_t* path = entry->propertiesKeyPath;
    const bool writable = path[0] && key.open(path, KEY_QUERY_VALUE | KEY_SET_VALUE, view);
    if (!writable && !(path[0] && key.open(path, KEY_QUERY_VALUE, view))) {
        if (tally) tally->missing += held;
        return 0;
    }
    int32_t failures = 0;
    for (const FormatValue& v : values) {
        if (*v.size <= 0) continue;
        uint8_t now[REGISTRY_BINARY_SIZE];
        const int32_t n = readBinaryValue(key.get(), v.name, now);
        if (!editable(n)) {
            if (tally) ++tally->missing;
            continue;
        }
        memcpy(v.bytes, now, size_t(n));
        *v.size = n;
        if (!needsChange(v.bytes)) continue;
        change(v.bytes);
        if (writable && writeBinaryValue(key.get(), v.name, v.bytes, uint32_t(n))) {
            if (tally) ++tally->written;
        } else {
            --failures;
        }
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

int32_t setEndpointSampleRate(uint32_t rate, EndpointRegistryRecord* entry, FormatEditTally* tally) {
    return editValues(
        entry, tally, [rate](const uint8_t* v) { return readLe32(v + kSamplesPerSec) != rate; },
        [rate](uint8_t* v) {
            writeLe32(v + kAvgBytesPerSec, readLe16(v + kBlockAlign) * rate);
            writeLe32(v + kSamplesPerSec, rate);
        });
}

int32_t setEndpointChannels(uint32_t channels, EndpointRegistryRecord* entry, FormatEditTally* tally) {
    return editValues(
        entry, tally, [channels](const uint8_t* v) { return readLe16(v + kChannels) != channels; },
        [channels](uint8_t* v) {
            const uint32_t blockAlign = (readLe16(v + kBitsPerSample) / 8 * channels) & 0xFFFF;
            writeLe16(v + kBlockAlign, blockAlign);
            writeLe32(v + kAvgBytesPerSec, blockAlign * readLe32(v + kSamplesPerSec));
            writeLe16(v + kChannels, channels);
            if (readLe32(v + kChannelMask) != 0) writeLe32(v + kChannelMask, channelMaskFor(channels));
        });
}
