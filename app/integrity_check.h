// The integrity check of an executable file on disk (see pe_checksum.h for the stamp).
#pragma once

#include <stdint.h>

// Largest file the check reads whole; our executables are far smaller.
const uint32_t INTEGRITY_MAX_FILE_SIZE = 64u * 1024u * 1024u;

// One of the INTEGRITY_ codes of pe_checksum.h.
int32_t checkExecutableIntegrity(const char* path);

// One sentence for a result code, for the "Check File Integrity..." message box.
const char* describeIntegrityResult(int32_t result);
