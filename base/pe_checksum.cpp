#include "base/pe_checksum.h"

#include "base/little_endian.h"

namespace {

const size_t kDosHeaderSize = 64;
const size_t kLfanewOffset = 0x3C;
const size_t kFileHeaderSize = 20;
const size_t kChecksumInOptionalHeader = 64;  // same place for PE32 and PE32+

// Position of the checksum field, after checking the DOS and PE headers that lead to it.
// Returns INTEGRITY_OK or INTEGRITY_NOT_EXECUTABLE.
int32_t findChecksumField(const uint8_t* image, size_t size, size_t* fieldOffset) {
    if (!image || size < kDosHeaderSize || image[0] != 'M' || image[1] != 'Z')
        return INTEGRITY_NOT_EXECUTABLE;
    const uint32_t peOffset = readLe32(image + kLfanewOffset);
    // Every offset is checked against the size before it is read.
    if (peOffset > size || size - peOffset < 4 + kFileHeaderSize + 2)
        return INTEGRITY_NOT_EXECUTABLE;
    const uint8_t* pe = image + peOffset;
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return INTEGRITY_NOT_EXECUTABLE;
    const uint32_t optionalSize = readLe16(pe + 4 + 16);
    const uint32_t magic = readLe16(pe + 4 + kFileHeaderSize);
    if (magic != 0x10B && magic != 0x20B) return INTEGRITY_NOT_EXECUTABLE;
    if (optionalSize < kChecksumInOptionalHeader + 4) return INTEGRITY_NOT_EXECUTABLE;
    const size_t field = size_t(peOffset) + 4 + kFileHeaderSize + kChecksumInOptionalHeader;
    if (field > size || size - field < 4) return INTEGRITY_NOT_EXECUTABLE;
    *fieldOffset = field;
    return INTEGRITY_OK;
}

}  // namespace

uint32_t computeImageChecksum(const uint8_t* image, size_t size, size_t fieldOffset) {
    // The field's own bytes count as zero, wherever it lies.
    struct Bytes {
        const uint8_t* image;
        size_t field;
        uint32_t at(size_t i) const { return i - field < 4 ? 0 : image[i]; }
    } bytes = {image, fieldOffset};
    uint64_t sum = 0;
    size_t i = 0;
    for (; i + 1 < size; i += 2) {
        sum += bytes.at(i) | bytes.at(i + 1) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    if (i < size) {
        sum += bytes.at(i);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return uint32_t(sum) + uint32_t(size);
}

int32_t checkImageIntegrity(const uint8_t* image, size_t size) {
    size_t field = 0;
    const int32_t headers = findChecksumField(image, size, &field);
    if (headers != INTEGRITY_OK) return headers;
    const uint32_t stored = readLe32(image + field);
    if (stored == 0) return INTEGRITY_NOT_STAMPED;
    return stored == computeImageChecksum(image, size, field) ? INTEGRITY_OK : INTEGRITY_MISMATCH;
}

int32_t stampImage(uint8_t* image, size_t size) {
    size_t field = 0;
    const int32_t headers = findChecksumField(image, size, &field);
    if (headers != INTEGRITY_OK) return headers;
    const uint32_t sum = computeImageChecksum(image, size, field);
    for (int i = 0; i < 4; ++i) image[field + i] = uint8_t(sum >> (8 * i));
    return INTEGRITY_OK;
}
