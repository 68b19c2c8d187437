// Kernel-streaming property requests to audio filters: the pin properties of one filter, and
// the streaming pins it offers for capture or render.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "base/device_record.h"
#include "base/device_request.h"
#include "base/driver_walk.h"

const uint32_t KS_MAX_PINS = 8;  // the streaming pins kept of one filter

enum : uint32_t {
    KSPROPERTY_PIN_CINSTANCES_ID = 0,
    KSPROPERTY_PIN_CTYPES_ID = 1,
    KSPROPERTY_PIN_DATAFLOW_ID = 2,
    KSPROPERTY_PIN_DATARANGES_ID = 3,
    KSPROPERTY_PIN_INTERFACES_ID = 5,
    KSPROPERTY_PIN_MEDIUMS_ID = 6,
    KSPROPERTY_PIN_COMMUNICATION_ID = 7,
    KSPROPERTY_PIN_GLOBALCINSTANCES_ID = 8,
    KSPROPERTY_PIN_CATEGORY_ID = 11,
    KSPROPERTY_PIN_NAME_ID = 12,
};

enum : uint32_t {
    KS_COMMUNICATION_SINK = 1,
    KS_COMMUNICATION_BOTH = 3,
    KS_DATAFLOW_IN = 1,
    KS_DATAFLOW_OUT = 2,
};

extern const GUID KSPROPSETID_PIN_SET;
extern const GUID KSINTERFACESETID_STANDARD_SET;
extern const GUID KSMEDIUMSETID_STANDARD_SET;
extern const GUID KSDATAFORMAT_SUBTYPE_WAVEFORMATEX_GUID;
extern const GUID KSDATAFORMAT_SUBTYPE_PCM_GUID;
extern const GUID KSDATAFORMAT_SUBTYPE_IEEE_FLOAT_GUID;

// KSP_PIN: the 32-byte request record.
struct KsPinRequest {
    GUID set;
    uint32_t id;
    uint32_t flags;  // KSPROPERTY_TYPE_GET
    uint32_t pinId;
    uint32_t reserved;
};

// What the checker keeps of a pin: the three lists its acceptance is decided on. The pin's
// communication, data flow, instance counts, category and name are asked too, in the order
// drivers have always been asked (a driver may answer a request by what it was asked before),
// but nothing is decided on them, so they are not kept.
struct KsPinInfo {
    uint32_t pinId;
    uint32_t interfaceCount;
    uint32_t mediumCount;
    uint32_t dataRangeCount;
    uint8_t* dataRangesBlock;
    uint8_t* mediumsBlock;
    uint8_t* interfacesBlock;
    // Sizes of the three blocks: every walk stays inside them.
    uint32_t dataRangesBytes;
    uint32_t mediumsBytes;
    uint32_t interfacesBytes;
};

struct KsFilter {
    HANDLE handle;  // INVALID_HANDLE_VALUE when the open failed
    KsPinInfo pins[KS_MAX_PINS];
    int32_t pinCount;
    // A request of this filter missed its deadline: the filter counts as not answering and gets
    // no further request (its handle may still hold that request).
    int32_t silent;
    wchar_t devicePath[260];
    wchar_t friendlyName[280];
    // The job of a walk that asks the filter, which is told of every call into its driver (none:
    // a filter asked outside any walk).
    DriverJob* job;
};

// The Windows calls of the requests: the real ones; tests put fake filters behind them.
struct KsApi {
    HANDLE(WINAPI* createFileW)(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile);
    DeviceRequestApi request;  // the request itself, and closing the filter
    // The answer blocks of getPinPropertyAlloc (zero-filled); tests put guard pages behind them.
    void* (*allocateBlock)(size_t bytes);
    void (*releaseBlock)(void* block);
};
extern KsApi g_ksApi;

// A request that did not complete within its wait and had to be cancelled, however it ended.
const HRESULT KS_E_NO_ANSWER = HRESULT(0x800705B4L);  // HRESULT_FROM_WIN32(ERROR_TIMEOUT)

// S_OK, E_FAIL, E_OUTOFMEMORY or KS_E_NO_ANSWER; *bytesReturned (optional) gets the byte count
// of the answer. The request is a call of the job (optional) in its walk: KS_E_NO_ANSWER without
// a request when the walk has given the job up.
HRESULT ksPropertyRequest(HANDLE filter, const KsPinRequest& request, void* output, uint32_t outputSize,
                          uint32_t* bytesReturned, DriverJob* job);
HRESULT getPinProperty(HANDLE filter, uint32_t pinId, uint32_t propertyId, void* output, uint32_t outputSize,
                       DriverJob* job);
// On success *block is a new block of *size bytes (zero-filled behind the answer) that the caller
// frees with g_ksApi.releaseBlock; after a failed second request the block is the caller's as well.
HRESULT getPinPropertyAlloc(HANDLE filter, uint32_t pinId, uint32_t propertyId, uint8_t** block, uint32_t* size,
                            DriverJob* job);

// What queryPinInfo made of one pin.
enum PinQueryResult : int32_t {
    PIN_ACCEPTED = 0,
    PIN_INTERFACES_UNREADABLE = -2,
    PIN_MEDIUMS_UNREADABLE = -3,
    PIN_DATA_RANGES_UNREADABLE = -4,
    PIN_INSTANCES_UNREADABLE = -6,
    PIN_NO_STANDARD_STREAMING = -10,  // no KSINTERFACE_STANDARD_STREAMING
    PIN_NO_STANDARD_MEDIUM = -11,     // no KSMEDIUM_TYPE_ANYINSTANCE
    PIN_NO_ACCEPTED_SUB_FORMAT = -13,
    PIN_FILTER_SILENT = -20,
};
PinQueryResult queryPinInfo(KsFilter* filter, uint32_t pinId, KsPinInfo* info);
int32_t releasePinInfo(KsPinInfo* info);

// What collectStreamingPins made of a filter's pins in one direction.
enum StreamingPinsResult : int32_t {
    PINS_COLLECTED = 0,
    PINS_TYPE_COUNT_FAILED = -1,
    PINS_NO_TYPES = -2,
    PINS_TOO_MANY = -10,  // more than KS_MAX_PINS qualified
    PINS_FILTER_SILENT = -20,  // the filter turned silent during the walk
};
StreamingPinsResult collectStreamingPins(KsFilter* filter, Direction direction);
// The open, every request and the close are calls of the job (optional) in its walk; a filter
// whose job the walk gave up before its open is silent.
KsFilter* openKsFilter(const wchar_t* devicePath, const wchar_t* friendlyName, DriverJob* job);
void closeKsFilter(KsFilter* filter);

// A filter openKsFilter opened, closed on every path out of the scope that holds it.
class OpenKsFilter {
public:
    OpenKsFilter(const wchar_t* devicePath, const wchar_t* friendlyName, DriverJob* job)
        : filter_(openKsFilter(devicePath, friendlyName, job)) {}
    ~OpenKsFilter() { closeKsFilter(filter_); }
    OpenKsFilter(const OpenKsFilter&) = delete;
    OpenKsFilter& operator=(const OpenKsFilter&) = delete;

    KsFilter* get() const { return filter_; }

private:
    KsFilter* filter_;
};
