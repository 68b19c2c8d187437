#include "inventory/device_inventory.h"

#include "base/text.h"
#include "inventory/inventory_platform.h"
#include "sources/endpoints/audio_endpoints.h"
#include "sources/ks/ks_interfaces.h"
#include "sources/store/endpoint_store.h"
#include "sources/wave/wave_devices.h"

DeviceInventory g_inventory;

namespace {

// What the records of one direction are completed from: the interface map, and the store's
// direction key, read once, when the first record needs it.
struct Completion {
    const DeviceInventory* inventory;
    Direction direction;
    EndpointStoreReading store;
    bool read;

    Completion(const DeviceInventory* inv, Direction dir) : inventory(inv), direction(dir), read(false) {}

    const EndpointStoreSnapshot& endpointStore() {
        if (!read) {
            store.read(direction);
            read = true;
        }
        return store.get();
    }
};

// A wave device: hardware ID, driver name, icon and endpoint GUID from the endpoint entry
// whose names its own name begins.
void completeWaveDevice(void* context, DeviceRecord* record, Direction) {
    Completion* c = static_cast<Completion*>(context);
    completeFromEndpointStore(c->endpointStore(), record, COMPLETE_HARDWARE_ID | COMPLETE_DRIVER_NAME);
}

// An endpoint: the hardware ID of its adapter's kernel-streaming interface; the icon, and the
// hardware ID when no interface carries it, from its entry in the store.
void completeEndpoint(void* context, DeviceRecord* record, Direction direction) {
    Completion* c = static_cast<Completion*>(context);
    uint32_t flags = COMPLETE_BY_GUID;
    if (const DeviceRecord* ksInterface = findKsInterface(c->inventory->ksInterfaces, record->driverNameW, direction))
        lstrcpynA(record->hardwareId, ksInterface->hardwareId, HARDWARE_ID_SIZE);
    else
        flags |= COMPLETE_HARDWARE_ID;
    completeFromEndpointStore(c->endpointStore(), record, flags);
}

// The store's entries of the watched hardware IDs, from the reading the records of the side were
// completed from (read now if none needed it).
void addWatchedEntriesOfSide(DeviceInventory* inventory, Completion* completion) {
    if (inventory->watched.count <= 0) return;
    const RecordList& devices =
        completion->direction == DIRECTION_RECORDING ? inventory->inputDevices : inventory->outputDevices;
    addWatchedEntries(completion->endpointStore(), completion->direction, inventory->watched, devices,
                      &inventory->evidence.entries);
}

void collectEndpoints(DeviceInventory* inventory, Completion* completion) {
    const RecordCompletion hook = {completeEndpoint, completion};
    readActiveEndpoints(completion->direction == DIRECTION_RECORDING ? &inventory->inputDevices : &inventory->outputDevices,
                        completion->direction, hook);
}

}  // namespace

void openInventory(uint32_t options, const HardwareIdSet& watched, const DriverJobs* more) {
    const InventoryPlatform& api = g_inventoryPlatform;
    ZeroMemory(&g_inventory, sizeof(g_inventory));
    g_inventory.watched = watched;
    if (options & OPT_TIMER_1MS) api.timeBeginPeriod(1);
    g_inventory.options = options;

    g_inventory.ksuserModule = api.loadSystemLibraryA("ksuser.dll");
    if (g_inventory.ksuserModule && api.getProcAddress(g_inventory.ksuserModule, "KsCreatePin"))
        g_inventory.ksAvailable = true;

    g_inventory.comResult = api.coInitialize(NULL);

    HMODULE kernel = api.getModuleHandleA("Kernel32.dll");
    if (kernel && api.getProcAddress(kernel, "CreateEventExA")) g_inventory.endpointsAvailable = true;

    initList(&g_inventory.ksInterfaces);
    initList(&g_inventory.inputDevices);
    initList(&g_inventory.outputDevices);
    initList(&g_inventory.silentFilters);
    g_inventory.opened = true;
    collectDevices(more);
    g_inventory.openingPassUnused = true;
}

void collectDevicesForRun(const DriverJobs* more) {
    if (g_inventory.openingPassUnused) {
        g_inventory.openingPassUnused = false;
        return;
    }
    collectDevices(more);
}

