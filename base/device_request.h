// One control request to a device whose driver may never answer: overlapped, waited for a
// bounded time, cancelled, and given up without ever letting a late completion write into
// memory the program still uses or signal a handle it closed. Shared by the kernel-streaming
// requests and the drivers' version request.
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
};

enum DeviceRequestOutcome {
    REQUEST_DONE_AT_ONCE,    // *bytes: what the call returned
    REQUEST_FAILED_AT_ONCE,  // *error, *bytes: what the call returned
    REQUEST_DONE_LATER,      // completed within the wait, successfully
    REQUEST_FAILED_LATER,    // completed within the wait with an error (*error)
    REQUEST_TIMED_OUT,       // did not complete within the wait; completed once cancelled
    REQUEST_GAVE_UP,         // did not complete, not even after the cancel: left to the driver
    REQUEST_NO_MEMORY,
};

// Sends the request with its input and waits up to waitMs for it, then cancels it and waits up to
// waitMs more. The driver works on a heap block of the request's own (the OVERLAPPED, a copy of
// the input and the output area); the output is copied to `output` only when the request
// succeeded. A request that never completes keeps its block and event for ever.
DeviceRequestOutcome sendDeviceRequest(const DeviceRequestApi& api, HANDLE device, DWORD code, const void* input,
                                       uint32_t inputSize, void* output, uint32_t outputSize, DWORD waitMs,
                                       DWORD* bytes, DWORD* error);
