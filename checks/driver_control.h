// The private control device of a catalogued driver, and its version request.
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <stdint.h>

#include "base/device_request.h"
#include "base/driver_walk.h"

// CTL_CODE(FILE_DEVICE_UNKNOWN, 0x810, METHOD_BUFFERED, FILE_ANY_ACCESS): no input, a 32-bit
// version as output.
const DWORD IOCTL_DRIVER_GET_VERSION = 0x222040;

// The Windows calls of the version query: the real ones in the product, a fake device world in
// tests.
struct DriverControlApi {
    HDEVINFO(WINAPI* setupDiGetClassDevsA)(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags);
    BOOL(WINAPI* setupDiEnumDeviceInterfaces)(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* interfaceGuid,
                                              DWORD index, PSP_DEVICE_INTERFACE_DATA data);
    BOOL(WINAPI* setupDiGetDeviceInterfaceDetailW)(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                                   PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD detailSize,
                                                   PDWORD requiredSize, PSP_DEVINFO_DATA device);
    BOOL(WINAPI* setupDiDestroyDeviceInfoList)(HDEVINFO set);
    HANDLE(WINAPI* createFileW)(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile);
    DeviceRequestApi request;  // the version request itself, and closing the device
};

extern DriverControlApi g_driverControlApi;

// The longest control device path opened, in UTF-16 units.
const uint32_t DRIVER_CONTROL_PATH_UNITS = 1023;

// The path of the first present device interface of the class, as SetupAPI lists it, into path
// (DRIVER_CONTROL_PATH_UNITS + 1 units); false when there is none or it is longer. SetupAPI only:
// the driver is not called.
bool findDriverControl(const GUID& interfaceGuid, wchar_t* path);

enum {
    DRIVER_ANSWERED = 0,         // the version holds the answer (0 when the driver refused)
    DRIVER_NOT_FOUND = -1,       // no present interface, or it cannot be opened
    DRIVER_NOT_RESPONDING = -2,  // the open or the request did not come back in time
};
struct DriverVersionAnswer {
    int32_t result;
    uint32_t version;
};

// The version requests of some classes as jobs of a walk, each control device opened, asked and
// closed by a job of its own on a walker: a driver that leaves the request pending, holds the
// open or the request, or fails to come back from the close holds only its walker, and the
// drivers that do not answer share the walk's one deadline. The answers are written when the
// walk is over, in the order of the classes; a request that completes after its cancel counts by
// its own final status.
struct DriverVersionJobs {
    const GUID* interfaceGuids;
    uint32_t count;
    DriverVersionAnswer* answers;  // count answers
    uint32_t firstJob;             // the walk's number of the first job
    uint32_t jobCount;
};
DriverJobs driverVersionJobs(DriverVersionJobs* versions);

