// The active Core Audio endpoints of one direction, as records of kind KIND_WDM.
#pragma once

#include <windows.h>
#include <mmdeviceapi.h>
#include <stdint.h>

#include "base/device_record.h"

// Creates the MMDevice enumerator: CoCreateInstance in the product; tests hand in their own
// COM objects through it.
extern HRESULT (*g_createDeviceEnumerator)(IMMDeviceEnumerator** enumerator);
HRESULT createRealDeviceEnumerator(IMMDeviceEnumerator** enumerator);

// Appends the active endpoints of a direction to the list, each
// handed to the completion before it is listed.
void readActiveEndpoints(RecordList* list, Direction direction, const RecordCompletion& completion);

// 0 when the record is complete and to be listed (it has then been through the completion);
// -1 no such item, -3 no property store, -4 no friendly name, -5 no adapter name.
int32_t readAudioEndpoint(IMMDeviceCollection* collection, UINT index, DeviceRecord* record, Direction direction,
                          const RecordCompletion& completion);

// The braced GUID that ends an endpoint identifier, or nothing when the tail is too short.
void extractEndpointGuid(const wchar_t* identifier, DeviceRecord* record);
