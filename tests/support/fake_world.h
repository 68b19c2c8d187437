// A fake device world for tests: wave devices of both directions, drivers answering their
// version request (or not), the modules the inventory looks for, COM and timer bookkeeping and
// list memory that can run out. Creating a FakeWorld puts it in place of Windows behind the
// inventory's and the driver control's call tables; destroying it puts Windows back.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "checks/driver_control.h"
#include "inventory/device_inventory.h"
#include "inventory/inventory_platform.h"
#include "sources/wave/wave_devices.h"
#include "support/fake_ks.h"
#include "support/saved_table.h"

// The options the checker opens its audio side with: every source, no wave mapper, the 1 ms timer.
const uint32_t kCollectionOptions = CHECKER_COLLECTION_OPTIONS;
static_assert(kCollectionOptions == 0x10020D, "the option word of the audio side has changed");

struct FakeWaveDevice {
    std::wstring name;      // szPname, cut to 31 characters as Windows does
    uint16_t channels = 2;
    bool failing = false;   // its capabilities query fails
    bool unterminated = false;  // a faulty driver: the name fills all 32 units
};

// One present device interface of a driver's control class. Several entries with the same
// class GUID are several interfaces of that class, enumerated in this order.
struct FakeDriverInterface {
    GUID interfaceGuid;
    uint32_t version = 0;   // what the driver writes in answer to the version request
    bool opens = true;      // CreateFile succeeds (false: access denied)
    bool openHolds = false; // CreateFile does not return (holdCall)
    bool answers = true;    // the request succeeds and fills the output (false: fails, writes nothing)
    FakeKsTiming timing = ANSWER_AT_ONCE;  // when it answers: at once, late, only when cancelled,
                                           // holding the thread that asks, ...
    DWORD completeAfterMs = 0;
};

class FakeWorld {
public:
    FakeWorld();
    ~FakeWorld();
    FakeWorld(const FakeWorld&) = delete;
    FakeWorld& operator=(const FakeWorld&) = delete;
    // Kernel-streaming interfaces and their filters (none unless a test adds them).
    FakeKs ks;

    // What the world holds; change it at any time.
    std::vector<FakeWaveDevice> waveIn;
    std::vector<FakeWaveDevice> waveOut;
    std::vector<FakeDriverInterface> interfaces;
    bool ksuserPresent = true;
    bool ksCreatePinPresent = true;
    bool createEventExPresent = true;  // Windows Vista and later
    HRESULT coInitializeResult = S_OK;
    // Allocations of list storage fail from this one on (counting from 1); 0: never.
    int failAllocationNumber = 0;

    // What the code under test did.
    int timeBeginCalls = 0, timeEndCalls = 0;
    int coInitializeCalls = 0, coUninitializeCalls = 0;
    int ksuserLoads = 0, ksuserFrees = 0;
    bool waveMapperAsked = false;
    int allocations = 0;        // allocate and reallocate calls so far
    int liveBlocks = 0;         // list blocks not yet released
    int openSets = 0;           // device information sets not destroyed
    int openHandles = 0;        // control devices not closed
    int versionRequests = 0;
    int refusedRequests = 0;    // version requests not made as the driver takes them
    int liveEvents = 0;         // events of the requests not yet closed
    int lateWrites = 0;         // answers given by drivers that ignored the cancel
    int writesIntoFreedMemory = 0;  // late answers whose request storage was no longer allocated
    int cancels = 0;            // CancelIo calls on control devices
    int requestsAtFirstCancel = -1;  // version requests made before the first cancel
    std::vector<std::wstring> openedPaths;

    // Adds an interface answering with a version, and returns it for further changes.
    FakeDriverInterface& addDriver(const GUID& interfaceGuid, uint32_t version);
    // The device path SetupAPI gives for interfaces[i]: it holds a letter outside the ANSI code
    // page, so that only its wide form opens it.
    static std::wstring interfacePath(size_t i);

private:
    // Windows as it was.
    SavedTable<WaveApi> savedWaveApi_{g_waveApi};
    SavedTable<InventoryPlatform> savedPlatform_{g_inventoryPlatform};
    SavedTable<ListMemory> savedListMemory_{g_listMemory};
    SavedTable<DriverControlApi> savedDriverControlApi_{g_driverControlApi};
};
