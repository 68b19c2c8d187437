#include "support/fake_ks.h"

#include <string.h>

#include <algorithm>

#include "base/worker.h"
#include "sources/ks/ks_interfaces.h"

namespace {

FakeKs* g_ks = nullptr;

// The filters are asked from several threads at once: the fake's bookkeeping is kept under one
// lock, and its last error per thread, as Windows keeps it.
struct FakeLock {
    CRITICAL_SECTION section;
    DWORD errorSlot;
    FakeLock() : errorSlot(TlsAlloc()) { InitializeCriticalSection(&section); }
};
FakeLock g_lock;
struct Held {
    Held() { EnterCriticalSection(&g_lock.section); }
    ~Held() { LeaveCriticalSection(&g_lock.section); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
};
void setFakeError(DWORD error) { TlsSetValue(g_lock.errorSlot, reinterpret_cast<void*>(ULONG_PTR(error))); }

struct FakeFilterHandle {
    size_t filter;
};

const GUID kAudioMajor = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID kWaveFormatExSpecifier = {0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

void put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}
void putGuid(std::vector<uint8_t>& v, const GUID& g) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&g);
    v.insert(v.end(), p, p + 16);
}

std::vector<uint8_t> value32(uint32_t x) {
    std::vector<uint8_t> v;
    put32(v, x);
    return v;
}

// The answer a filter gives to one request, and whether it fails.
bool answerOf(const FakeKsFilter& filter, uint32_t pin, uint32_t id, FakeKsAnswer* answer) {
    const auto raw = filter.raw.find(std::make_pair(pin, id));
    if (raw != filter.raw.end()) {
        *answer = raw->second;
        return !answer->fails;
    }
    *answer = FakeKsAnswer();
    if (id == KSPROPERTY_PIN_CTYPES_ID) {
        if (filter.pinTypesFail) return false;
        answer->bytes = value32(uint32_t(filter.pinTypes >= 0 ? filter.pinTypes : int64_t(filter.pins.size())));
        return true;
    }
    if (pin >= filter.pins.size()) return false;
    const FakeKsPin& p = filter.pins[pin];
    if (std::find(p.failing.begin(), p.failing.end(), id) != p.failing.end()) return false;
    switch (id) {
    case KSPROPERTY_PIN_COMMUNICATION_ID: answer->bytes = value32(p.communication); return true;
    case KSPROPERTY_PIN_DATAFLOW_ID: answer->bytes = value32(p.dataFlow); return true;
    case KSPROPERTY_PIN_INTERFACES_ID: answer->bytes = FakeKs::multipleItems(p.interfaces); return true;
    case KSPROPERTY_PIN_MEDIUMS_ID: answer->bytes = FakeKs::multipleItems(p.mediums); return true;
    case KSPROPERTY_PIN_DATARANGES_ID: answer->bytes = FakeKs::dataRanges(p.subFormats); return true;
    case KSPROPERTY_PIN_CINSTANCES_ID:
    case KSPROPERTY_PIN_GLOBALCINSTANCES_ID:
        answer->bytes = value32(1);
        put32(answer->bytes, 0);
        return true;
    case KSPROPERTY_PIN_CATEGORY_ID: putGuid(answer->bytes, kAudioMajor); return true;
    case KSPROPERTY_PIN_NAME_ID: {
        const uint8_t* text = reinterpret_cast<const uint8_t*>(p.name.c_str());
        answer->bytes.assign(text, text + (p.name.size() + 1) * sizeof(wchar_t));
        return true;
    }
    default: return false;
    }
}

// A completion that comes later, on a thread of its own, as a driver's would.
struct LateCompletion {
    HANDLE event;
    OVERLAPPED* overlapped;
    LONG status;        // the request's final status when it is answered
    DWORD information;  // and its byte count
    void* output;
    std::vector<uint8_t> bytes;
    DWORD delayMs;
    HANDLE cancelled;  // signalled by a cancel
    bool ignoresCancel;
    bool waitsForCancel;
};

LateAnswers g_late;
std::vector<HANDLE> g_filterHandles;
std::vector<HANDLE> g_threadHandles;

