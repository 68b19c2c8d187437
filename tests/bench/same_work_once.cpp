// Benchmark helper, not a test: the Windows work a checker start needs, done once and plainly,
// as the yardstick for the real checker's "-h" (tests/bench/pulse_bench.sh): the wave devices'
// capabilities, the active endpoints' identifiers and two names, and one walk of the MMDevices
// store reading each entry's names, icon and driver text. Prints what it counted.
#include <windows.h>
#include <mmdeviceapi.h>
#include <mmsystem.h>
#include <objbase.h>
#include <propidl.h>

#include <stdio.h>

#include <string>

#include "support/com_apartment.h"

namespace {

const CLSID kEnumeratorClass = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
const IID kEnumeratorInterface = {0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
const PROPERTYKEY kFriendlyName = {{0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}}, 14};
const PROPERTYKEY kAdapterName = {{0x026E516E, 0xB814, 0x414B, {0x83, 0xCD, 0x85, 0x6D, 0x6F, 0xEF, 0x48, 0x22}}, 2};
const wchar_t kStore[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\";
const wchar_t* const kValues[] = {L"{a45c254e-df1c-4efd-8020-67d146a850e0},2", L"{b3f8fa53-0004-438e-9003-51a46e139bfc},6",
                                  L"{259abffc-50a7-47ce-af08-68c9a7d73366},12", L"{83da6326-97a6-4088-9453-a1923f573b29},3"};

// The active endpoints of both directions, each asked for its identifier and two names.
int countActiveEndpoints() {
    const ComApartment com;
    int endpoints = 0;
    IMMDeviceEnumerator* enumerator = NULL;
    if (SUCCEEDED(CoCreateInstance(kEnumeratorClass, NULL, CLSCTX_INPROC_SERVER, kEnumeratorInterface,
                                   reinterpret_cast<void**>(&enumerator)))) {
        for (EDataFlow flow : {eCapture, eRender}) {
            IMMDeviceCollection* collection = NULL;
            UINT count = 0;
            if (FAILED(enumerator->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, &collection))) continue;
            collection->GetCount(&count);
            for (UINT i = 0; i < count; ++i) {
                IMMDevice* device = NULL;
                if (FAILED(collection->Item(i, &device))) continue;
                LPWSTR id = NULL;
                if (SUCCEEDED(device->GetId(&id))) CoTaskMemFree(id);
                IPropertyStore* store = NULL;
                if (SUCCEEDED(device->OpenPropertyStore(STGM_READ, &store))) {
                    PROPVARIANT value;
                    for (const PROPERTYKEY& key : {kFriendlyName, kAdapterName}) {
                        PropVariantInit(&value);
                        store->GetValue(key, &value);
                        PropVariantClear(&value);
                    }
                    store->Release();
                    ++endpoints;
                }
                device->Release();
            }
            collection->Release();
        }
        enumerator->Release();
    }
    return endpoints;
}

}  // namespace

int main() {
    int waves = 0, endpoints = 0, entries = 0;
    for (UINT id = 0, n = waveInGetNumDevs(); id < n; ++id) {
        WAVEINCAPSW caps;
        if (waveInGetDevCapsW(id, &caps, sizeof(caps)) == MMSYSERR_NOERROR) ++waves;
    }
    for (UINT id = 0, n = waveOutGetNumDevs(); id < n; ++id) {
        WAVEOUTCAPSW caps;
        if (waveOutGetDevCapsW(id, &caps, sizeof(caps)) == MMSYSERR_NOERROR) ++waves;
    }
    endpoints = countActiveEndpoints();
    for (const wchar_t* direction : {L"Capture", L"Render"}) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kStore) + direction).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        wchar_t name[1000];
        for (DWORD i = 0; RegEnumKeyW(key, i, name, 1000) == ERROR_SUCCESS; ++i) {
            HKEY properties;
            if (RegOpenKeyExW(key, (std::wstring(name) + L"\\Properties").c_str(), 0, KEY_READ, &properties) != ERROR_SUCCESS)
                continue;
            for (const wchar_t* value : kValues) {
                wchar_t text[2049];
                DWORD size = sizeof(text) - sizeof(wchar_t);
                RegQueryValueExW(properties, value, NULL, NULL, reinterpret_cast<BYTE*>(text), &size);
            }
            RegCloseKey(properties);
            ++entries;
        }
        RegCloseKey(key);
    }
    printf("%d wave devices, %d endpoints, %d store entries\n", waves, endpoints, entries);
    return 0;
}
