// The report file that "-o" names: the whole log as UTF-8 with a byte-order mark, so that
// Notepad on every Windows version reads it, written safely for the scripts that collect it.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "app/safe_file.h"

// Writes text (up to its terminator; null writes an empty report) as UTF-8 with a byte-order
// mark through replaceFileSafely. Unpaired UTF-16 surrogates become U+FFFD on every Windows
// version.
int32_t writeReportFile(const wchar_t* path, const wchar_t* text);
