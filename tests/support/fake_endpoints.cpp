#include "support/fake_endpoints.h"

#include <objbase.h>
#include <propidl.h>

#include "sources/endpoints/audio_endpoints.h"

namespace {

FakeEndpoints* g_endpoints = nullptr;

const GUID kFriendlyNameFormat = {0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}};
const GUID kInterfaceNameFormat = {0x026E516E, 0xB814, 0x414B, {0x83, 0xCD, 0x85, 0x6D, 0x6F, 0xEF, 0x48, 0x22}};

wchar_t* taskCopy(const std::wstring& text) {
    wchar_t* copy = static_cast<wchar_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return copy;
}

// Reference counting shared by the fakes; each counts as live until its last release.
template <typename Interface>
class Fake : public Interface {
public:
    Fake() { ++g_endpoints->liveObjects; }
    virtual ~Fake() { --g_endpoints->liveObjects; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

private:
    ULONG refs_ = 1;
};

class FakeStore : public Fake<IPropertyStore> {
public:
    explicit FakeStore(const FakeEndpoint& e) : endpoint_(e) {}
    HRESULT STDMETHODCALLTYPE GetCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAt(DWORD, PROPERTYKEY*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY, REFPROPVARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Commit() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override {
        if (IsEqualGUID(key.fmtid, kFriendlyNameFormat) && key.pid == 14)
            return answer(endpoint_.nameAnswer, endpoint_.name, value);
        if (IsEqualGUID(key.fmtid, kInterfaceNameFormat) && key.pid == 2)
            return answer(endpoint_.adapterAnswer, endpoint_.adapter, value);
        PropVariantInit(value);
        return S_OK;  // an unknown key reads as empty, as in Windows
    }

private:
    static HRESULT answer(FakeEndpoint::Answer how, const std::wstring& text, PROPVARIANT* value) {
        switch (how) {
        case FakeEndpoint::FAILS: return E_FAIL;
        case FakeEndpoint::EMPTY_VALUE: PropVariantInit(value); return S_OK;
        case FakeEndpoint::NULL_TEXT:
            PropVariantInit(value);
            value->vt = VT_LPWSTR;
            value->pwszVal = nullptr;
            return S_OK;
        default:
            PropVariantInit(value);
            value->vt = VT_LPWSTR;
            value->pwszVal = taskCopy(text);
            return S_OK;
        }
    }
    FakeEndpoint endpoint_;
};

class FakeDevice : public Fake<IMMDevice> {
public:
    explicit FakeDevice(const FakeEndpoint& e) : endpoint_(e) {}
    HRESULT STDMETHODCALLTYPE Activate(REFIID, DWORD, PROPVARIANT*, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD access, IPropertyStore** store) override {
        if (endpoint_.storeFails || access != STGM_READ) return E_ACCESSDENIED;
        *store = new FakeStore(endpoint_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* id) override {
        if (endpoint_.idFails) return E_OUTOFMEMORY;
        *id = taskCopy(endpoint_.id);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD* state) override {
        *state = endpoint_.state;
        return S_OK;
    }

private:
    FakeEndpoint endpoint_;
};

class FakeCollection : public Fake<IMMDeviceCollection> {
public:
    explicit FakeCollection(const std::vector<size_t>& members) : members_(members) {}
    HRESULT STDMETHODCALLTYPE GetCount(UINT* count) override {
        if (g_endpoints->countFails) return E_FAIL;
        *count = UINT(members_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(UINT index, IMMDevice** device) override {
        if (index >= members_.size()) return E_INVALIDARG;
        const size_t which = members_[index];
        ++g_endpoints->itemCalls[which];
        if (g_endpoints->endpoints[which].itemFails) return E_FAIL;
        *device = new FakeDevice(g_endpoints->endpoints[which]);
        return S_OK;
    }

private:
    std::vector<size_t> members_;
};

class FakeEnumerator : public Fake<IMMDeviceEnumerator> {
public:
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow flow, DWORD mask, IMMDeviceCollection** out) override {
        g_endpoints->askedFlows.push_back(flow);
        g_endpoints->askedMasks.push_back(mask);
        if (g_endpoints->enumerateFails) return E_FAIL;
        std::vector<size_t> members;
        for (size_t i = 0; i < g_endpoints->endpoints.size(); ++i) {
            const FakeEndpoint& e = g_endpoints->endpoints[i];
            if ((e.flow == flow || flow == eAll) && (e.state & mask)) members.push_back(i);
        }
        g_endpoints->itemCalls.resize(g_endpoints->endpoints.size(), 0);
        *out = new FakeCollection(members);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow, ERole, IMMDevice**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient*) override {
        return E_NOTIMPL;
    }
};

HRESULT createFakeEnumerator(IMMDeviceEnumerator** out) {
    if (g_endpoints->createFails) return REGDB_E_CLASSNOTREG;
    *out = new FakeEnumerator;
    return S_OK;
}

}  // namespace

FakeEndpoints::FakeEndpoints() {
    g_endpoints = this;
    g_createDeviceEnumerator = createFakeEnumerator;
}

FakeEndpoints::~FakeEndpoints() {
    g_createDeviceEnumerator = createRealDeviceEnumerator;
    g_endpoints = nullptr;
}

FakeEndpoint& FakeEndpoints::add(EDataFlow flow, const std::wstring& id, const std::wstring& name,
                                 const std::wstring& adapter) {
    FakeEndpoint e;
    e.flow = flow;
    e.id = id;
    e.name = name;
    e.adapter = adapter;
    endpoints.push_back(e);
    itemCalls.push_back(0);
    return endpoints.back();
}
