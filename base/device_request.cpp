#include "base/device_request.h"

#include <string.h>

#include "base/owners.h"

namespace {

size_t roundUp(size_t bytes) { return (bytes + 7u) & ~size_t(7); }

// A request's part of the batch storage: the OVERLAPPED first, then the input, then the output.
size_t slotBytes(const DeviceRequest& r) { return roundUp(sizeof(OVERLAPPED)) + roundUp(r.inputSize) + roundUp(r.outputSize); }

struct Slot {
    HANDLE event;
    uint8_t* base;
};

OVERLAPPED* overlappedOf(const Slot& s) { return reinterpret_cast<OVERLAPPED*>(s.base); }
uint8_t* inputOf(const Slot& s) { return s.base + roundUp(sizeof(OVERLAPPED)); }
uint8_t* outputOf(const Slot& s, const DeviceRequest& r) { return inputOf(s) + roundUp(r.inputSize); }

// What a batch holds while its requests are in flight: the storage the drivers write into and
// one event per request. When the batch ends, every event is closed and the storage freed,
// except what a request that was given up still needs: its event, and the storage as a whole.
class InFlight {
public:
    InFlight(const DeviceRequestApi& api, const DeviceRequest* requests, uint32_t count, size_t storageBytes)
        : api_(api), requests_(requests), count_(count), storage_(storageBytes), slots_(count * sizeof(Slot)) {}
    ~InFlight() {
        if (!slots_.get()) return;
        bool leftToDrivers = false;
        for (uint32_t i = 0; i < count_; ++i) {
            if (requests_[i].outcome == REQUEST_GAVE_UP) leftToDrivers = true;
            else if (slot(i).event) api_.closeHandle(slot(i).event);
        }
        if (leftToDrivers) storage_.release();
    }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;

    bool valid() const { return storage_.get() && slots_.get(); }
    uint8_t* storage() const { return storage_.as<uint8_t>(); }
    Slot& slot(uint32_t i) const { return slots_.as<Slot>()[i]; }

private:
    const DeviceRequestApi& api_;
    const DeviceRequest* requests_;
    uint32_t count_;
    HeapBlock storage_;
    HeapBlock slots_;
};

// A request whose event was signalled: its own final status decides, not the mere fact that it
// completed.
void readCompletion(const DeviceRequestApi& api, DeviceRequest& r, const Slot& s, bool cancelled) {
    DWORD transferred = 0;
    if (api.getOverlappedResult(r.device, overlappedOf(s), &transferred, FALSE)) {
        if (r.outputSize) memcpy(r.output, outputOf(s, r), r.outputSize);
        r.outcome = cancelled ? REQUEST_DONE_AFTER_CANCEL : REQUEST_DONE_LATER;
        return;
    }
    const DWORD failure = api.getLastError();
    if (failure == ERROR_IO_INCOMPLETE) return;  // not complete after all: still the driver's
    r.error = failure;
    r.outcome = !cancelled                            ? REQUEST_FAILED_LATER
                : failure == ERROR_OPERATION_ABORTED ? REQUEST_TIMED_OUT
                                                     : REQUEST_FAILED_AFTER_CANCEL;
}

// Waits for the pending requests (those still marked as given up) until waitMs from now.
void awaitPending(const DeviceRequestApi& api, const InFlight& batch, DeviceRequest* requests, uint32_t count,
                  DWORD waitMs, bool cancelled) {
    const DWORD start = api.getTickCount();
    for (uint32_t i = 0; i < count; ++i) {
        if (requests[i].outcome != REQUEST_GAVE_UP) continue;
        const DWORD spent = api.getTickCount() - start;
        if (api.waitForSingleObject(batch.slot(i).event, spent < waitMs ? waitMs - spent : 0) == WAIT_OBJECT_0)
            readCompletion(api, requests[i], batch.slot(i), cancelled);
    }
}

}  // namespace

void sendDeviceRequests(const DeviceRequestApi& api, DeviceRequest* requests, uint32_t count, DWORD waitMs,
                        const RequestPendingHook* onPending) {
    size_t storageBytes = 0;
    for (uint32_t i = 0; i < count; ++i) {
        requests[i].outcome = REQUEST_NO_MEMORY;
        requests[i].bytes = 0;
        requests[i].error = 0;
        storageBytes += slotBytes(requests[i]);
    }
    if (count == 0) return;
    InFlight batch(api, requests, count, storageBytes);
    if (!batch.valid()) return;

    uint32_t pending = 0;
    uint8_t* next = batch.storage();
    for (uint32_t i = 0; i < count; ++i) {
        DeviceRequest& r = requests[i];
        Slot& s = batch.slot(i);
        s.base = next;
        next += slotBytes(r);
        s.event = api.createEventA(NULL, FALSE, FALSE, NULL);
        if (!s.event) continue;
        // The low bit keeps the completion away from any completion port the handle may have.
        overlappedOf(s)->hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(s.event) | 1);
        if (r.inputSize) memcpy(inputOf(s), r.input, r.inputSize);
        DWORD returned = 0;
        if (api.deviceIoControl(r.device, r.code, r.inputSize ? inputOf(s) : NULL, r.inputSize,
                                r.outputSize ? outputOf(s, r) : NULL, r.outputSize, &returned, overlappedOf(s))) {
            r.bytes = returned;
            if (r.outputSize) memcpy(r.output, outputOf(s, r), r.outputSize);
            r.outcome = REQUEST_DONE_AT_ONCE;
            continue;
        }
        const DWORD failure = api.getLastError();
        if (failure != ERROR_IO_PENDING) {
            r.bytes = returned;
            r.error = failure;
            r.outcome = REQUEST_FAILED_AT_ONCE;
            continue;
        }
        // Until it completes, a pending request counts as left to its driver: whatever path
        // leaves here, its storage and event are then never freed.
        r.outcome = REQUEST_GAVE_UP;
        ++pending;
    }
    if (pending == 0) return;
    if (onPending) onPending->pending(onPending->context);

    // One deadline for all, then one cancel for each device still holding a request, then one
    // grace period for all: the drivers' time does not add up.
    awaitPending(api, batch, requests, count, waitMs, false);
    for (uint32_t i = 0; i < count; ++i) {
        if (requests[i].outcome != REQUEST_GAVE_UP) continue;
        bool cancelled = false;
        for (uint32_t j = 0; j < i && !cancelled; ++j)
            cancelled = requests[j].outcome == REQUEST_GAVE_UP && requests[j].device == requests[i].device;
        if (!cancelled) api.cancelIo(requests[i].device);
    }
    awaitPending(api, batch, requests, count, waitMs, true);
}

DeviceRequestOutcome sendDeviceRequest(const DeviceRequestApi& api, HANDLE device, DWORD code, const void* input,
                                       uint32_t inputSize, void* output, uint32_t outputSize, DWORD waitMs,
                                       DWORD* bytes, DWORD* error, const RequestPendingHook* onPending) {
    DeviceRequest request = {device, code, input, inputSize, output, outputSize, REQUEST_NO_MEMORY, 0, 0};
    sendDeviceRequests(api, &request, 1, waitMs, onPending);
    *bytes = request.bytes;
    *error = request.error;
    return request.outcome;
}
