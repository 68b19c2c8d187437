#include "sources/ks/ks_interfaces.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "base/owners.h"
#include "base/registry.h"
#include "base/text.h"

namespace {

const GUID KSCATEGORY_AUDIO_CLASS = {0x6994AD04, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const GUID KSCATEGORY_CAPTURE_CLASS = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const GUID KSCATEGORY_RENDER_CLASS = {0x65E8773E, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

const KsSetupApi kReal = {
    SetupDiGetClassDevsA,        SetupDiEnumDeviceInterfaces,      SetupDiGetDeviceInterfaceDetailW,
    SetupDiGetDeviceInterfaceAlias, SetupDiOpenDeviceInterfaceRegKey, RegQueryValueExW,
    RegCloseKey,                 SetupDiGetDeviceRegistryPropertyW, SetupDiDestroyDeviceInfoList,
};

const DWORD kDetailBytes = 526;     // the fixed part and a path of 260 units with its terminator
const DWORD kDetailFixedSize = 6;   // SP_DEVICE_INTERFACE_DETAIL_DATA_W in a 32-bit process
const DWORD kNameUnits = 1024;
const DWORD kHardwareIdUnits = 1024;
const size_t kDetailPathUnits = (kDetailBytes - 4) / sizeof(wchar_t);

// The detail buffer, with room for a terminator of our own behind the path.
const size_t kDetailBlockBytes = kDetailBytes + sizeof(wchar_t);

PSP_DEVICE_INTERFACE_DETAIL_DATA_W detailOf(HeapBlock& block) { return block.as<SP_DEVICE_INTERFACE_DETAIL_DATA_W>(); }

HDEVINFO audioInterfaces() {
    return g_ksSetupApi.getClassDevsA(&KSCATEGORY_AUDIO_CLASS, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
}

// The member's detail (its path, terminated) and its device.
bool readDetail(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data, HeapBlock& detail, SP_DEVINFO_DATA* device) {
    ZeroMemory(detail.get(), kDetailBlockBytes);
    detailOf(detail)->cbSize = kDetailFixedSize;
    ZeroMemory(device, sizeof(*device));
    device->cbSize = sizeof(*device);
    if (!g_ksSetupApi.getDeviceInterfaceDetailW(set, data, detailOf(detail), kDetailBytes, NULL, device)) return false;
    detailOf(detail)->DevicePath[kDetailPathUnits] = 0;
    return true;
}

// The member has a live alias in the class.
bool hasLiveAlias(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data, const GUID& aliasClass) {
    SP_DEVICE_INTERFACE_DATA alias;
    ZeroMemory(&alias, sizeof(alias));
    alias.cbSize = sizeof(alias);
    if (!g_ksSetupApi.getDeviceInterfaceAlias(set, data, &aliasClass, &alias)) return false;
    return alias.Flags != 0 && !(alias.Flags & SPINT_REMOVED);
}

// The member has a detail and a live alias in the class.
bool qualifies(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data, HeapBlock& detail, const GUID& aliasClass,
               SP_DEVINFO_DATA* device) {
    return readDetail(set, data, detail, device) && hasLiveAlias(set, data, aliasClass);
}

// The interface key's "FriendlyName" (of whatever type); false when there is none.
bool interfaceFriendlyName(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data, wchar_t* name) {
    RegistryKey key(g_ksSetupApi.openDeviceInterfaceRegKey(set, data, 0, KEY_QUERY_VALUE), g_ksSetupApi.regCloseKey);
    if (!key.valid()) return false;
    DWORD size = kNameUnits * sizeof(wchar_t);
    const bool read = g_ksSetupApi.regQueryValueExW(key.get(), L"FriendlyName", NULL, NULL,
                                                    reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS;
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

// The first of the device's hardware IDs, read wide and narrowed here, so that no conversion
// maps a character of another maker's ID to a look-alike of ours; empty when it has none.
void readHardwareId(HDEVINFO set, SP_DEVINFO_DATA* device, char* hardwareId) {
    wchar_t hardwareIds[kHardwareIdUnits + 1] = L"";
    hardwareId[0] = 0;
    if (g_ksSetupApi.getDeviceRegistryPropertyW(set, device, SPDRP_HARDWAREID, NULL,
                                                reinterpret_cast<BYTE*>(hardwareIds),
                                                kHardwareIdUnits * sizeof(wchar_t), NULL))
        toNarrow(hardwareIds, hardwareId, HARDWARE_ID_SIZE);  // the first string only
}

// A KS record for a filter with streaming pins of the direction, named uniquely in the list.
void addKsDeviceRecord(const RecordList& ksInterfaces, RecordList* list, const wchar_t* name, const wchar_t* path,
                       Direction direction) {
    DeviceRecord record;
    ZeroMemory(&record, sizeof(record));
    record.kind = KIND_KS;
    copyText(record.pinNameW, name, PIN_NAME_SIZE);
    copyTextAndNarrow(path, record.driverNameW, record.driverName, DRIVER_NAME_SIZE);
    if (const DeviceRecord* ksInterface = findKsInterface(ksInterfaces, record.pinNameW, direction))
        lstrcpynA(record.hardwareId, ksInterface->hardwareId, HARDWARE_ID_SIZE);

    // A name already listed in this direction gets " [A]", then " [B]", ... up to " [Z]".
    wchar_t candidate[PIN_NAME_SIZE];
    copyText(candidate, record.pinNameW, PIN_NAME_SIZE);
    for (wchar_t letter = L'A'; isKsNameTaken(*list, candidate); ++letter) {
        if (letter > L'Z') return;
        wchar_t suffixed[PIN_NAME_SIZE + 8];
        _snwprintf(suffixed, PIN_NAME_SIZE + 8, L"%ls [%lc]", record.pinNameW, letter);
        suffixed[PIN_NAME_SIZE + 7] = 0;
        copyText(candidate, suffixed, PIN_NAME_SIZE);
    }
    copyTextAndNarrow(candidate, record.pinNameW, record.pinName, PIN_NAME_SIZE);
    appendRecord(list, &record);
}

}  // namespace

KsSetupApi g_ksSetupApi = kReal;

int32_t collectKsInterfaces(RecordList* ksInterfaces) {
    resetList(ksInterfaces);
    HeapBlock detail(kDetailBlockBytes);
    if (!detail.get()) return -1;
    const struct {
        const GUID* aliasClass;
        KsAliases alias;
    } passes[] = {{&KSCATEGORY_CAPTURE_CLASS, KS_ALIAS_CAPTURE}, {&KSCATEGORY_RENDER_CLASS, KS_ALIAS_RENDER}};
    for (const auto& pass : passes) {
        DeviceInfoSet set(audioInterfaces(), g_ksSetupApi.destroyDeviceInfoList);
        if (!set.valid()) continue;
        for (DWORD index = 0;; ++index) {
            DeviceRecord record;
            ZeroMemory(&record, sizeof(record));
            record.kind = KIND_KS;
            record.ksAliases = pass.alias;
            SP_DEVICE_INTERFACE_DATA data;
            ZeroMemory(&data, sizeof(data));
            data.cbSize = sizeof(data);
            if (!g_ksSetupApi.enumDeviceInterfaces(set.get(), NULL, &KSCATEGORY_AUDIO_CLASS, index, &data)) break;
            SP_DEVINFO_DATA device;
            if (qualifies(set.get(), &data, detail, *pass.aliasClass, &device)) {
                wchar_t name[kNameUnits + 1] = L"";
                if (interfaceFriendlyName(set.get(), &data, name))
                    copyTextAndNarrow(name, record.driverNameW, record.driverName, DRIVER_NAME_SIZE);
                ZeroMemory(name, sizeof(name));
                deviceName(set.get(), &device, name);
                copyTextAndNarrow(name, record.pinNameW, record.pinName, PIN_NAME_SIZE);
                readHardwareId(set.get(), &device, record.hardwareId);
            }
            if (record.hardwareId[0]) appendRecord(ksInterfaces, &record);
        }
    }
    return 0;
}

struct KsDeviceCollection::Member {
    SP_DEVINFO_DATA device;
    char hardwareId[HARDWARE_ID_SIZE];  // read for a filter that did not answer
};

namespace {

uint32_t memberCount(HDEVINFO set) {
    if (set == INVALID_HANDLE_VALUE || !set) return 0;
    uint32_t count = 0;
    for (;; ++count) {
        SP_DEVICE_INTERFACE_DATA data;
        ZeroMemory(&data, sizeof(data));
        data.cbSize = sizeof(data);
        if (!g_ksSetupApi.enumDeviceInterfaces(set, NULL, &KSCATEGORY_AUDIO_CLASS, count, &data)) return count;
    }
}

}  // namespace

KsDeviceCollection::KsDeviceCollection(bool ask)
    : set_(ask ? audioInterfaces() : INVALID_HANDLE_VALUE, g_ksSetupApi.destroyDeviceInfoList),
      capacity_(memberCount(set_.get())),
      jobs_(capacity_ * sizeof(KsFilterJob)),
      members_(capacity_ * sizeof(Member)),
      count_(0),
      firstJob_(0),
      added_(0) {
    if (capacity_ && jobs_.get() && members_.get()) list();
}

void KsDeviceCollection::list() {
    HeapBlock detail(kDetailBlockBytes);
    if (!detail.get()) return;
    KsFilterJob* jobs = jobs_.as<KsFilterJob>();
    Member* members = members_.as<Member>();
    for (DWORD index = 0; index < capacity_; ++index) {
        SP_DEVICE_INTERFACE_DATA data;
        ZeroMemory(&data, sizeof(data));
        data.cbSize = sizeof(data);
        if (!g_ksSetupApi.enumDeviceInterfaces(set_.get(), NULL, &KSCATEGORY_AUDIO_CLASS, index, &data)) break;
        Member& member = members[count_];
        if (!readDetail(set_.get(), &data, detail, &member.device)) continue;
        KsFilterJob& job = jobs[count_];
        job.wanted[DIRECTION_RECORDING] = hasLiveAlias(set_.get(), &data, KSCATEGORY_CAPTURE_CLASS);
        job.wanted[DIRECTION_PLAYBACK] = hasLiveAlias(set_.get(), &data, KSCATEGORY_RENDER_CLASS);
        if (!job.wanted[DIRECTION_RECORDING] && !job.wanted[DIRECTION_PLAYBACK]) continue;
        wchar_t name[kNameUnits + 1] = L"";
        if (!interfaceFriendlyName(set_.get(), &data, name)) name[0] = 0;
        if (!name[0]) deviceName(set_.get(), &member.device, name);
        copyText(job.path, detailOf(detail)->DevicePath, sizeof(job.path) / sizeof(job.path[0]));
        copyText(job.name, name, sizeof(job.name) / sizeof(job.name[0]));
        ++count_;
    }
}

size_t KsDeviceCollection::jobBytes() const { return count_ * ((sizeof(KsFilterJob) + 7u) & ~size_t(7)); }

void KsDeviceCollection::addJobs(DriverWalk* walk) {
    const KsFilterJob* jobs = jobs_.as<KsFilterJob>();
    firstJob_ = walk->jobCount();
    for (added_ = 0; added_ < count_; ++added_) {
        void* data = walk->addJob(askKsFilter, sizeof(KsFilterJob));
        if (!data) break;
        *static_cast<KsFilterJob*>(data) = jobs[added_];
    }
}

void KsDeviceCollection::takeAnswers(const DriverWalk& walk) {
    KsFilterJob* jobs = jobs_.as<KsFilterJob>();
    Member* members = members_.as<Member>();
    for (uint32_t i = 0; i < count_; ++i) {
        KsFilterJob& job = jobs[i];
        const uint32_t number = firstJob_ + i;
        const KsFilterJob* answer = i < added_ ? static_cast<const KsFilterJob*>(walk.data(number)) : NULL;
        const bool finished = answer && walk.finished(number);
        // A job not finished was held inside its driver past the deadline, or never asked for
        // want of a thread or of memory: the pass did not get its answer in time. What it found
        // before its last step still counts.
        const uint32_t steps = finished ? 2 : answer ? walk.steps(number) : 0;
        job.listed[DIRECTION_RECORDING] = steps >= 1 && answer->listed[DIRECTION_RECORDING];
        job.listed[DIRECTION_PLAYBACK] = steps >= 2 && answer->listed[DIRECTION_PLAYBACK];
        job.silent = !finished || answer->silent;
        if (job.silent) readHardwareId(set_.get(), &members[i].device, members[i].hardwareId);
    }
}

void KsDeviceCollection::addDevices(const RecordList& ksInterfaces, RecordList* list, Direction direction) const {
    const KsFilterJob* jobs = jobs_.as<KsFilterJob>();
    for (uint32_t i = 0; i < count_; ++i)
        if (jobs[i].listed[direction]) addKsDeviceRecord(ksInterfaces, list, jobs[i].name, jobs[i].path, direction);
}

void KsDeviceCollection::addSilentFilters(RecordList* silentFilters) const {
    const KsFilterJob* jobs = jobs_.as<KsFilterJob>();
    const Member* members = members_.as<Member>();
    for (uint32_t i = 0; i < count_; ++i) {
        if (!jobs[i].silent) continue;
        DeviceRecord record;
        ZeroMemory(&record, sizeof(record));
        record.kind = KIND_KS;
        record.ksAliases = (jobs[i].wanted[DIRECTION_RECORDING] ? KS_ALIAS_CAPTURE : KS_ALIAS_NONE) |
                           (jobs[i].wanted[DIRECTION_PLAYBACK] ? KS_ALIAS_RENDER : KS_ALIAS_NONE);
        copyTextAndNarrow(jobs[i].name, record.pinNameW, record.pinName, PIN_NAME_SIZE);
        copyTextAndNarrow(jobs[i].path, record.driverNameW, record.driverName, DRIVER_NAME_SIZE);
        lstrcpynA(record.hardwareId, members[i].hardwareId, HARDWARE_ID_SIZE);
        appendRecord(silentFilters, &record);
    }
}

const DeviceRecord* findKsInterface(const RecordList& list, const wchar_t* name, Direction direction) {
    // An empty name names nothing: it must not take the ID of an interface that has no name.
    if (!name || !name[0]) return NULL;
    for (uint32_t i = 1; i <= recordCount(list); ++i) {
        const DeviceRecord* r = recordAt(list, i);
        if (!(r->ksAliases & ksAliasOf(direction))) continue;
        if (wcscmp(r->driverNameW, name) == 0 || wcscmp(r->pinNameW, name) == 0) return r;
    }
    return NULL;
}

bool isKsNameTaken(const RecordList& list, const wchar_t* name) {
    for (uint32_t i = 1; i <= recordCount(list); ++i) {
        const DeviceRecord* r = recordAt(list, i);
        if (r->kind == KIND_KS && wcscmp(r->pinNameW, name) == 0) return true;
    }
    return false;
}
