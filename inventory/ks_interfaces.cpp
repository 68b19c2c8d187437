#include "inventory/ks_interfaces.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "endpoints/registry_store.h"

const GUID KSCATEGORY_AUDIO_CLASS = {0x6994AD04, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const GUID KSCATEGORY_CAPTURE_CLASS = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const GUID KSCATEGORY_RENDER_CLASS = {0x65E8773E, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

namespace {

const KsSetupApi kReal = {
    SetupDiGetClassDevsA,        SetupDiEnumDeviceInterfaces,      SetupDiGetDeviceInterfaceDetailW,
    SetupDiGetDeviceInterfaceAlias, SetupDiOpenDeviceInterfaceRegKey, RegQueryValueExW,
    RegCloseKey,                 SetupDiGetDeviceRegistryPropertyW, SetupDiGetDeviceRegistryPropertyA,
    SetupDiDestroyDeviceInfoList,
};

const DWORD kDetailBytes = 526;     // the fixed part and a path of 260 units with its terminator
const DWORD kDetailFixedSize = 6;   // SP_DEVICE_INTERFACE_DETAIL_DATA_W in a 32-bit process
const DWORD kNameUnits = 1024;
const DWORD kHardwareIdBytes = 1024;
const size_t kDetailPathUnits = (kDetailBytes - 4) / sizeof(wchar_t);

// The detail buffer, with room for a terminator of our own behind the path.
class DetailBuffer {
public:
    DetailBuffer() : block_(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kDetailBytes + sizeof(wchar_t))) {}
    ~DetailBuffer() {
        if (block_) HeapFree(GetProcessHeap(), 0, block_);
    }
    bool valid() const { return block_ != NULL; }
    PSP_DEVICE_INTERFACE_DETAIL_DATA_W get() const { return static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(block_); }
    const wchar_t* path() const { return get()->DevicePath; }

private:
    DetailBuffer(const DetailBuffer&);
    DetailBuffer& operator=(const DetailBuffer&);
    void* block_;
};

class InfoSet {
public:
    InfoSet() : set_(g_ksSetupApi.getClassDevsA(&KSCATEGORY_AUDIO_CLASS, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}
    ~InfoSet() {
        if (valid()) g_ksSetupApi.destroyDeviceInfoList(set_);
    }
    bool valid() const { return set_ != INVALID_HANDLE_VALUE; }
    HDEVINFO get() const { return set_; }

private:
    InfoSet(const InfoSet&);
    InfoSet& operator=(const InfoSet&);
    HDEVINFO set_;
};

// The member has a detail and a live alias in the class.
bool qualifies(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data, DetailBuffer& detail, const GUID& aliasClass,
               SP_DEVINFO_DATA* device) {
    ZeroMemory(detail.get(), kDetailBytes + sizeof(wchar_t));
    detail.get()->cbSize = kDetailFixedSize;
    ZeroMemory(device, sizeof(*device));
    device->cbSize = sizeof(*device);
    if (!g_ksSetupApi.getDeviceInterfaceDetailW(set, data, detail.get(), kDetailBytes, NULL, device)) return false;
    const_cast<wchar_t*>(detail.path())[kDetailPathUnits] = 0;
    SP_DEVICE_INTERFACE_DATA alias;
    ZeroMemory(&alias, sizeof(alias));
    alias.cbSize = sizeof(alias);
    if (!g_ksSetupApi.getDeviceInterfaceAlias(set, data, &aliasClass, &alias)) return false;
    return alias.Flags != 0 && !(alias.Flags & SPINT_REMOVED);
}

// The interface key's "FriendlyName" (of whatever type); false when there is none.
bool interfaceFriendlyName(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data, wchar_t* name) {
    HKEY key = g_ksSetupApi.openDeviceInterfaceRegKey(set, data, 0, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE || !key) return false;
    DWORD size = kNameUnits * sizeof(wchar_t);
    const bool read = g_ksSetupApi.regQueryValueExW(key, L"FriendlyName", NULL, NULL,
                                                    reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS;
    g_ksSetupApi.regCloseKey(key);
    if (read) name[size / sizeof(wchar_t) < kNameUnits ? size / sizeof(wchar_t) : kNameUnits] = 0;
    return read;
}

// The device's friendly name, else its class key's "DriverDesc". When neither can be read but
// the driver value can, the name is that value.
void deviceName(HDEVINFO set, SP_DEVINFO_DATA* device, wchar_t* name) {
    DWORD required = 0;
    if (g_ksSetupApi.getDeviceRegistryPropertyW(set, device, SPDRP_FRIENDLYNAME, NULL, reinterpret_cast<BYTE*>(name),
                                                1024, &required)) {
        name[kNameUnits] = 0;
        return;
    }
    ZeroMemory(name, (kNameUnits + 1) * sizeof(wchar_t));
    if (!g_ksSetupApi.getDeviceRegistryPropertyW(set, device, SPDRP_DRIVER, NULL, reinterpret_cast<BYTE*>(name), 1024,
                                                 &required))
        return;
    name[kNameUnits] = 0;
    wchar_t classKey[kNameUnits + 64];
    _snwprintf(classKey, kNameUnits + 64, L"SYSTEM\\CurrentControlSet\\Control\\Class\\%ls", name);
    classKey[kNameUnits + 63] = 0;
    readRegistryString(classKey, L"DriverDesc", name);
}

void setNames(const wchar_t* wide, wchar_t* wideField, char* narrowField, int size) {
    lstrcpynW(wideField, wide, size);
    toNarrow(wideField, narrowField, size);
}

}  // namespace

KsSetupApi g_ksSetupApi = kReal;

const KsSetupApi& realKsSetupApi() { return kReal; }

int32_t collectKsInterfaces(DeviceInventory* inventory) {
    resetList(&inventory->ksInterfaces);
    DetailBuffer detail;
    if (!detail.valid()) return -1;
    const struct {
        const GUID* aliasClass;
        uint32_t kind;
    } passes[] = {{&KSCATEGORY_CAPTURE_CLASS, KS_CAPTURE_FLAG}, {&KSCATEGORY_RENDER_CLASS, 0}};
    for (const auto& pass : passes) {
        InfoSet set;
        if (!set.valid()) continue;
        for (DWORD index = 0;; ++index) {
            DeviceRecord record;
            ZeroMemory(&record, sizeof(record));
            record.kind = pass.kind;
            SP_DEVICE_INTERFACE_DATA data;
            ZeroMemory(&data, sizeof(data));
            data.cbSize = sizeof(data);
            if (!g_ksSetupApi.enumDeviceInterfaces(set.get(), NULL, &KSCATEGORY_AUDIO_CLASS, index, &data)) break;
            SP_DEVINFO_DATA device;
            if (qualifies(set.get(), &data, detail, *pass.aliasClass, &device)) {
                wchar_t name[kNameUnits + 1] = L"";
                if (interfaceFriendlyName(set.get(), &data, name))
                    setNames(name, record.driverNameW, record.driverName, DRIVER_NAME_SIZE);
                ZeroMemory(name, sizeof(name));
                deviceName(set.get(), &device, name);
                setNames(name, record.pinNameW, record.pinName, PIN_NAME_SIZE);
                char hardwareIds[kHardwareIdBytes + 1] = "";
                if (g_ksSetupApi.getDeviceRegistryPropertyA(set.get(), &device, SPDRP_HARDWAREID, NULL,
                                                            reinterpret_cast<BYTE*>(hardwareIds), kHardwareIdBytes,
                                                            NULL))
                    lstrcpynA(record.hardwareId, hardwareIds, HARDWARE_ID_SIZE);  // the first string only
            }
            if (record.hardwareId[0]) appendRecord(&inventory->ksInterfaces, &record);
        }
    }
    return 0;
}

int32_t collectKsDevices(DeviceInventory* inventory, int direction) {
    const GUID& aliasClass = direction == 1 ? KSCATEGORY_CAPTURE_CLASS : KSCATEGORY_RENDER_CLASS;
    InfoSet set;
    if (!set.valid()) return 0;
    DetailBuffer detail;
    if (!detail.valid()) return 0;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data;
        ZeroMemory(&data, sizeof(data));
        data.cbSize = sizeof(data);
        if (!g_ksSetupApi.enumDeviceInterfaces(set.get(), NULL, &KSCATEGORY_AUDIO_CLASS, index, &data)) break;
        SP_DEVINFO_DATA device;
        if (!qualifies(set.get(), &data, detail, aliasClass, &device)) continue;
        wchar_t name[kNameUnits + 1] = L"";
        if (!interfaceFriendlyName(set.get(), &data, name)) name[0] = 0;
        if (!name[0]) deviceName(set.get(), &device, name);
        if (KsFilter* filter = openKsFilter(detail.path(), name)) {
            if (collectStreamingPins(filter, direction) == 0) addKsDeviceRecord(inventory, filter, direction);
            closeKsFilter(filter);
        }
    }
    return 0;
}

void addKsDeviceRecord(DeviceInventory* inventory, const KsFilter* filter, int direction) {
    if (filter->pinCount < 1) return;
    RecordList* list = direction == 1 ? &inventory->inputDevices : &inventory->outputDevices;
    DeviceRecord record;
    ZeroMemory(&record, sizeof(record));
    record.kind = KIND_KS;
    lstrcpynW(record.pinNameW, filter->friendlyName, PIN_NAME_SIZE);
    setNames(filter->devicePath, record.driverNameW, record.driverName, DRIVER_NAME_SIZE);
    if (const DeviceRecord* ksInterface = findKsInterface(*inventory, record.pinNameW, direction))
        lstrcpynA(record.hardwareId, ksInterface->hardwareId, HARDWARE_ID_SIZE);

    // A name already listed in this direction gets " [A]", then " [B]", ... up to " [Z]".
    wchar_t candidate[PIN_NAME_SIZE];
    lstrcpynW(candidate, record.pinNameW, PIN_NAME_SIZE);
    for (wchar_t letter = L'A'; isKsNameTaken(*inventory, candidate, direction); ++letter) {
        if (letter > L'Z') return;
        _snwprintf(candidate, PIN_NAME_SIZE, L"%ls [%lc]", record.pinNameW, letter);
        candidate[PIN_NAME_SIZE - 1] = 0;
    }
    setNames(candidate, record.pinNameW, record.pinName, PIN_NAME_SIZE);
    appendRecord(list, &record);
}

const DeviceRecord* findKsInterface(const DeviceInventory& inventory, const wchar_t* name, int direction) {
    const RecordList& list = inventory.ksInterfaces;
    const bool capture = direction != 0;
    for (uint32_t i = 1; i <= recordCount(list); ++i) {
        const DeviceRecord* r = recordAt(list, i);
        if (((r->kind & KS_CAPTURE_FLAG) != 0) != capture) continue;
        if (wcscmp(r->driverNameW, name) == 0 || wcscmp(r->pinNameW, name) == 0) return r;
    }
    return NULL;
}

bool isKsNameTaken(const DeviceInventory& inventory, const wchar_t* name, int direction) {
    const RecordList& list = direction == 1 ? inventory.inputDevices : inventory.outputDevices;
    for (uint32_t i = 1; i <= recordCount(list); ++i) {
        const DeviceRecord* r = recordAt(list, i);
        if ((r->kind & KIND_MASK) == KIND_KS && wcscmp(r->pinNameW, name) == 0) return true;
    }
    return false;
}
