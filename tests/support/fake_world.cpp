#include "support/fake_world.h"

#include <stdio.h>
#include <string.h>

#include <map>

#include "base/device_record.h"
#include "checks/driver_control.h"
#include "inventory/inventory_platform.h"
#include "sources/wave/wave_devices.h"

namespace {

FakeWorld* g_world = nullptr;

// Handles the fakes give out: addresses of these markers, never dereferenced by the product.
char g_ksuserModule, g_kernelModule, g_someExport;

struct FakeSet {
    GUID guid;
};
struct FakeHandle {
    size_t interfaceIndex;
    bool overlapped;  // opened with FILE_FLAG_OVERLAPPED
};
std::vector<FakeHandle*> g_handles;

// An answer that comes later, on a thread of its own, as a driver's would.
struct LateAnswer {
    HANDLE event;
    OVERLAPPED* overlapped;
    void* output;
    uint32_t version;
    DWORD delayMs;
    FakeKsTiming timing;
    HANDLE cancelled;
    const void* storage;  // the heap block the request came in, as the driver received it
};
LateAnswers g_late;

DWORD WINAPI answerLater(void* parameter) {
    LateAnswer* a = static_cast<LateAnswer*>(parameter);
    bool answered = false;
    if (a->timing == PEND_UNTIL_CANCELLED) {
        WaitForSingleObject(a->cancelled, INFINITE);
    } else if (a->timing == PEND_IGNORING_CANCEL) {
        Sleep(a->delayMs);
        ++g_world->lateWrites;
        answered = true;
    } else {
        answered = WaitForSingleObject(a->cancelled, a->delayMs) == WAIT_TIMEOUT;
    }
    // A driver writes into the request's storage whenever it completes: the program must still
    // hold it then, in the heap block it came in (a check of the whole heap does not see a write
    // into a freed block).
    if (!a->storage || liveHeapBlock(a->overlapped, sizeof(OVERLAPPED)) != a->storage ||
        (answered && liveHeapBlock(a->output, 4) != a->storage)) {
        ++g_world->writesIntoFreedMemory;
    } else {
        if (answered) memcpy(a->output, &a->version, 4);
        a->overlapped->InternalHigh = answered ? 4 : 0;
        a->overlapped->Internal = answered ? 0 : ULONG_PTR(0xC0000120);  // STATUS_CANCELLED
    }
    SetEvent(a->event);
    delete a;
    return 0;
}

// --- wave devices -----------------------------------------------------------------------------

template <typename Caps>
MMRESULT fillCaps(const std::vector<FakeWaveDevice>& devices, UINT_PTR id, Caps* caps, UINT size) {
    if (id == UINT_PTR(WAVE_MAPPER) || id == UINT_PTR(UINT(WAVE_MAPPER))) g_world->waveMapperAsked = true;
    if (size != sizeof(Caps)) return MMSYSERR_INVALPARAM;
    if (id >= devices.size()) return MMSYSERR_BADDEVICEID;
    const FakeWaveDevice& device = devices[id];
    if (device.failing) return MMSYSERR_NODRIVER;
    ZeroMemory(caps, sizeof(*caps));
    const size_t limit = device.unterminated ? 32 : 31;
    const size_t units = device.name.size() < limit ? device.name.size() : limit;
    memcpy(caps->szPname, device.name.data(), units * sizeof(wchar_t));
    caps->wChannels = device.channels;
    return MMSYSERR_NOERROR;
}

UINT WINAPI fakeWaveInGetNumDevs() { return UINT(g_world->waveIn.size()); }
UINT WINAPI fakeWaveOutGetNumDevs() { return UINT(g_world->waveOut.size()); }
MMRESULT WINAPI fakeWaveInGetDevCapsW(UINT_PTR id, LPWAVEINCAPSW caps, UINT size) {
    return fillCaps(g_world->waveIn, id, caps, size);
}
MMRESULT WINAPI fakeWaveOutGetDevCapsW(UINT_PTR id, LPWAVEOUTCAPSW caps, UINT size) {
    return fillCaps(g_world->waveOut, id, caps, size);
}

// --- timer, COM, modules ----------------------------------------------------------------------

MMRESULT WINAPI fakeTimeBeginPeriod(UINT) {
    ++g_world->timeBeginCalls;
    return TIMERR_NOERROR;
}
MMRESULT WINAPI fakeTimeEndPeriod(UINT) {
    ++g_world->timeEndCalls;
    return TIMERR_NOERROR;
}
HRESULT WINAPI fakeCoInitialize(LPVOID) {
    ++g_world->coInitializeCalls;
    return g_world->coInitializeResult;
}
void WINAPI fakeCoUninitialize() { ++g_world->coUninitializeCalls; }

HMODULE WINAPI fakeLoadLibraryA(LPCSTR name) {
    if (_stricmp(name, "ksuser.dll") != 0 || !g_world->ksuserPresent) return NULL;
    ++g_world->ksuserLoads;
    return reinterpret_cast<HMODULE>(&g_ksuserModule);
}
BOOL WINAPI fakeFreeLibrary(HMODULE module) {
    if (module == reinterpret_cast<HMODULE>(&g_ksuserModule)) ++g_world->ksuserFrees;
    return TRUE;
}
HMODULE WINAPI fakeGetModuleHandleA(LPCSTR name) {
    return _stricmp(name, "Kernel32.dll") == 0 ? reinterpret_cast<HMODULE>(&g_kernelModule) : NULL;
}
FARPROC WINAPI fakeGetProcAddress(HMODULE module, LPCSTR name) {
    const bool present =
        (module == reinterpret_cast<HMODULE>(&g_ksuserModule) && !strcmp(name, "KsCreatePin") &&
         g_world->ksCreatePinPresent) ||
        (module == reinterpret_cast<HMODULE>(&g_kernelModule) && !strcmp(name, "CreateEventExA") &&
         g_world->createEventExPresent);
    return present ? reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&g_someExport)) : NULL;
}

