// Which Windows release runs the program; filled once at start-up.
#pragma once

#include <stdint.h>

struct OsIdentification {
    int32_t osClass;  // -1 when the release is not recognised or cannot be read
    uint32_t osMajor;
    uint32_t osMinor;
    uint32_t osBuild;
    uint32_t osPlatformId;
};
