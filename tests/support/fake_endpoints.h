// Core Audio endpoints for tests: our own IMMDeviceEnumerator, IMMDeviceCollection, IMMDevice
// and IPropertyStore objects, handed to the endpoint source through its enumerator seam while a
// FakeEndpoints lives.
#pragma once

#include <windows.h>
#include <mmdeviceapi.h>

#include <string>
#include <vector>

struct FakeEndpoint {
    // How a property answers.
    enum Answer { TEXT, EMPTY_VALUE, NULL_TEXT, FAILS };

    EDataFlow flow = eRender;
    DWORD state = DEVICE_STATE_ACTIVE;
    std::wstring id;
    bool idFails = false;
    bool itemFails = false;
    bool storeFails = false;
    Answer nameAnswer = TEXT;
    std::wstring name;  // PKEY_Device_FriendlyName
    Answer adapterAnswer = TEXT;
    std::wstring adapter;  // PKEY_DeviceInterface_FriendlyName
};

class FakeEndpoints {
public:
    FakeEndpoints();
    ~FakeEndpoints();
    FakeEndpoints(const FakeEndpoints&) = delete;
    FakeEndpoints& operator=(const FakeEndpoints&) = delete;

    FakeEndpoint& add(EDataFlow flow, const std::wstring& id, const std::wstring& name, const std::wstring& adapter);

    std::vector<FakeEndpoint> endpoints;
    bool createFails = false, enumerateFails = false, countFails = false;

    // What the code under test asked.
    std::vector<EDataFlow> askedFlows;
    std::vector<DWORD> askedMasks;
    std::vector<int> itemCalls;  // per endpoint
    int liveObjects = 0;         // COM objects handed out and not yet released
};