const LONG kStatusCancelled = LONG(0xC0000120);

DWORD WINAPI completeLater(void* parameter) {
    LateCompletion* c = static_cast<LateCompletion*>(parameter);
    bool answered = false;
    if (c->waitsForCancel) {
        WaitForSingleObject(c->cancelled, INFINITE);
        Sleep(50);  // a driver takes a moment to finish a cancelled request
    } else if (c->ignoresCancel) {
        Sleep(c->delayMs);
        Held held;
        ++g_ks->lateWrites;
        answered = true;
    } else {
        answered = WaitForSingleObject(c->cancelled, c->delayMs) == WAIT_TIMEOUT;
    }
    if (answered && c->output) memcpy(c->output, c->bytes.data(), c->bytes.size());
    // As the system completes a request: its status and byte count, then the event.
    c->overlapped->InternalHigh = answered ? c->information : 0;
    c->overlapped->Internal = ULONG_PTR(answered ? c->status : kStatusCancelled);
    SetEvent(c->event);
    delete c;
    return 0;
}

// Set while held calls may go; a held call waits for it.
HANDLE heldCallsGo() {
    static const HANDLE go = CreateEventA(NULL, TRUE, FALSE, NULL);
    return go;
}

HANDLE WINAPI fakeCreateFileW(LPCWSTR name, DWORD, DWORD share, LPSECURITY_ATTRIBUTES, DWORD, DWORD flags, HANDLE) {
    bool holds = false;
    {
        Held held;
        for (const FakeKsFilter& filter : g_ks->filters) holds = holds || (filter.path == name && filter.openHolds);
    }
    // Held outside the fake's lock, as a driver holds only the thread that opens it.
    if (holds) holdCall(name, (wcslen(name) + 1) * sizeof(wchar_t));
    Held held;
    for (size_t i = 0; i < g_ks->filters.size(); ++i) {
        if (g_ks->filters[i].path != name) continue;
        if (!g_ks->filters[i].opens || share != 0 || !(flags & FILE_FLAG_OVERLAPPED)) {
            setFakeError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        ++g_ks->openFilters;
        HANDLE handle = reinterpret_cast<HANDLE>(new FakeFilterHandle{i});
        g_filterHandles.push_back(handle);
        return handle;
    }
    setFakeError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

HANDLE WINAPI fakeCreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manual, BOOL initial, LPCSTR name) {
    HANDLE event = CreateEventA(security, manual, initial, name);
    Held held;
    if (event) ++g_ks->liveEvents;
    return event;
}

// The filter's next request keeps the filter's timing (the rest are answered at once).
bool keepsTiming(const FakeKsFilter& filter, uint32_t propertyId) {
    const int seen = filter.requestsSeen;
    const bool early = seen < filter.answersAtOnce;
    const bool late = filter.pendingRequests >= 0 && seen >= filter.answersAtOnce + filter.pendingRequests;
    return !(filter.timing == ANSWER_AT_ONCE || early || late ||
             (filter.pinTypesAtOnce && propertyId == KSPROPERTY_PIN_CTYPES_ID));
}

BOOL WINAPI answerRequest(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                          LPDWORD returned, LPOVERLAPPED overlapped);

BOOL WINAPI fakeDeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                LPDWORD returned, LPOVERLAPPED overlapped) {
    bool holds = false;
    if (device != INVALID_HANDLE_VALUE && device && inSize == 32) {
        Held held;
        const FakeKsFilter& filter = g_ks->filters[reinterpret_cast<FakeFilterHandle*>(device)->filter];
        holds = filter.timing == HOLD_THE_THREAD && keepsTiming(filter, static_cast<const KsPinRequest*>(in)->id);
    }
    // Held outside the fake's lock, as a driver holds only the thread that asks it; then answered
    // as at once.
    if (holds) holdCall(in, inSize);
    return answerRequest(device, code, in, inSize, out, outSize, returned, overlapped);
}

