// Control requests to devices whose drivers may never answer: overlapped, waited for a bounded
// time, cancelled, and given up without ever letting a late completion write into memory the
// program still uses or signal a handle it closed. Shared by the kernel-streaming requests and
// the drivers' version requests, which are sent together so that they share one wait.
#pragma once

#include <windows.h>
#include <stdint.h>

// The calls a request makes, taken from the caller's table of Windows calls (tests put fake
// devices behind them).
struct DeviceRequestApi {
    HANDLE(WINAPI* createEventA)(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name);
    BOOL(WINAPI* deviceIoControl)(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                  LPDWORD returned, LPOVERLAPPED overlapped);
    DWORD(WINAPI* getLastError)();
    DWORD(WINAPI* waitForSingleObject)(HANDLE handle, DWORD milliseconds);
    BOOL(WINAPI* cancelIo)(HANDLE device);
    BOOL(WINAPI* getOverlappedResult)(HANDLE device, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait);
    BOOL(WINAPI* closeHandle)(HANDLE handle);
    DWORD(WINAPI* getTickCount)();
};

// How long a request may pend before it is cancelled, and how long it is then waited for again.
const DWORD DEVICE_REQUEST_WAIT_MS = 1000;

enum DeviceRequestOutcome {
    REQUEST_DONE_AT_ONCE,    // bytes: what the call returned
    REQUEST_FAILED_AT_ONCE,  // error, bytes: what the call returned
    REQUEST_DONE_LATER,      // completed within the wait, successfully
    REQUEST_FAILED_LATER,    // completed within the wait with an error
    // The rest missed the wait and were cancelled.
    REQUEST_DONE_AFTER_CANCEL,    // the driver still completed it successfully
    REQUEST_FAILED_AFTER_CANCEL,  // it completed with an error other than the cancel's
    REQUEST_TIMED_OUT,            // it completed as cancelled
    REQUEST_GAVE_UP,              // not even after the cancel: left to the driver
    REQUEST_NO_MEMORY,
};

// One request of a batch: what is sent, and (from outcome on) what came back. The output is
// written only when the request succeeded; a pended request reports no byte count.
struct DeviceRequest {
    HANDLE device;
    DWORD code;
    const void* input;
    uint32_t inputSize;
    void* output;
    uint32_t outputSize;
    DeviceRequestOutcome outcome;
    DWORD bytes;
    DWORD error;
};

// Told when requests of a batch pend, before the batch starts waiting for them, so that the
// caller can let other work go on meanwhile. The wait and the cancel stay on the thread that
// sent the requests: before Windows Vista a cancel reaches only the requests of its own thread.
struct RequestPendingHook {
    void (*pending)(void* context);
    void* context;
};

// Sends every request, then waits for those that pend until one deadline waitMs after the
// last was sent, cancels those still pending all at once, and waits up to waitMs more for them.
// The drivers work on heap blocks of the batch's own (the OVERLAPPEDs, copies of the inputs and
// the output areas); when a request is given up, the storage and its event are left to the
// driver for ever, never freed or reused.
void sendDeviceRequests(const DeviceRequestApi& api, DeviceRequest* requests, uint32_t count, DWORD waitMs,
                        const RequestPendingHook* onPending);

// One request on its own; *bytes and *error as in DeviceRequest.
DeviceRequestOutcome sendDeviceRequest(const DeviceRequestApi& api, HANDLE device, DWORD code, const void* input,
                                       uint32_t inputSize, void* output, uint32_t outputSize, DWORD waitMs,
                                       DWORD* bytes, DWORD* error, const RequestPendingHook* onPending);