// --- list memory ------------------------------------------------------------------------------

bool nextAllocationFails() {
    ++g_world->allocations;
    return g_world->failAllocationNumber != 0 && g_world->allocations >= g_world->failAllocationNumber;
}
void* fakeAllocate(size_t bytes) {
    if (nextAllocationFails()) return NULL;
    void* block = HeapAlloc(GetProcessHeap(), 0, bytes);
    if (block) ++g_world->liveBlocks;
    return block;
}
void* fakeReallocate(void* block, size_t bytes) {
    if (nextAllocationFails()) return NULL;
    return HeapReAlloc(GetProcessHeap(), 0, block, bytes);
}
void fakeRelease(void* block) {
    --g_world->liveBlocks;
    HeapFree(GetProcessHeap(), 0, block);
}

// --- driver control devices -------------------------------------------------------------------

HDEVINFO WINAPI fakeGetClassDevsA(const GUID* guid, PCSTR, HWND, DWORD flags) {
    if (!guid || flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return INVALID_HANDLE_VALUE;
    }
    ++g_world->openSets;
    return reinterpret_cast<HDEVINFO>(new FakeSet{*guid});
}

BOOL WINAPI fakeEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID* guid, DWORD index,
                                     PSP_DEVICE_INTERFACE_DATA data) {
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const FakeSet* s = reinterpret_cast<const FakeSet*>(set);
    DWORD seen = 0;
    for (size_t i = 0; i < g_world->interfaces.size(); ++i) {
        if (!IsEqualGUID(g_world->interfaces[i].interfaceGuid, s->guid) || !IsEqualGUID(*guid, s->guid)) continue;
        if (seen++ == index) {
            data->InterfaceClassGuid = s->guid;
            data->Flags = SPINT_ACTIVE;
            data->Reserved = ULONG_PTR(i);
            return TRUE;
        }
    }
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
}

BOOL WINAPI fakeGetDeviceInterfaceDetailW(HDEVINFO, PSP_DEVICE_INTERFACE_DATA data,
                                          PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD size, PDWORD required,
                                          PSP_DEVINFO_DATA) {
    const std::wstring path = FakeWorld::interfacePath(size_t(data->Reserved));
    const DWORD needed = DWORD(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + (path.size() + 1) * 2);
    if (required) *required = needed;
    if (!detail) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(detail->DevicePath, path.c_str(), (path.size() + 1) * 2);
    return TRUE;
}

BOOL WINAPI fakeDestroyDeviceInfoList(HDEVINFO set) {
    --g_world->openSets;
    delete reinterpret_cast<FakeSet*>(set);
    return TRUE;
}