BOOL WINAPI answerRequest(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                          LPDWORD returned, LPOVERLAPPED overlapped) {
    Held held;
    ++g_ks->requests;
    if (returned) *returned = 0;
    const KsPinRequest* request = static_cast<const KsPinRequest*>(in);
    if (device == INVALID_HANDLE_VALUE || !device || code != windows_ks::IOCTL_KS_PROPERTY || inSize != 32 || !overlapped ||
        !IsEqualGUID(request->set, windows_ks::PROPSETID_PIN) || request->flags != 1) {
        setFakeError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(reinterpret_cast<ULONG_PTR>(overlapped->hEvent) & 1)) g_ks->lowBitSet = false;
    const HANDLE event = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(overlapped->hEvent) & ~ULONG_PTR(1));
    FakeKsFilter& filter = g_ks->filters[reinterpret_cast<FakeFilterHandle*>(device)->filter];
    g_ks->asked.push_back(std::make_pair(request->pinId, request->id));
    g_ks->outputBuffers.push_back(out);
    const bool atOnce = !keepsTiming(filter, request->id) || filter.timing == HOLD_THE_THREAD;
    ++filter.requestsSeen;

    FakeKsAnswer answer;
    const bool ok = answerOf(filter, request->pinId, request->id, &answer);
    if (!atOnce) {
        // A pending request ends, when it is answered, with the status the same answer gives at
        // once: an error for a failing property, an overflow for a size query.
        LateCompletion* c = new LateCompletion;
        c->event = event;
        c->overlapped = overlapped;
        const DWORD size = DWORD(answer.bytes.size());
        c->status = !ok ? LONG(0xC0000225)                       // STATUS_NOT_FOUND
                    : outSize == 0 ? LONG(0x80000005)           // STATUS_BUFFER_OVERFLOW
                    : outSize < size ? LONG(0xC0000023)         // STATUS_BUFFER_TOO_SMALL
                                     : 0;
        c->information = size;
        c->output = ok && outSize >= size ? out : nullptr;
        c->bytes = answer.bytes;
        c->delayMs = filter.completeAfterMs;
        c->cancelled = g_late.cancelEvent(device);
        c->ignoresCancel = filter.timing == PEND_IGNORING_CANCEL;
        c->waitsForCancel = filter.timing == PEND_UNTIL_CANCELLED;
        overlapped->Internal = ULONG_PTR(0x103);  // STATUS_PENDING
        g_late.run(completeLater, c);
        setFakeError(ERROR_IO_PENDING);
        return FALSE;
    }
    if (!ok) {
        setFakeError(ERROR_NOT_FOUND);
        return FALSE;
    }
    const DWORD size = DWORD(answer.bytes.size());
    if (outSize == 0) {
        const DWORD query = DWORD(answer.sizeQuery >= 0 ? answer.sizeQuery : size);
        if (returned) *returned = query;
        if (query == 0) return TRUE;  // a driver answering a size query with nothing
        setFakeError(ERROR_MORE_DATA);
        return FALSE;
    }
    if (outSize < size) {
        if (returned) *returned = size;
        setFakeError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(out, answer.bytes.data(), size);
    if (returned) *returned = DWORD(answer.returned >= 0 ? answer.returned : size);
    return TRUE;
}

DWORD WINAPI fakeGetLastError() { return DWORD(ULONG_PTR(TlsGetValue(g_lock.errorSlot))); }

// The system's own reading of a completed OVERLAPPED (without waiting it touches only the
// OVERLAPPED); its error goes where the fake keeps its last error.
BOOL WINAPI fakeGetOverlappedResult(HANDLE device, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL) {
    if (GetOverlappedResult(device, overlapped, transferred, FALSE)) return TRUE;
    setFakeError(GetLastError());
    return FALSE;
}

BOOL WINAPI fakeCancelIo(HANDLE device) {
    Held held;
    ++g_ks->cancels;
    g_late.cancel(device);
    return TRUE;
}

BOOL WINAPI fakeCloseHandle(HANDLE handle) {
    Held held;
    // Filter handles are the fake's own objects; threads are real; everything else is a real
    // event.
    auto own = std::find(g_filterHandles.begin(), g_filterHandles.end(), handle);
    if (own != g_filterHandles.end()) {
        g_filterHandles.erase(own);
        --g_ks->openFilters;
        delete reinterpret_cast<FakeFilterHandle*>(handle);
        return TRUE;
    }
    auto thread = std::find(g_threadHandles.begin(), g_threadHandles.end(), handle);
    if (thread != g_threadHandles.end()) {
        g_threadHandles.erase(thread);
        --g_ks->threadHandles;
        return CloseHandle(handle);
    }
    --g_ks->liveEvents;
    return CloseHandle(handle);
}

