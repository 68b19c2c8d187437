// The Core Audio endpoints of one direction, as WDM records of the inventory.
#pragma once

#include <windows.h>
#include <mmdeviceapi.h>
#include <stdint.h>

#include "inventory/device_inventory.h"

// Creates the MMDevice enumerator: CoCreateInstance in the product; tests hand in their own
// COM objects through it.
extern HRESULT (*g_createDeviceEnumerator)(IMMDeviceEnumerator** enumerator);
HRESULT createRealDeviceEnumerator(IMMDeviceEnumerator** enumerator);

// Appends the active endpoints of a direction (1 recording, else playback) to its list of the
// inventory. Always 0.
int32_t enumerateAudioEndpoints(DeviceInventory* inventory, int direction);

// 0 when the record is complete and to be listed; -1 no such item, -3 no property store,
// -4 no friendly name, -5 no adapter name.
int32_t readAudioEndpoint(const DeviceInventory& inventory, IMMDeviceCollection* collection, UINT index,
                          DeviceRecord* record, int direction);

// The braced GUID that ends an endpoint identifier, or nothing when the tail is too short.
void extractEndpointGuid(const wchar_t* identifier, DeviceRecord* record);
