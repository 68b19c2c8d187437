// The integrity stamp of our executables: the checksum field of the PE optional header, set by
// the build over the final file. It is the image checksum Windows itself defines (16-bit
// one's-complement sum of the file with the field taken as zero, plus the file length), so any
// changed byte, cut or appended data shows. Plain C++, shared by the checker and the build tool
// that stamps the file.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum {
    INTEGRITY_OK = 0,
    INTEGRITY_CANNOT_READ = -1,
    INTEGRITY_NOT_EXECUTABLE = -2,
    INTEGRITY_NOT_STAMPED = -3,
    INTEGRITY_MISMATCH = -4,
    INTEGRITY_TOO_LARGE = -5,
};

// The checksum of the image with the field at fieldOffset counted as zero.
uint32_t computeImageChecksum(const uint8_t* image, size_t size, size_t fieldOffset);

// INTEGRITY_OK when the stored checksum is set and equals the computed one.
int32_t checkImageIntegrity(const uint8_t* image, size_t size);

// Writes the computed checksum into the image. Returns INTEGRITY_OK or INTEGRITY_NOT_EXECUTABLE.
int32_t stampImage(uint8_t* image, size_t size);
