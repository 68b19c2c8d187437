#include "base/device_request.h"

#include <string.h>

#include "base/owners.h"

DeviceRequestOutcome sendDeviceRequest(const DeviceRequestApi& api, HANDLE device, DWORD code, const void* input,
                                       uint32_t inputSize, void* output, uint32_t outputSize, DWORD waitMs,
                                       DWORD* bytes, DWORD* error) {
    *bytes = 0;
    *error = 0;
    // The OVERLAPPED first, then the input, then the output: all of it stays with the driver
    // until the request has completed.
    const size_t inputOffset = sizeof(OVERLAPPED);
    const size_t outputOffset = inputOffset + ((inputSize + 7u) & ~7u);
    HeapBlock storage(outputOffset + outputSize);
    if (!storage.get()) return REQUEST_NO_MEMORY;
    Handle event(api.createEventA(NULL, FALSE, FALSE, NULL), api.closeHandle);
    if (!event.valid()) return REQUEST_NO_MEMORY;
    uint8_t* block = storage.as<uint8_t>();
    OVERLAPPED* overlapped = reinterpret_cast<OVERLAPPED*>(block);
    // The low bit keeps the completion away from any completion port the handle may have.
    overlapped->hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(event.get()) | 1);
    if (inputSize) memcpy(block + inputOffset, input, inputSize);

    DWORD returned = 0;
    if (api.deviceIoControl(device, code, inputSize ? block + inputOffset : NULL, inputSize,
                            outputSize ? block + outputOffset : NULL, outputSize, &returned, overlapped)) {
        *bytes = returned;
        if (outputSize) memcpy(output, block + outputOffset, outputSize);
        return REQUEST_DONE_AT_ONCE;
    }
    const DWORD failure = api.getLastError();
    if (failure != ERROR_IO_PENDING) {
        *bytes = returned;
        *error = failure;
        return REQUEST_FAILED_AT_ONCE;
    }
    if (api.waitForSingleObject(event.get(), waitMs) == WAIT_OBJECT_0) {
        // The request's own final status decides, not the mere fact that it completed.
        DWORD transferred = 0;
        if (!api.getOverlappedResult(device, overlapped, &transferred, FALSE)) {
            *error = api.getLastError();
            return REQUEST_FAILED_LATER;
        }
        if (outputSize) memcpy(output, block + outputOffset, outputSize);
        return REQUEST_DONE_LATER;
    }
    // Cancel it and wait for the driver to let go of the block; a driver that does not, keeps
    // it: the block and its event are then left to it, never freed or reused.
    api.cancelIo(device);
    if (api.waitForSingleObject(event.get(), waitMs) == WAIT_OBJECT_0) {
        *error = ERROR_OPERATION_ABORTED;
        return REQUEST_TIMED_OUT;
    }
    storage.release();
    event.release();
    return REQUEST_GAVE_UP;
}