// A thread of the code under test, which ends only a while after its work, as Windows keeps a
// thread until the requests it sent are done.
struct FakeThread {
    LPTHREAD_START_ROUTINE start;
    void* parameter;
    DWORD exitAfterMs;
};

DWORD WINAPI runFakeThread(void* parameter) {
    const FakeThread thread = *static_cast<FakeThread*>(parameter);
    delete static_cast<FakeThread*>(parameter);
    const DWORD result = thread.start(thread.parameter);
    Sleep(thread.exitAfterMs);
    InterlockedDecrement(&g_ks->threadsRunning);
    return result;
}

HANDLE WINAPI fakeCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                               LPVOID parameter, DWORD flags, LPDWORD id) {
    Held held;
    if (g_ks->threadsFail) return NULL;
    FakeThread* run = new FakeThread{start, parameter, g_ks->threadExitMs};
    InterlockedIncrement(&g_ks->threadsRunning);
    const HANDLE thread = CreateThread(security, stack, runFakeThread, run, flags, id);
    if (!thread) {
        InterlockedDecrement(&g_ks->threadsRunning);
        delete run;
        return NULL;
    }
    ++g_ks->threadsStarted;
    ++g_ks->threadHandles;
    g_threadHandles.push_back(thread);
    return thread;
}

// The workers' states: a released one is marked and kept aside, so that a write into it shows and
// its memory is never handed out again while the fake lives.
struct KeptState {
    uint8_t* block;
    size_t bytes;
};
std::vector<KeptState> g_liveStates, g_releasedStates;
const uint8_t kReleasedMark = 0xDD;

void* allocateState(size_t bytes) {
    uint8_t* block = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    Held held;
    if (block) {
        g_liveStates.push_back({block, bytes});
        ++g_ks->liveStates;
    }
    return block;
}

void releaseState(void* block) {
    Held held;
    for (size_t i = 0; i < g_liveStates.size(); ++i) {
        if (g_liveStates[i].block != block) continue;
        memset(g_liveStates[i].block, kReleasedMark, g_liveStates[i].bytes);
        g_releasedStates.push_back(g_liveStates[i]);
        g_liveStates.erase(g_liveStates.begin() + i);
        --g_ks->liveStates;
        return;
    }
}

// Whether the address lies in a state already released.
bool inReleasedState(const void* address) {
    const uint8_t* at = static_cast<const uint8_t*>(address);
    for (const KeptState& kept : g_releasedStates)
        if (at >= kept.block && at < kept.block + kept.bytes) return true;
    return false;
}

// Blocks that end at a page nobody may touch.
void* guardedBlock(size_t bytes) {
    Held held;
    if (!g_ks->guardPages) {
        void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
        if (block) ++g_ks->liveBlocks;
        return block;
    }
    const size_t page = 4096;
    const size_t pages = (bytes + page - 1) / page + 1;
    uint8_t* base = static_cast<uint8_t*>(VirtualAlloc(NULL, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!base) return nullptr;
    DWORD old;
    VirtualProtect(base + (pages - 1) * page, page, PAGE_NOACCESS, &old);
    ++g_ks->liveBlocks;
    return base + (pages - 1) * page - bytes;
}

void releaseGuardedBlock(void* block) {
    Held held;
    --g_ks->liveBlocks;
    if (!g_ks->guardPages) {
        HeapFree(GetProcessHeap(), 0, block);
        return;
    }
    MEMORY_BASIC_INFORMATION info;
    VirtualQuery(block, &info, sizeof(info));
    VirtualFree(info.AllocationBase, 0, MEM_RELEASE);
}

// --- the interface list ---------------------------------------------------------------------------

struct FakeSet {
    int unused;
};
struct FakeKey {
    size_t interfaceIndex;
};

HDEVINFO WINAPI fakeGetClassDevsA(const GUID* guid, PCSTR, HWND, DWORD flags) {
    if (g_ks->classDevsFail || !guid || !IsEqualGUID(*guid, windows_ks::CATEGORY_AUDIO) ||
        flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE))
        return INVALID_HANDLE_VALUE;
    ++g_ks->openSets;
    return reinterpret_cast<HDEVINFO>(new FakeSet());
}

