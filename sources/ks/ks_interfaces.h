// The kernel-streaming audio interfaces SetupAPI lists: the interface map (names to hardware
// IDs) and the KS devices of each direction.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "base/device_record.h"
#include "base/owners.h"
#include "sources/ks/ks_filter_walk.h"
#include "sources/ks/ks_property.h"

// The SetupAPI and interface key calls of the walk: the real ones; tests list fake interfaces.
struct KsSetupApi {
    HDEVINFO(WINAPI* getClassDevsA)(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags);
    BOOL(WINAPI* enumDeviceInterfaces)(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* interfaceGuid, DWORD index,
                                       PSP_DEVICE_INTERFACE_DATA data);
    BOOL(WINAPI* getDeviceInterfaceDetailW)(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                            PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD detailSize,
                                            PDWORD requiredSize, PSP_DEVINFO_DATA device);
    BOOL(WINAPI* getDeviceInterfaceAlias)(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data, const GUID* aliasClass,
                                          PSP_DEVICE_INTERFACE_DATA alias);
    HKEY(WINAPI* openDeviceInterfaceRegKey)(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data, DWORD reserved,
                                            REGSAM access);
    LONG(WINAPI* regQueryValueExW)(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                   LPDWORD size);
    LONG(WINAPI* regCloseKey)(HKEY key);
    BOOL(WINAPI* getDeviceRegistryPropertyW)(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, PDWORD type,
                                             PBYTE buffer, DWORD size, PDWORD requiredSize);
    BOOL(WINAPI* destroyDeviceInfoList)(HDEVINFO set);
};
extern KsSetupApi g_ksSetupApi;

// Rebuilds the interface map: capture aliases first, then render aliases, each record of kind
// KIND_KS with the one alias it stands for. 0, or -1 without memory.
int32_t collectKsInterfaces(RecordList* ksInterfaces);

// The kernel-streaming filters of one pass, both directions at once: every interface with a
// live capture or render alias, its filter asked for its streaming pins as a job of the pass's
// walk, all filters together. A filter that went silent (a call missed its deadline) is not
// listed in either direction; it is kept apart with its hardware ID.
class KsDeviceCollection {
public:
    // Lists the interfaces whose filters are to be asked (none when `ask` is false); SetupAPI
    // only, no call into a driver.
    explicit KsDeviceCollection(bool ask);
    KsDeviceCollection(const KsDeviceCollection&) = delete;
    KsDeviceCollection& operator=(const KsDeviceCollection&) = delete;

    // The jobs for a walk: their number and data, adding them, and taking what they found once
    // the walk is over (a filter whose job did not finish is silent).
    uint32_t jobCount() const { return count_; }
    size_t jobBytes() const;
    void addJobs(DriverWalk* walk);
    void takeAnswers(const DriverWalk& walk);

    // Appends the KS records of a direction to that direction's list, in the order SetupAPI
    // lists the interfaces, their hardware IDs from the interface map.
    void addDevices(const RecordList& ksInterfaces, RecordList* list, Direction direction) const;
    // Appends one record per filter that did not answer, in the same order: kind KIND_KS, with
    // ksAliases the live aliases its interface has; pinNameW its
    // name (without the letter a repeated name gets in a list) and driverNameW its interface
    // path, cut as in a KS record; hardwareId the first hardware ID of its device, read from the
    // device itself (empty when it has none).
    void addSilentFilters(RecordList* silentFilters) const;

private:
    struct Member;
    void list();

    DeviceInfoSet set_;
    uint32_t capacity_;  // members the set lists
    HeapBlock jobs_;
    HeapBlock members_;
    uint32_t count_;     // members with a live alias, in jobs_ and members_
    uint32_t firstJob_;  // the walk's number of the first one's job
    uint32_t added_;     // jobs the walk took
};

// The first interface map record of the direction (a capture alias for the recording side, a
// render alias for the playback side) whose driverNameW or pinNameW equals the name exactly;
// null when none, and always null for an empty name.
const DeviceRecord* findKsInterface(const RecordList& ksInterfaces, const wchar_t* name, Direction direction);
// The list already holds a KS record of exactly that name.
bool isKsNameTaken(const RecordList& list, const wchar_t* name);
