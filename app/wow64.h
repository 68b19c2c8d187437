#pragma once

#include <stdint.h>

// 1 when this 32-bit process runs on 64-bit Windows. IsWow64Process is looked up at run time
// because the first Windows XP releases do not have it.
int32_t detectWow64();