BOOL WINAPI fakeEnumDeviceInterfaces(HDEVINFO, PSP_DEVINFO_DATA, const GUID* guid, DWORD index,
                                     PSP_DEVICE_INTERFACE_DATA data) {
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || !IsEqualGUID(*guid, windows_ks::CATEGORY_AUDIO) ||
        index >= g_ks->interfaces.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    data->InterfaceClassGuid = windows_ks::CATEGORY_AUDIO;
    data->Flags = SPINT_ACTIVE;
    data->Reserved = index;
    return TRUE;
}

BOOL WINAPI fakeGetDeviceInterfaceDetailW(HDEVINFO, PSP_DEVICE_INTERFACE_DATA data,
                                          PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD size, PDWORD required,
                                          PSP_DEVINFO_DATA device) {
    const FakeKsInterface& i = g_ks->interfaces[data->Reserved];
    const DWORD needed = DWORD(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + (i.path.size() + 1) * 2);
    if (required) *required = needed;
    if (i.detailFails || !detail || detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) || size < needed ||
        (device && device->cbSize != sizeof(SP_DEVINFO_DATA)))
        return FALSE;
    memcpy(detail->DevicePath, i.path.c_str(), (i.path.size() + 1) * 2);
    if (device) device->Reserved = data->Reserved;
    return TRUE;
}

BOOL WINAPI fakeGetDeviceInterfaceAlias(HDEVINFO, PSP_DEVICE_INTERFACE_DATA data, const GUID* aliasClass,
                                        PSP_DEVICE_INTERFACE_DATA alias) {
    const FakeKsInterface& i = g_ks->interfaces[data->Reserved];
    const DWORD flags = IsEqualGUID(*aliasClass, windows_ks::CATEGORY_CAPTURE) ? i.captureAlias
                        : IsEqualGUID(*aliasClass, windows_ks::CATEGORY_RENDER) ? i.renderAlias
                                                                            : 0;
    if (!flags || !alias || alias->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return FALSE;
    alias->InterfaceClassGuid = *aliasClass;
    alias->Flags = flags;
    return TRUE;
}

HKEY WINAPI fakeOpenDeviceInterfaceRegKey(HDEVINFO, PSP_DEVICE_INTERFACE_DATA data, DWORD, REGSAM) {
    if (!g_ks->interfaces[data->Reserved].hasInterfaceKey) return reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    ++g_ks->openKeys;
    return reinterpret_cast<HKEY>(new FakeKey{size_t(data->Reserved)});
}

LONG WINAPI fakeRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
    const FakeKsInterface& i = g_ks->interfaces[reinterpret_cast<FakeKey*>(key)->interfaceIndex];
    if (lstrcmpiW(name, L"FriendlyName") != 0 || !i.hasInterfaceName) return ERROR_FILE_NOT_FOUND;
    const DWORD bytes = DWORD((i.interfaceName.size() + 1) * 2);
    if (type) *type = REG_SZ;
    if (*size < bytes) {
        *size = bytes;
        return ERROR_MORE_DATA;
    }
    memcpy(data, i.interfaceName.c_str(), bytes);
    *size = bytes;
    return ERROR_SUCCESS;
}

LONG WINAPI fakeRegCloseKey(HKEY key) {
    --g_ks->openKeys;
    delete reinterpret_cast<FakeKey*>(key);
    return ERROR_SUCCESS;
}

