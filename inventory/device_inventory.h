// The one in-memory picture of the audio devices Windows reports: the interface map and the
// two device lists, rebuilt by every collection pass from all the sources.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "base/device_record.h"
#include "sources/devnodes/device_nodes.h"
#include "sources/services/audio_services.h"
#include "sources/store/endpoint_store.h"
#include "base/driver_walk.h"

class KsDeviceCollection;

enum : uint32_t {
    OPT_MME = 0x1,
    OPT_ENDPOINTS = 0x4,
    OPT_KS = 0x8,
    // The wave source lists only the numbered wave devices, never the wave mapper: it always
    // does, so the bit changes nothing, but the checker's word carries it.
    OPT_NO_WAVE_MAPPER = 0x200,
    OPT_TIMER_1MS = 0x100000,
};
// The option word the checker opens its audio side with: every source and the 1 ms timer.
const uint32_t CHECKER_COLLECTION_OPTIONS = OPT_MME | OPT_ENDPOINTS | OPT_KS | OPT_NO_WAVE_MAPPER | OPT_TIMER_1MS;


// What Windows keeps besides the device lists, for the watched hardware IDs, read with each
// pass: the state of the audio services, the device nodes and the store's endpoint entries.
struct PassEvidence {
    bool gathered;  // false: not read (nothing watched, or an inventory not made by a pass)
    AudioServices services;
    DeviceNodeList nodes;
    WatchedEntryList entries;
};

struct DeviceInventory {
    uint32_t options;
    HMODULE ksuserModule;
    bool ksAvailable;
    bool endpointsAvailable;
    HRESULT comResult;
    RecordList ksInterfaces;
    RecordList inputDevices;   // recording side
    RecordList outputDevices;  // playback side
    bool opened;               // between openInventory and closeInventory
    bool openingPassUnused;    // the lists still hold the opening's pass, which nobody has read
    // The kernel-streaming filters that stopped answering in the pass (a request missed its
    // deadline), in the order SetupAPI lists them; they are in neither device list. One record
    // per filter: kind KIND_KS; driverNameW / driverName its interface path and pinNameW /
    // pinName its name, cut as in a KS record; hardwareId the first hardware ID of its device,
    // empty when it has none; ksAliases the live aliases of its interface (see silentFilterIn).
    RecordList silentFilters;
    HardwareIdSet watched;  // the hardware IDs the evidence is gathered for
    PassEvidence evidence;
};

extern DeviceInventory g_inventory;

// Opens the audio side and runs the first pass. Every pass gathers the evidence of the watched
// hardware IDs (none: no evidence), and makes every call into a driver a job of one walk
// (base/driver_walk.h), made on a worker thread and waited for under the walk's deadline: the
// filters it asks and `more`, the jobs of a caller that asks its own devices in the same walk
// (a run's version requests), so that drivers that do not answer cost the pass one wait in all.
void openInventory(uint32_t options, const HardwareIdSet& watched, const DriverJobs* more);
void collectDevices(const DriverJobs* more);
void closeInventory();
// The lists for a run: for the program's first, the pass that opening the audio side ran, when
// nothing has read it yet (it was made moments before, with nothing in between that could
// change or see it, and asked the same `more`); otherwise a new pass.
void collectDevicesForRun(const DriverJobs* more);

// One side of a pass, appended to the inventory's list of that side: Core Audio endpoints, then
// kernel-streaming filters, then wave devices, as far as `sources` (OPT_ flags) names them. Each
// record is completed from the interface map and from the store's key of that side, which is
// read at most once however many devices are completed from it.
// The kernel-streaming records come from the pass's collection of filters.
void collectSide(DeviceInventory* inventory, Direction direction, uint32_t sources,
                 const KsDeviceCollection& ksDevices);

// The filter of silentFilters with that hardware ID (ASCII case ignored) whose interface has a
// live alias of the direction; null when there is none.
const DeviceRecord* findSilentFilter(const DeviceInventory& inventory, const char* hardwareId, Direction direction);
// The interface of a record of silentFilters has a live alias of the direction.
bool silentFilterIn(const DeviceRecord& filter, Direction direction);

