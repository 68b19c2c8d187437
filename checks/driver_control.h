// The private control device of a catalogued driver, and its version request.
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <stdint.h>

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
    BOOL(WINAPI* deviceIoControl)(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                  LPDWORD returned, LPOVERLAPPED overlapped);
    BOOL(WINAPI* closeHandle)(HANDLE handle);
};

extern DriverControlApi g_driverControlApi;
const DriverControlApi& realDriverControlApi();

// A handle to the first present device interface of the class, or INVALID_HANDLE_VALUE.
HANDLE openDriverControl(const GUID& interfaceGuid);

// The version the driver reports; 0 when it has no present interface, cannot be opened or does
// not fill in a version.
uint32_t queryDriverVersion(const GUID& interfaceGuid);