void collectDevices(const DriverJobs* more) {
    DeviceInventory& inv = g_inventory;
    inv.openingPassUnused = false;
    resetList(&inv.inputDevices);
    resetList(&inv.outputDevices);
    resetList(&inv.silentFilters);
    collectKsInterfaces(&inv.ksInterfaces);
    ZeroMemory(&inv.evidence, sizeof(inv.evidence));
    if (inv.watched.count > 0) {
        inv.evidence.gathered = true;
        readAudioServices(inv.endpointsAvailable, &inv.evidence.services);
        collectDeviceNodes(inv.watched, &inv.evidence.nodes);
    }

    uint32_t sources = inv.options;
    if (!inv.endpointsAvailable) sources &= ~uint32_t(OPT_ENDPOINTS);
    if (!inv.ksAvailable) sources &= ~uint32_t(OPT_KS);
    // Every filter is asked before the sides are collected, both directions at once, in one walk
    // with the caller's jobs (those first, as they were sent before the filters were asked), so
    // that filters and drivers that stop answering cost the pass one wait in all.
    KsDeviceCollection ksDevices((sources & OPT_KS) != 0);
    {
        DriverWalk walk(ksDevices.jobCount() + (more ? more->maxJobs : 0),
                        ksDevices.jobBytes() + (more ? more->maxDataBytes : 0));
        if (more) more->add(&walk, more->context);
        ksDevices.addJobs(&walk);
        walk.run();
        ksDevices.takeAnswers(walk);
        if (more) more->take(walk, more->context);
    }
    ksDevices.addSilentFilters(&inv.silentFilters);
    collectSide(&inv, DIRECTION_RECORDING, sources, ksDevices);
    collectSide(&inv, DIRECTION_PLAYBACK, sources, ksDevices);

    sortDevices(&inv.inputDevices);
    sortDevices(&inv.outputDevices);
}

void collectSide(DeviceInventory* inventory, Direction direction, uint32_t sources,
                 const KsDeviceCollection& ksDevices) {
    RecordList* list = direction == DIRECTION_RECORDING ? &inventory->inputDevices : &inventory->outputDevices;
    Completion completion(inventory, direction);
    if (sources & OPT_ENDPOINTS) collectEndpoints(inventory, &completion);
    if (sources & OPT_KS) ksDevices.addDevices(inventory->ksInterfaces, list, direction);
    const RecordCompletion waveCompletion = {completeWaveDevice, &completion};
    if (sources & OPT_MME) collectWaveDevices(list, direction, waveCompletion);
    addWatchedEntriesOfSide(inventory, &completion);
}

void closeInventory() {
    const InventoryPlatform& api = g_inventoryPlatform;
    // Only an open audio side is closed: a second close (WM_DESTROY can come twice) finds the
    // inventory zeroed and must not end the timer period or uninitialise COM again. COM stays
    // initialised from openInventory to here, the life of the audio side.
    if (g_inventory.opened) {
        if (g_inventory.options & OPT_TIMER_1MS) api.timeEndPeriod(1);
        if (g_inventory.ksuserModule) api.freeLibrary(g_inventory.ksuserModule);
        if (g_inventory.comResult == S_OK || g_inventory.comResult == S_FALSE) api.coUninitialize();
    }
    freeList(&g_inventory.ksInterfaces);
    freeList(&g_inventory.inputDevices);
    freeList(&g_inventory.outputDevices);
    freeList(&g_inventory.silentFilters);
    ZeroMemory(&g_inventory, sizeof(g_inventory));
}

bool silentFilterIn(const DeviceRecord& filter, Direction direction) {
    return (filter.ksAliases & ksAliasOf(direction)) != 0;
}

const DeviceRecord* findSilentFilter(const DeviceInventory& inventory, const char* hardwareId, Direction direction) {
    for (uint32_t i = 1; i <= recordCount(inventory.silentFilters); ++i) {
        const DeviceRecord* r = recordAt(inventory.silentFilters, i);
        // A filter without a hardware ID is nobody's.
        if (r->hardwareId[0] && silentFilterIn(*r, direction) && equalIgnoringAsciiCase(r->hardwareId, hardwareId))
            return r;
    }
    return NULL;
}
