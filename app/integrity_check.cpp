#include "app/integrity_check.h"

#include <windows.h>

#include "app/pe_checksum.h"
#include "base/owners.h"

int32_t checkExecutableIntegrity(const char* path) {
    if (!path || !path[0]) return INTEGRITY_CANNOT_READ;
    Handle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.valid()) return INTEGRITY_CANNOT_READ;
    DWORD high = 0;
    const DWORD low = GetFileSize(file.get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return INTEGRITY_CANNOT_READ;
    if (high != 0 || low > INTEGRITY_MAX_FILE_SIZE) return INTEGRITY_TOO_LARGE;

    HeapBlock content(low, false);
    uint8_t* bytes = content.as<uint8_t>();
    if (!bytes) return INTEGRITY_TOO_LARGE;
    DWORD total = 0;
    while (total < low) {
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes + total, low - total, &got, NULL) || got == 0)
            return INTEGRITY_CANNOT_READ;
        total += got;
    }
    return checkImageIntegrity(bytes, low);
}

const char* describeIntegrityResult(int32_t result) {
    switch (result) {
    case INTEGRITY_OK: return "The integrity stamp is valid: the file is unchanged since it was built.";
    case INTEGRITY_CANNOT_READ: return "The file cannot be read.";
    case INTEGRITY_NOT_EXECUTABLE: return "The file is not a Windows executable.";
    case INTEGRITY_NOT_STAMPED: return "The file carries no integrity stamp.";
    case INTEGRITY_MISMATCH: return "The integrity stamp does not match: the file was changed after it was built.";
    case INTEGRITY_TOO_LARGE: return "The file is too large to be checked.";
    default: return "Unknown result.";
    }
}
