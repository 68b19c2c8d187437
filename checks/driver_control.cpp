#include "checks/driver_control.h"

#include "base/device_request.h"
#include "base/owners.h"

namespace {

const DriverControlApi kReal = {
    SetupDiGetClassDevsA, SetupDiEnumDeviceInterfaces, SetupDiGetDeviceInterfaceDetailA,
    SetupDiDestroyDeviceInfoList, CreateFileA,
    {CreateEventA, DeviceIoControl, GetLastError, WaitForSingleObject, CancelIo, GetOverlappedResult, CloseHandle},
};

// The fixed part of SP_DEVICE_INTERFACE_DETAIL_DATA_A in a 32-bit process: the size field and
// the first character of the path.
const DWORD kDetailFixedSize = 5;
// The path must fit the buffer Windows asked for; anything larger is not a detail record.
const DWORD kDetailMaxSize = 64 * 1024;
}  // namespace

DriverControlApi g_driverControlApi = kReal;

const DriverControlApi& realDriverControlApi() { return kReal; }

HANDLE openDriverControl(const GUID& interfaceGuid) {
    const DriverControlApi& api = g_driverControlApi;
    DeviceInfoSet set(api.setupDiGetClassDevsA(&interfaceGuid, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
                      api.setupDiDestroyDeviceInfoList);
    if (!set.valid()) return INVALID_HANDLE_VALUE;

    SP_DEVICE_INTERFACE_DATA data;
    ZeroMemory(&data, sizeof(data));
    data.cbSize = sizeof(data);  // 28
    if (!api.setupDiEnumDeviceInterfaces(set.get(), NULL, &interfaceGuid, 0, &data)) return INVALID_HANDLE_VALUE;

    DWORD required = 0;
    api.setupDiGetDeviceInterfaceDetailA(set.get(), &data, NULL, 0, &required, NULL);
    if (required <= kDetailFixedSize || required > kDetailMaxSize) return INVALID_HANDLE_VALUE;
    // One spare byte so that the path is terminated whatever the answer holds.
    HeapBlock buffer(size_t(required) + 1);
    if (!buffer.get()) return INVALID_HANDLE_VALUE;
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail = static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.get());
    detail->cbSize = kDetailFixedSize;
    if (!api.setupDiGetDeviceInterfaceDetailA(set.get(), &data, detail, required, NULL, NULL))
        return INVALID_HANDLE_VALUE;

    // Overlapped, so that a driver that never answers cannot hold the program.
    return api.createFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, NULL);
}

int32_t askDriverVersion(const GUID& interfaceGuid, uint32_t* version) {
    const DriverControlApi& api = g_driverControlApi;
    *version = 0;
    Handle device(openDriverControl(interfaceGuid), api.request.closeHandle);
    if (!device.valid()) return DRIVER_NOT_FOUND;
    uint32_t answer = 0;
    DWORD bytes = 0, error = 0;
    // No input; the answer is one 32-bit version. A driver that rejects the request leaves the
    // version at 0, which reads as not installed.
    switch (sendDeviceRequest(api.request, device.get(), IOCTL_DRIVER_GET_VERSION, NULL, 0, &answer, sizeof(answer),
                              DRIVER_REQUEST_WAIT_MS, &bytes, &error)) {
    case REQUEST_DONE_AT_ONCE:
    case REQUEST_DONE_LATER:
        *version = answer;
        return DRIVER_ANSWERED;
    case REQUEST_TIMED_OUT:
    case REQUEST_GAVE_UP:
        return DRIVER_NOT_RESPONDING;
    default:
        return DRIVER_ANSWERED;
    }
}

uint32_t queryDriverVersion(const GUID& interfaceGuid) {
    uint32_t version = 0;
    askDriverVersion(interfaceGuid, &version);
    return version;
}
