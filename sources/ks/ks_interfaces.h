// The kernel-streaming audio interfaces SetupAPI lists: the interface map (names to hardware
// IDs) and the KS devices of each direction.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "base/device_record.h"
#include "sources/ks/ks_property.h"

extern const GUID KSCATEGORY_AUDIO_CLASS;
extern const GUID KSCATEGORY_CAPTURE_CLASS;
extern const GUID KSCATEGORY_RENDER_CLASS;

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
const KsSetupApi& realKsSetupApi();

// Rebuilds the interface map: capture aliases first, then render aliases. 0, or -1 without
// memory. It starts a collection pass: filters that went silent in the last one are asked again.
int32_t collectKsInterfaces(RecordList* ksInterfaces);
// Appends the KS records of a direction to that direction's list,
// their hardware IDs from the interface map. A filter that went silent (a request missed its
// deadline) is not listed, and in this pass not opened again. Always 0.
int32_t collectKsDevices(const RecordList& ksInterfaces, RecordList* list, Direction direction);
void addKsDeviceRecord(const RecordList& ksInterfaces, RecordList* list, const KsFilter* filter,
                       Direction direction);

// The first interface map record of the direction (1 recording: capture alias; else render
// alias) whose driverNameW or pinNameW equals the name exactly; null when none, and always null
// for an empty name.
const DeviceRecord* findKsInterface(const RecordList& ksInterfaces, const wchar_t* name, Direction direction);
// The list already holds a KS record of exactly that name.
bool isKsNameTaken(const RecordList& list, const wchar_t* name);