HANDLE WINAPI fakeCreateFileW(LPCWSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD flags, HANDLE) {
    for (size_t i = 0; i < g_world->interfaces.size(); ++i) {
        if (FakeWorld::interfacePath(i) != name) continue;
        // Held like a driver that keeps its create: the thread that opens it does not return.
        if (g_world->interfaces[i].openHolds) holdCall(name, (wcslen(name) + 1) * sizeof(wchar_t));
        if (!g_world->interfaces[i].opens) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        ++g_world->openHandles;
        g_world->openedPaths.push_back(name);
        g_handles.push_back(new FakeHandle{i, (flags & FILE_FLAG_OVERLAPPED) != 0});
        return reinterpret_cast<HANDLE>(g_handles.back());
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

BOOL WINAPI fakeDeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                LPDWORD returned, LPOVERLAPPED overlapped) {
    ++g_world->versionRequests;
    const FakeHandle* handle = reinterpret_cast<FakeHandle*>(device);
    const FakeDriverInterface& driver = g_world->interfaces[handle->interfaceIndex];
    // What the drivers take: their version code, no input, a 4-byte output, and an overlapped
    // request on a handle opened for it.
    if (code != 0x222040 || in || inSize != 0 || !out || outSize != 4 || !overlapped || !handle->overlapped) {
        ++g_world->refusedRequests;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!driver.answers) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    // A driver that waits in its dispatch routine: the thread that asks does not come back until
    // the fakes let it go, and then it is answered.
    if (driver.timing == HOLD_THE_THREAD) holdCall(out, outSize);
    if (driver.timing != ANSWER_AT_ONCE && driver.timing != HOLD_THE_THREAD) {
        LateAnswer* a = new LateAnswer{reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(overlapped->hEvent) & ~ULONG_PTR(1)),
                                       overlapped, out, driver.version, driver.completeAfterMs, driver.timing,
                                       g_late.cancelEvent(device), liveHeapBlock(overlapped, sizeof(OVERLAPPED))};
        overlapped->Internal = ULONG_PTR(0x103);  // STATUS_PENDING
        g_late.run(answerLater, a);
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    memcpy(out, &driver.version, 4);
    if (returned) *returned = 4;
    return TRUE;
}

BOOL WINAPI fakeCloseHandle(HANDLE handle) {
    // Device handles are the fake's own objects; everything else is a real event.
    for (size_t i = 0; i < g_handles.size(); ++i) {
        if (reinterpret_cast<HANDLE>(g_handles[i]) != handle) continue;
        --g_world->openHandles;
        delete g_handles[i];
        g_handles.erase(g_handles.begin() + i);
        return TRUE;
    }
    --g_world->liveEvents;
    return CloseHandle(handle);
}

HANDLE WINAPI fakeCreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manual, BOOL initial, LPCSTR name) {
    HANDLE event = CreateEventA(security, manual, initial, name);
    if (event) ++g_world->liveEvents;
    return event;
}

BOOL WINAPI fakeCancelIo(HANDLE device) {
    ++g_world->cancels;
    if (g_world->requestsAtFirstCancel < 0)
        g_world->requestsAtFirstCancel = g_world->versionRequests;
    g_late.cancel(device);
    return TRUE;
}

}  // namespace

FakeWorld::FakeWorld() {
    g_world = this;
    g_waveApi = WaveApi{fakeWaveInGetNumDevs, fakeWaveInGetDevCapsW, fakeWaveOutGetNumDevs, fakeWaveOutGetDevCapsW};
    g_inventoryPlatform = InventoryPlatform{
        fakeTimeBeginPeriod, fakeTimeEndPeriod, fakeCoInitialize, fakeCoUninitialize,
        fakeLoadLibraryA, fakeFreeLibrary, fakeGetModuleHandleA, fakeGetProcAddress,
    };
    g_listMemory = ListMemory{fakeAllocate, fakeReallocate, fakeRelease};
    g_driverControlApi = DriverControlApi{
        fakeGetClassDevsA, fakeEnumDeviceInterfaces, fakeGetDeviceInterfaceDetailW, fakeDestroyDeviceInfoList,
        fakeCreateFileW,
        {fakeCreateEventA, fakeDeviceIoControl, GetLastError, WaitForSingleObject, fakeCancelIo, GetOverlappedResult,
         fakeCloseHandle, GetTickCount},
    };
}

FakeWorld::~FakeWorld() {
    // The walkers leave the fake devices before Windows is put back.
    ks.endThreads();
    g_late.finish();
    savedWaveApi_.restore();
    savedPlatform_.restore();
    savedListMemory_.restore();
    savedDriverControlApi_.restore();
    g_world = nullptr;
}

std::wstring FakeWorld::interfacePath(size_t i) {
    wchar_t path[64];
    _snwprintf(path, 64, L"\\\\?\\root#fakedriver#%04u#{control}\\\x0416", unsigned(i));
    path[63] = 0;
    return path;
}

FakeDriverInterface& FakeWorld::addDriver(const GUID& interfaceGuid, uint32_t version) {
    FakeDriverInterface driver;
    driver.interfaceGuid = interfaceGuid;
    driver.version = version;
    interfaces.push_back(driver);
    return interfaces.back();
}
