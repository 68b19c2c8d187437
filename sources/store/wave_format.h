// The wave formats the store keeps for an endpoint (its device format and its default format):
// where the fields of a format value lie, and typed views that read and write them.
#pragma once

#include <stdint.h>

#include "base/little_endian.h"

// A format value is an 8-byte prefix, a WAVEFORMATEXTENSIBLE and any further bytes, all
// little-endian. Offsets in the value (bits of each field):
//    0 prefix (8 bytes)          20 nBlockAlign (16)
//    8 wFormatTag (16)           22 wBitsPerSample (16)
//   10 nChannels (16)            24 cbSize (16)
//   12 nSamplesPerSec (32)       26 wValidBitsPerSample (16)
//   16 nAvgBytesPerSec (32)      28 dwChannelMask (32)
//                                32 SubFormat (16-byte GUID); 48 any further bytes
enum {
    FORMAT_HEADER_OFFSET = 8,  // the WAVEFORMATEX fields: bytes 8 to 25 of a value
    FORMAT_HEADER_SIZE = 18,
    // Only values of 48 to 255 bytes are taken and edited: shorter ones lack the fields the
    // format commands change, longer ones are not kept whole.
    FORMAT_MIN_SIZE = 48,
    FORMAT_MAX_SIZE = 255,
    FORMAT_VALUE_SIZE = 256,  // a record's copy of a whole value
};

// The fields as offsets from the start of the WAVEFORMATEX (where a header copy starts).
enum {
    WAVE_CHANNELS = 2,
    WAVE_SAMPLES_PER_SEC = 4,
    WAVE_AVG_BYTES_PER_SEC = 8,
    WAVE_BLOCK_ALIGN = 12,
    WAVE_BITS_PER_SAMPLE = 14,
    WAVE_CHANNEL_MASK = 20,  // past the header, in the extensible part
};

// The WAVEFORMATEX fields of a stored format, read from a record's header copy
// (`deviceFormatHeader`, `oemFormatHeader`). The header of a format that was not stored is all
// zero: it reads 0 Hz, 0 bits, 0 channels.
class WaveFormat {
public:
    explicit WaveFormat(const uint8_t (&header)[FORMAT_HEADER_SIZE]) : at_(header) {}
    uint32_t channels() const { return readLe16(at_ + WAVE_CHANNELS); }
    uint32_t sampleRate() const { return readLe32(at_ + WAVE_SAMPLES_PER_SEC); }
    uint32_t blockAlign() const { return readLe16(at_ + WAVE_BLOCK_ALIGN); }
    uint32_t bits() const { return readLe16(at_ + WAVE_BITS_PER_SAMPLE); }

protected:
    struct Start {  // where a whole value's WAVEFORMATEX begins
        const uint8_t* at;
    };
    explicit WaveFormat(Start start) : at_(start.at) {}
    const uint8_t* at_;
};

// A whole format value in a record's copy (`deviceFormatValue`, `oemFormatValue`) of at least
// FORMAT_MIN_SIZE bytes, being edited: its WAVEFORMATEX fields, the extensible part's channel
// mask, and the fields the format commands write. Every other byte stays as it is.
class EditedWaveFormat : public WaveFormat {
public:
    explicit EditedWaveFormat(uint8_t (&value)[FORMAT_VALUE_SIZE])
        : WaveFormat(Start{value + FORMAT_HEADER_OFFSET}), fields_(value + FORMAT_HEADER_OFFSET) {}
    uint32_t channelMask() const { return readLe32(at_ + WAVE_CHANNEL_MASK); }
    void setChannels(uint32_t channels) { writeLe16(fields_ + WAVE_CHANNELS, channels); }
    void setSampleRate(uint32_t rate) { writeLe32(fields_ + WAVE_SAMPLES_PER_SEC, rate); }
    void setByteRate(uint32_t bytesPerSecond) { writeLe32(fields_ + WAVE_AVG_BYTES_PER_SEC, bytesPerSecond); }
    void setBlockAlign(uint32_t blockAlign) { writeLe16(fields_ + WAVE_BLOCK_ALIGN, blockAlign); }
    void setChannelMask(uint32_t mask) { writeLe32(fields_ + WAVE_CHANNEL_MASK, mask); }

private:
    uint8_t* fields_;
};
