#include "sources/ks/ks_property.h"

#include <string.h>

#include "base/device_request.h"
#include "base/little_endian.h"
#include "base/owners.h"
#include "base/text.h"

const GUID KSPROPSETID_PIN_SET = {0x8C134960, 0x51AD, 0x11CF, {0x87, 0x8A, 0x94, 0xF8, 0x01, 0xC1, 0x00, 0x00}};
const GUID KSINTERFACESETID_STANDARD_SET = {0x1A8766A0, 0x62CE, 0x11CF, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
const GUID KSMEDIUMSETID_STANDARD_SET = {0x4747B320, 0x62CE, 0x11CF, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
const GUID KSDATAFORMAT_SUBTYPE_WAVEFORMATEX_GUID = {0x00000000, 0x0000, 0x0010,
                                                      {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID KSDATAFORMAT_SUBTYPE_PCM_GUID = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID KSDATAFORMAT_SUBTYPE_IEEE_FLOAT_GUID = {0x00000003, 0x0000, 0x0010,
                                                    {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

namespace {

const DWORD IOCTL_KS_PROPERTY_CODE = 0x2F0003;  // CTL_CODE(FILE_DEVICE_KS, 0, METHOD_NEITHER, FILE_ANY_ACCESS)
// A filter claiming more pin types than this is examined only that far: no real filter has so
// many, and each pin costs requests.
const uint32_t KS_MAX_PIN_TYPES = 256;
// The largest answer block accepted from a size query.
const uint32_t KS_MAX_BLOCK_BYTES = 1024 * 1024;

const uint32_t kMultipleItemSize = 8;  // KSMULTIPLE_ITEM: Size, Count
const uint32_t kIdentifierSize = 24;   // KSIDENTIFIER: Set, Id, Flags
const uint32_t kDataRangeSize = 64;    // KSDATARANGE up to and with its Specifier
const uint32_t kSubFormatOffset = 32;
const uint32_t kNameBytes = 519;

const KsApi kReal = {
    CreateFileW,
    {CreateEventA, DeviceIoControl, GetLastError, WaitForSingleObject, CancelIo, GetOverlappedResult, CloseHandle,
     GetTickCount},
    heapAllocateZeroed,
    heapRelease,
};

// The identifier list of a pin holds one with the set and id (flags are not compared).
bool hasIdentifier(const uint8_t* block, uint32_t blockBytes, uint32_t count, const GUID& set, uint32_t id) {
    const uint32_t fitting = (blockBytes - kMultipleItemSize) / kIdentifierSize;
    if (count > fitting) count = fitting;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry = block + kMultipleItemSize + size_t(i) * kIdentifierSize;
        if (memcmp(entry, &set, sizeof(GUID)) == 0 && readLe32(entry + 16) == id) return true;
    }
    return false;
}

bool acceptedSubFormat(const uint8_t* subFormat) {
    static const uint8_t kNull[16] = {0};
    const uint8_t* waveFormatEx = reinterpret_cast<const uint8_t*>(&KSDATAFORMAT_SUBTYPE_WAVEFORMATEX_GUID);
    // The first two bytes of a WAVEFORMATEX-style sub-format carry the format tag.
    return memcmp(subFormat + 2, waveFormatEx + 2, 14) == 0 ||
           memcmp(subFormat, &KSDATAFORMAT_SUBTYPE_PCM_GUID, 16) == 0 ||
           memcmp(subFormat, &KSDATAFORMAT_SUBTYPE_IEEE_FLOAT_GUID, 16) == 0 || memcmp(subFormat, kNull, 16) == 0;
}

// Walks the data ranges, each FormatSize bytes after the one before; a range shorter than its
// header or running past the block ends the walk.
bool hasAcceptedDataRange(const uint8_t* block, uint32_t blockBytes, uint32_t count) {
    uint32_t offset = kMultipleItemSize;
    for (uint32_t i = 0; i < count; ++i) {
        if (blockBytes < offset || blockBytes - offset < kDataRangeSize) return false;
        const uint32_t formatSize = readLe32(block + offset);
        if (formatSize < kDataRangeSize || formatSize > blockBytes - offset) return false;
        if (acceptedSubFormat(block + offset + kSubFormatOffset)) return true;
        offset += formatSize;
    }
    return false;
}

KsPinRequest pinRequest(uint32_t pinId, uint32_t propertyId) {
    KsPinRequest request;
    request.set = KSPROPSETID_PIN_SET;
    request.id = propertyId;
    request.flags = 1;  // KSPROPERTY_TYPE_GET
    request.pinId = pinId;
    request.reserved = 0;
    return request;
}

// The pin requests of a filter: none once the filter is silent, and the filter turns silent
// when one misses its deadline (the result is then KS_E_NO_ANSWER).
HRESULT askFilter(KsFilter* filter, uint32_t pinId, uint32_t propertyId, void* output, uint32_t outputSize) {
    if (filter->silent) return KS_E_NO_ANSWER;
    const HRESULT result = getPinProperty(filter->handle, pinId, propertyId, output, outputSize, filter->job);
    if (result == KS_E_NO_ANSWER) filter->silent = 1;
    return result;
}

HRESULT askFilterAlloc(KsFilter* filter, uint32_t pinId, uint32_t propertyId, uint8_t** block, uint32_t* size) {
    *block = NULL;
    *size = 0;
    if (filter->silent) return KS_E_NO_ANSWER;
    const HRESULT result = getPinPropertyAlloc(filter->handle, pinId, propertyId, block, size, filter->job);
    if (result == KS_E_NO_ANSWER) filter->silent = 1;
    return result;
}

// Reads a KSMULTIPLE_ITEM answer into a block of its own; false when it cannot be had or is too
// short to hold its header.
bool readMultipleItems(KsFilter* filter, uint32_t pinId, uint32_t propertyId, uint8_t** block, uint32_t* bytes,
                       uint32_t* count) {
    if (FAILED(askFilterAlloc(filter, pinId, propertyId, block, bytes)) || *bytes < kMultipleItemSize)
        return false;
    *count = readLe32(*block + 4);
    return true;
}

}  // namespace

KsApi g_ksApi = kReal;

HRESULT ksPropertyRequest(HANDLE filter, const KsPinRequest& request, void* output, uint32_t outputSize,
                          uint32_t* bytesReturned, DriverJob* job) {
    if (bytesReturned) *bytesReturned = 0;
    DWORD bytes = 0, error = 0;
    DeviceRequestOutcome outcome;
    {
        const DriverCall call(job);
        if (!call.wanted()) return KS_E_NO_ANSWER;
        outcome = sendDeviceRequest(g_ksApi.request, filter, IOCTL_KS_PROPERTY_CODE, &request, sizeof(request), output,
                                    outputSize, DEVICE_REQUEST_WAIT_MS, &bytes, &error, call.pendingHook());
    }
    switch (outcome) {
    case REQUEST_DONE_AT_ONCE:
        if (bytesReturned) *bytesReturned = bytes;
        return S_OK;
    case REQUEST_FAILED_AT_ONCE:
        // A size query: the count is the size the driver needs.
        if ((error == ERROR_INSUFFICIENT_BUFFER || error == ERROR_MORE_DATA) && outputSize == 0) {
            if (bytesReturned) *bytesReturned = bytes;
            return S_OK;
        }
        return E_FAIL;
    case REQUEST_DONE_LATER:
        return S_OK;  // a pended request reports no byte count
    case REQUEST_FAILED_LATER:
        return E_FAIL;
    case REQUEST_NO_MEMORY:
        return E_OUTOFMEMORY;
    default:
        // Cancelled: even one that the filter still answered after the cancel took too long,
        // and the next request would again.
        return KS_E_NO_ANSWER;
    }
}

HRESULT getPinProperty(HANDLE filter, uint32_t pinId, uint32_t propertyId, void* output, uint32_t outputSize,
                       DriverJob* job) {
    return ksPropertyRequest(filter, pinRequest(pinId, propertyId), output, outputSize, NULL, job);
}

HRESULT getPinPropertyAlloc(HANDLE filter, uint32_t pinId, uint32_t propertyId, uint8_t** block, uint32_t* size,
                            DriverJob* job) {
    *block = NULL;
    *size = 0;
    const KsPinRequest request = pinRequest(pinId, propertyId);
    uint32_t needed = 0;
    const HRESULT query = ksPropertyRequest(filter, request, NULL, 0, &needed, job);
    if (FAILED(query)) return query;
    if (needed == 0) return E_FAIL;
    if (needed > KS_MAX_BLOCK_BYTES) return E_OUTOFMEMORY;
    *block = static_cast<uint8_t*>(g_ksApi.allocateBlock(needed));
    if (!*block) return E_OUTOFMEMORY;
    *size = needed;
    // However long or short the second answer says it is, the block is `needed` bytes.
    return ksPropertyRequest(filter, request, *block, needed, NULL, job);
}

PinQueryResult queryPinInfo(KsFilter* filter, uint32_t pinId, KsPinInfo* info) {
    ZeroMemory(info, sizeof(*info));
    info->pinId = pinId;
    // Asked in this order, whether kept or not (KsPinInfo).
    uint8_t answer[16];
    askFilter(filter, pinId, KSPROPERTY_PIN_COMMUNICATION_ID, answer, 4);
    if (!readMultipleItems(filter, pinId, KSPROPERTY_PIN_INTERFACES_ID, &info->interfacesBlock, &info->interfacesBytes,
                           &info->interfaceCount))
        return filter->silent ? PIN_FILTER_SILENT : PIN_INTERFACES_UNREADABLE;
    if (!readMultipleItems(filter, pinId, KSPROPERTY_PIN_MEDIUMS_ID, &info->mediumsBlock, &info->mediumsBytes,
                           &info->mediumCount))
        return filter->silent ? PIN_FILTER_SILENT : PIN_MEDIUMS_UNREADABLE;
    if (!readMultipleItems(filter, pinId, KSPROPERTY_PIN_DATARANGES_ID, &info->dataRangesBlock,
                           &info->dataRangesBytes, &info->dataRangeCount))
        return filter->silent ? PIN_FILTER_SILENT : PIN_DATA_RANGES_UNREADABLE;
    askFilter(filter, pinId, KSPROPERTY_PIN_DATAFLOW_ID, answer, 4);
    // A pin whose instance counts cannot be read is not taken.
    if (FAILED(askFilter(filter, pinId, KSPROPERTY_PIN_CINSTANCES_ID, answer, 8)))
        return filter->silent ? PIN_FILTER_SILENT : PIN_INSTANCES_UNREADABLE;
    askFilter(filter, pinId, KSPROPERTY_PIN_GLOBALCINSTANCES_ID, answer, 8);
    askFilter(filter, pinId, KSPROPERTY_PIN_CATEGORY_ID, answer, 16);

    wchar_t name[(kNameBytes + 1) / 2 + 1];
    askFilter(filter, pinId, KSPROPERTY_PIN_NAME_ID, name, kNameBytes);
    if (filter->silent) return PIN_FILTER_SILENT;

    if (!hasIdentifier(info->interfacesBlock, info->interfacesBytes, info->interfaceCount,
                       KSINTERFACESETID_STANDARD_SET, 0))
        return PIN_NO_STANDARD_STREAMING;
    if (!hasIdentifier(info->mediumsBlock, info->mediumsBytes, info->mediumCount, KSMEDIUMSETID_STANDARD_SET, 0))
        return PIN_NO_STANDARD_MEDIUM;
    if (info->dataRangeCount == 0 ||
        !hasAcceptedDataRange(info->dataRangesBlock, info->dataRangesBytes, info->dataRangeCount))
        return PIN_NO_ACCEPTED_SUB_FORMAT;
    return PIN_ACCEPTED;
}

int32_t releasePinInfo(KsPinInfo* info) {
    if (!info) return -1;
    if (info->dataRangesBlock) g_ksApi.releaseBlock(info->dataRangesBlock);
    if (info->interfacesBlock) g_ksApi.releaseBlock(info->interfacesBlock);
    if (info->mediumsBlock) g_ksApi.releaseBlock(info->mediumsBlock);
    ZeroMemory(info, sizeof(*info));
    return 0;
}

StreamingPinsResult collectStreamingPins(KsFilter* filter, Direction direction) {
    uint32_t pinTypes = 0;
    if (FAILED(askFilter(filter, 0, KSPROPERTY_PIN_CTYPES_ID, &pinTypes, 4))) return PINS_TYPE_COUNT_FAILED;
    if (int32_t(pinTypes) < 1) return PINS_NO_TYPES;
    if (pinTypes > KS_MAX_PIN_TYPES) pinTypes = KS_MAX_PIN_TYPES;
    const uint32_t wantedFlow = direction == DIRECTION_RECORDING ? KS_DATAFLOW_OUT : KS_DATAFLOW_IN;
    for (uint32_t pin = 0; pin < pinTypes; ++pin) {
        // One missed deadline costs the filter its place in the list, whatever it answered
        // before: a filter that stopped answering must not hold the pass for every pin left.
        if (filter->silent) return PINS_FILTER_SILENT;
        uint32_t communication = 0, flow = 0;
        if (FAILED(askFilter(filter, pin, KSPROPERTY_PIN_COMMUNICATION_ID, &communication, 4)) ||
            (communication != KS_COMMUNICATION_SINK && communication != KS_COMMUNICATION_BOTH))
            continue;
        if (FAILED(askFilter(filter, pin, KSPROPERTY_PIN_DATAFLOW_ID, &flow, 4)) ||
            communication != KS_COMMUNICATION_SINK || flow != wantedFlow)
            continue;
        KsPinInfo info;
        if (queryPinInfo(filter, pin, &info) != PIN_ACCEPTED) {
            releasePinInfo(&info);
            continue;
        }
        if (filter->pinCount >= int32_t(KS_MAX_PINS)) {
            releasePinInfo(&info);
            return PINS_TOO_MANY;
        }
        filter->pins[filter->pinCount++] = info;
    }
    return filter->silent ? PINS_FILTER_SILENT : PINS_COLLECTED;
}

KsFilter* openKsFilter(const wchar_t* devicePath, const wchar_t* friendlyName, DriverJob* job) {
    KsFilter* filter = static_cast<KsFilter*>(heapAllocateZeroed(sizeof(KsFilter)));
    if (!filter) return NULL;
    filter->job = job;
    filter->handle = INVALID_HANDLE_VALUE;
    {
        // An open is synchronous on every Windows: a driver may keep it for ever.
        const DriverCall call(job);
        if (call.wanted())
            filter->handle = g_ksApi.createFileW(devicePath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                                                 FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, NULL);
        else
            filter->silent = 1;
    }
    if (filter->handle == INVALID_HANDLE_VALUE) return filter;
    copyText(filter->devicePath, devicePath, 260);
    copyText(filter->friendlyName, friendlyName, 280);
    return filter;
}

void closeKsFilter(KsFilter* filter) {
    if (!filter) return;
    for (int32_t i = 0; i < filter->pinCount && i < int32_t(KS_MAX_PINS); ++i) releasePinInfo(&filter->pins[i]);
    if (filter->handle != INVALID_HANDLE_VALUE && filter->handle) {
        // The driver sees the close, and may keep it: closed whether the walk still waits or not.
        const DriverCall call(filter->job);
        g_ksApi.request.closeHandle(filter->handle);
    }
    ZeroMemory(filter, sizeof(*filter));
    heapRelease(filter);
}
