// The store's writes, each to one catalogued driver's endpoint entry and only to values that
// exist already: its stored wave formats (sample rate or channel count, in the device format and
// the default (OEM) format values), and, as a fix the user agreed to, its name or icon put back
// to the driver's own.
#pragma once

#include <stdint.h>

#include "sources/store/endpoint_store.h"

// The speaker mask for a channel count (0 for counts without one).
uint32_t channelMaskFor(uint32_t channels);

// Each reads the entry's two values as the registry holds them now (into the entry, a working
// copy), edits those that need it and writes them back, device format first; a value or key
// that has gone since the entry was read is skipped. 0 no write was refused; -1 one was; -2 both
// were.
int32_t setEndpointSampleRate(uint32_t rate, EndpointRegistryRecord* entry);
int32_t setEndpointChannels(uint32_t channels, EndpointRegistryRecord* entry);

// Which text of an entry a fix puts back.
enum StoredText : int32_t {
    STORED_NAME = 0,  // the endpoint's name in the Sound settings (its description)
    STORED_ICON = 1,  // its icon path
};
// Writes `text` into the entry's value, as REG_SZ, in the registry view the entry is found in:
// only when the entry's driver text carries the hardware ID (ASCII case ignored) and the value
// still holds `before`, so that nothing but the endpoint the test found is changed, and nothing
// the user changed since. ERROR_SUCCESS, or the reason: Windows' own, ERROR_NOT_FOUND when the
// entry is not the driver's, ERROR_INVALID_DATA when the value changed since.
LONG restoreEntryText(Direction direction, const wchar_t* endpointGuid, const char* hardwareId, StoredText which,
                      const wchar_t* before, const wchar_t* text);