BOOL WINAPI fakeGetDeviceRegistryPropertyW(HDEVINFO, PSP_DEVINFO_DATA device, DWORD property, PDWORD type,
                                           PBYTE buffer, DWORD size, PDWORD required) {
    const FakeKsInterface& i = g_ks->interfaces[device->Reserved];
    std::wstring value;  // with its terminator(s)
    if (property == SPDRP_FRIENDLYNAME && i.hasFriendlyName) {
        value = i.friendlyName + L'\0';
    } else if (property == SPDRP_DRIVER && i.hasDriver) {
        value = i.driver + L'\0';
    } else if (property == SPDRP_HARDWAREID && !i.hardwareIds.empty()) {
        for (const std::wstring& id : i.hardwareIds) value += id + L'\0';
        value += L'\0';
    } else {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    const DWORD bytes = DWORD(value.size() * 2);
    if (required) *required = bytes;
    if (type) *type = property == SPDRP_HARDWAREID ? REG_MULTI_SZ : REG_SZ;
    if (size < bytes) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(buffer, value.data(), bytes);
    return TRUE;
}

BOOL WINAPI fakeDestroyDeviceInfoList(HDEVINFO set) {
    --g_ks->openSets;
    delete reinterpret_cast<FakeSet*>(set);
    return TRUE;
}

}  // namespace

const void* liveHeapBlock(const void* address, size_t size) {
    HANDLE heap = GetProcessHeap();
    if (!HeapLock(heap)) return nullptr;
    PROCESS_HEAP_ENTRY entry;
    entry.lpData = nullptr;
    const void* found = nullptr;
    while (!found && HeapWalk(heap, &entry)) {
        const char* start = static_cast<const char*>(entry.lpData);
        const char* at = static_cast<const char*>(address);
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) && at >= start && at + size <= start + entry.cbData) found = start;
    }
    HeapUnlock(heap);
    return found;
}

bool holdCall(const void* storage, size_t bytes) {
    const void* block = storage ? liveHeapBlock(storage, bytes) : nullptr;
    {
        Held held;
        InterlockedIncrement(&g_ks->heldCalls);
        if (block) g_ks->heldStorage.push_back(block);
    }
    const bool let = WaitForSingleObject(heldCallsGo(), INFINITE) == WAIT_OBJECT_0;
    Held held;
    if (block && (liveHeapBlock(storage, bytes) != block || inReleasedState(storage)))
        InterlockedIncrement(&g_ks->heldStorageFreed);
    InterlockedDecrement(&g_ks->heldCalls);
    return let;
}

void letHeldCallsGo() { SetEvent(heldCallsGo()); }

bool FakeKs::endThreads(DWORD timeoutMs) {
    letHeldCallsGo();
    const DWORD start = GetTickCount();
    while (threadsRunning > 0 && GetTickCount() - start < timeoutMs) Sleep(5);
    const bool ended = threadsRunning == 0;
    if (ended) ResetEvent(heldCallsGo());  // calls made from now on are held again
    Held held;
    freedStatesWritten = 0;
    for (const KeptState& kept : g_releasedStates)
        for (size_t i = 0; i < kept.bytes; ++i)
            if (kept.block[i] != kReleasedMark) {
                ++freedStatesWritten;
                break;
            }
    return ended;
}

FakeKs::FakeKs() {
    g_ks = this;
    ResetEvent(heldCallsGo());
    g_ksApi = KsApi{fakeCreateFileW,
                    {fakeCreateEventA, fakeDeviceIoControl, fakeGetLastError, WaitForSingleObject, fakeCancelIo,
                     fakeGetOverlappedResult, fakeCloseHandle, GetTickCount},
                    guardedBlock,
                    releaseGuardedBlock};
    g_workerApi = WorkerApi{fakeCreateThread, fakeCloseHandle, allocateState, releaseState};
    g_ksSetupApi = KsSetupApi{fakeGetClassDevsA,
                              fakeEnumDeviceInterfaces,
                              fakeGetDeviceInterfaceDetailW,
                              fakeGetDeviceInterfaceAlias,
                              fakeOpenDeviceInterfaceRegKey,
                              fakeRegQueryValueExW,
                              fakeRegCloseKey,
                              fakeGetDeviceRegistryPropertyW,
                              fakeDestroyDeviceInfoList};
}

HANDLE LateAnswers::cancelEvent(HANDLE device) {
    cancels_.push_back(CreateEventA(NULL, TRUE, FALSE, NULL));
    cancelDevices_.push_back(device);
    return cancels_.back();
}

