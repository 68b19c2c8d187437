// The private control device of a catalogued driver, and its version request.
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <stdint.h>

#include "base/device_request.h"

// CTL_CODE(FILE_DEVICE_UNKNOWN, 0x810, METHOD_BUFFERED, FILE_ANY_ACCESS): no input, a 32-bit
// version as output.
const DWORD IOCTL_DRIVER_GET_VERSION = 0x222040;

// The Windows calls of the version query: the real ones in the product, a fake device world in
// tests.
struct DriverControlApi {
    HDEVINFO(WINAPI* setupDiGetClassDevsA)(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags);
    BOOL(WINAPI* setupDiEnumDeviceInterfaces)(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* interfaceGuid,
                                              DWORD index, PSP_DEVICE_INTERFACE_DATA data);
    BOOL(WINAPI* setupDiGetDeviceInterfaceDetailA)(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                                   PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                                   PDWORD requiredSize, PSP_DEVINFO_DATA device);
    BOOL(WINAPI* setupDiDestroyDeviceInfoList)(HDEVINFO set);
    HANDLE(WINAPI* createFileA)(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile);
    DeviceRequestApi request;  // the version request itself, and closing the device
    // The thread that asks while a collection pass runs (tests make it fail).
    HANDLE(WINAPI* createThread)(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                                 LPVOID parameter, DWORD flags, LPDWORD threadId);
};

extern DriverControlApi g_driverControlApi;
const DriverControlApi& realDriverControlApi();

// The most version requests sent together (each batch shares one wait).
const uint32_t DRIVER_REQUEST_BATCH = 16;

// A handle for overlapped requests to the first present device interface of the class, or
// INVALID_HANDLE_VALUE.
HANDLE openDriverControl(const GUID& interfaceGuid);

enum {
    DRIVER_ANSWERED = 0,         // the version holds the answer (0 when the driver refused)
    DRIVER_NOT_FOUND = -1,       // no present interface, or it cannot be opened
    DRIVER_NOT_RESPONDING = -2,  // the request did not complete, not even once cancelled
};
struct DriverVersionAnswer {
    int32_t result;
    uint32_t version;
};
// Asks the drivers of every class for their version at once, each on a handle of its own, and
// gives the answers in the same order. However many do not answer, it takes at most about two
// waits. A request that completes after the cancel counts by its own final status.
void askDriverVersions(const GUID* interfaceGuids, uint32_t count, DriverVersionAnswer* answers);

// The same asked on a thread of its own, so that the collection pass of a test runs while
// drivers that do not answer are waited for, and the two waits overlap. startDriverVersions
// sends up to DRIVER_REQUEST_BATCH requests and returns at once (null when no thread could be
// started: the drivers are then asked when the answers are collected). collectDriverVersions
// gives the answers of a started job, or asks now for a null one, and ends the job. A job whose
// thread is held inside a driver's call for longer than four seconds reads as drivers not
// responding; the thread keeps the job's storage until it returns.
struct DriverVersionJob;
DriverVersionJob* startDriverVersions(const GUID* interfaceGuids, uint32_t count);
void collectDriverVersions(DriverVersionJob* job, const GUID* interfaceGuids, uint32_t count,
                           DriverVersionAnswer* answers);

