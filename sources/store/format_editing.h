// Rewriting the stored wave formats of the catalogued drivers' endpoints: sample rate or channel
// count, in the device format and the default (OEM) format values of an endpoint's registry entry.
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
