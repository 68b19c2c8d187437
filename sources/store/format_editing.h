// Rewriting the stored wave formats of the catalogued drivers' endpoints: sample rate or channel
// count, in the device format and the default (OEM) format values of an endpoint's registry entry.
#pragma once

#include <stdint.h>

#include "sources/store/endpoint_store.h"

// 1 written; 0 failed. The key lies below HKEY_LOCAL_MACHINE, in the 64-bit view when asked.
int32_t writeRegistryBinary(int32_t use64BitView, const wchar_t* keyPath, const wchar_t* valueName,
                            const uint8_t* data, uint32_t size);

// The speaker mask for a channel count (0 for counts without one).
uint32_t channelMaskFor(uint32_t channels);

// Each edits the entry's copies of the two values and writes those that change, device format
// first. 0 no write failed; -1 one failed; -2 both failed.
int32_t setEndpointSampleRate(uint32_t rate, EndpointRegistryRecord* entry);
int32_t setEndpointChannels(uint32_t channels, EndpointRegistryRecord* entry);
