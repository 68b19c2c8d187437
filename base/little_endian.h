// Little-endian fields in byte buffers (driver answers, registry values, PE headers), read and
// written byte by byte so that no alignment or host order is assumed.
#pragma once

#include <stddef.h>
#include <stdint.h>

inline uint32_t readLe16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t readLe32(const uint8_t* p) { return readLe16(p) | readLe16(p + 2) << 16; }
inline void writeLe16(uint8_t* p, uint32_t value) {
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
}
inline void writeLe32(uint8_t* p, uint32_t value) {
    writeLe16(p, value);
    writeLe16(p + 2, value >> 16);
}
