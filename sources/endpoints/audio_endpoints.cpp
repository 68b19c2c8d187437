#include "sources/endpoints/audio_endpoints.h"

#include <objbase.h>
#include <propidl.h>
#include <wchar.h>

#include "base/owners.h"
#include "base/text.h"

namespace {

const CLSID kMMDeviceEnumeratorClass = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
const IID kMMDeviceEnumeratorInterface = {0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
// PKEY_Device_FriendlyName: the endpoint's name followed by the adapter name in parentheses.
const PROPERTYKEY kFriendlyName = {{0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}}, 14};
// PKEY_DeviceInterface_FriendlyName: the audio adapter carrying the endpoint.
const PROPERTYKEY kInterfaceFriendlyName = {
    {0x026E516E, 0xB814, 0x414B, {0x83, 0xCD, 0x85, 0x6D, 0x6F, 0xEF, 0x48, 0x22}}, 2};

const DWORD kActiveOnly = 0x1;  // DEVICE_STATE_ACTIVE

// A property that is no wide string (empty, or a null string pointer) gives an empty name.
// The text of a property value, or nothing when the value holds none.
const wchar_t* textOf(const PROPVARIANT& value) {
    return value.vt == VT_LPWSTR && value.pwszVal ? value.pwszVal : L"";
}

}  // namespace

HRESULT createRealDeviceEnumerator(IMMDeviceEnumerator** enumerator) {
    return CoCreateInstance(kMMDeviceEnumeratorClass, NULL, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                            kMMDeviceEnumeratorInterface, reinterpret_cast<void**>(enumerator));
}

HRESULT (*g_createDeviceEnumerator)(IMMDeviceEnumerator** enumerator) = createRealDeviceEnumerator;

void extractEndpointGuid(const wchar_t* identifier, DeviceRecord* record) {
    record->mmDeviceGuid[0] = 0;
    if (!identifier) return;
    const size_t length = wcslen(identifier);
    const wchar_t* brace = wcsrchr(identifier, L'{');
    if (!brace || length - size_t(brace - identifier) <= 16) return;
    copyText(record->mmDeviceGuid, brace, DEVICE_GUID_SIZE);
}

int32_t readAudioEndpoint(IMMDeviceCollection* collection, UINT index, DeviceRecord* record, Direction direction,
                          const RecordCompletion& completion) {
    ComPtr<IMMDevice> device;
    if (FAILED(collection->Item(index, device.out())) || !device) return -1;

    ZeroMemory(record, sizeof(*record));
    {
        CoTaskText identifier;
        if (SUCCEEDED(device->GetId(identifier.out())) && identifier.get())
            extractEndpointGuid(identifier.get(), record);
    }
    ComPtr<IPropertyStore> store;
    if (FAILED(device->OpenPropertyStore(STGM_READ, store.out())) || !store) return -3;
    {
        PropertyValue name;
        if (FAILED(store->GetValue(kFriendlyName, name.out()))) return -4;
        copyTextAndNarrow(textOf(name.get()), record->pinNameW, record->pinName, PIN_NAME_SIZE);
    }
    {
        PropertyValue adapter;
        if (FAILED(store->GetValue(kInterfaceFriendlyName, adapter.out()))) return -5;
        copyTextAndNarrow(textOf(adapter.get()), record->driverNameW, record->driverName, DRIVER_NAME_SIZE);
    }
    record->index = int32_t(index);
    record->kind = KIND_WDM;
    record->channels = 2;
    record->pinName[PIN_NAME_SIZE - 1] = 0;
    store.reset();
    device.reset();

    // The hardware ID and the icon come from what the other sources know of the endpoint.
    completion.complete(completion.context, record, direction);
    return 0;
}

void readActiveEndpoints(RecordList* list, Direction direction, const RecordCompletion& completion) {
    ComPtr<IMMDeviceEnumerator> enumerator;
    ComPtr<IMMDeviceCollection> collection;
    UINT count = 0;
    if (SUCCEEDED(g_createDeviceEnumerator(enumerator.out())) && enumerator &&
        SUCCEEDED(enumerator->EnumAudioEndpoints(direction == DIRECTION_RECORDING ? eCapture : eRender, kActiveOnly, collection.out())) &&
        collection && SUCCEEDED(collection->GetCount(&count))) {
        for (UINT i = 0; i < count; ++i) {
            DeviceRecord record;
            if (readAudioEndpoint(collection.get(), i, &record, direction, completion) == 0)
                appendRecord(list, &record);
        }
    }
}