void LateAnswers::cancel(HANDLE device) {
    for (size_t i = 0; i < cancels_.size(); ++i)
        if (cancelDevices_[i] == device) SetEvent(cancels_[i]);
}

void LateAnswers::run(LPTHREAD_START_ROUTINE answer, void* context) {
    threads_.push_back(CreateThread(NULL, 0, answer, context, 0, NULL));
}

void LateAnswers::cancelAll() {
    for (HANDLE cancelled : cancels_) SetEvent(cancelled);
}

void LateAnswers::finish() {
    cancelAll();
    for (HANDLE thread : threads_) {
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
    }
    threads_.clear();
    for (HANDLE cancelled : cancels_) CloseHandle(cancelled);
    cancels_.clear();
    cancelDevices_.clear();
}

FakeKs::~FakeKs() {
    // No thread of the code under test may still run when Windows is put back.
    endThreads();
    g_late.finish();
    savedWorkerApi_.restore();
    for (const KeptState& kept : g_releasedStates) HeapFree(GetProcessHeap(), 0, kept.block);
    g_releasedStates.clear();
    g_liveStates.clear();  // a state still held belongs to a thread that never ended: left to it
    savedKsApi_.restore();
    savedSetupApi_.restore();
    g_ks = nullptr;
}

FakeKsFilter& FakeKs::add(const std::wstring& path, int pinCount, uint32_t dataFlow) {
    FakeKsFilter filter;
    filter.path = path;
    for (int i = 0; i < pinCount; ++i) {
        FakeKsPin pin;
        pin.dataFlow = dataFlow;
        filter.pins.push_back(pin);
    }
    filters.push_back(filter);
    return filters.back();
}

FakeKsInterface& FakeKs::addInterface(const std::wstring& path, const std::wstring& name,
                                      const std::string& hardwareId, bool capture, bool render) {
    FakeKsInterface i;
    i.path = path;
    i.captureAlias = capture ? SPINT_ACTIVE : 0;
    i.renderAlias = render ? SPINT_ACTIVE : 0;
    i.interfaceName = name;
    i.friendlyName = name;
    const std::wstring id(hardwareId.begin(), hardwareId.end());
    if (!id.empty()) i.hardwareIds = {id, L"*" + id};
    interfaces.push_back(i);
    FakeKsFilter& filter = add(path);
    if (capture) {
        FakeKsPin pin;
        pin.dataFlow = KS_DATAFLOW_OUT;
        pin.name = L"Capture";
        filter.pins.push_back(pin);
    }
    if (render) {
        FakeKsPin pin;
        pin.dataFlow = KS_DATAFLOW_IN;
        pin.name = L"Render";
        filter.pins.push_back(pin);
    }
    interfaces.back().path = path;
    return interfaces.back();
}

std::vector<uint8_t> FakeKs::multipleItems(const std::vector<KsIdentifier>& items) {
    std::vector<uint8_t> v;
    put32(v, uint32_t(8 + 24 * items.size()));
    put32(v, uint32_t(items.size()));
    for (const KsIdentifier& item : items) {
        putGuid(v, item.set);
        put32(v, item.id);
        put32(v, 0);
    }
    return v;
}

std::vector<uint8_t> FakeKs::dataRanges(const std::vector<GUID>& subFormats) {
    // KSDATARANGE_AUDIO: the 64-byte range header and channel, bit and rate limits.
    const uint32_t rangeSize = 64 + 20;
    std::vector<uint8_t> v;
    put32(v, uint32_t(8 + rangeSize * subFormats.size()));
    put32(v, uint32_t(subFormats.size()));
    for (const GUID& subFormat : subFormats) {
        put32(v, rangeSize);
        put32(v, 0);
        put32(v, 0);
        put32(v, 0);
        putGuid(v, kAudioMajor);
        putGuid(v, subFormat);
        putGuid(v, kWaveFormatExSpecifier);
        put32(v, 2);
        put32(v, 16);
        put32(v, 24);
        put32(v, 8000);
        put32(v, 192000);
    }
    return v;
}
