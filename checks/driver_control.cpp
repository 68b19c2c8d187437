#include "checks/driver_control.h"

#include <string.h>

#include "base/owners.h"
#include "base/text.h"

namespace {

const DriverControlApi kReal = {
    SetupDiGetClassDevsA, SetupDiEnumDeviceInterfaces, SetupDiGetDeviceInterfaceDetailW,
    SetupDiDestroyDeviceInfoList, CreateFileW,
    {CreateEventA, DeviceIoControl, GetLastError, WaitForSingleObject, CancelIo, GetOverlappedResult, CloseHandle,
     GetTickCount},
};

// The fixed part of SP_DEVICE_INTERFACE_DETAIL_DATA_W in a 32-bit process: the size field and
// the first unit of the path.
const DWORD kDetailFixedSize = 6;
const DWORD kDetailPathOffset = 4;
// The path must fit the buffer Windows asked for; anything larger is not a detail record.
const DWORD kDetailMaxSize = 64 * 1024;

// A control device to ask, and its answer: the job's data in the walk.
struct VersionJob {
    uint32_t answer;  // its place among the answers
    wchar_t path[DRIVER_CONTROL_PATH_UNITS + 1];
    int32_t result;
    uint32_t version;
};

int32_t resultOf(DeviceRequestOutcome outcome) {
    switch (outcome) {
    case REQUEST_DONE_AT_ONCE:
    case REQUEST_DONE_LATER:
    case REQUEST_DONE_AFTER_CANCEL:
        return DRIVER_ANSWERED;
    case REQUEST_TIMED_OUT:
    case REQUEST_GAVE_UP:
        return DRIVER_NOT_RESPONDING;
    default:
        // A driver that rejects the request leaves the version at 0, which reads as not
        // installed.
        return DRIVER_ANSWERED;
    }
}

// On a walker: open, ask, close, each a call the walk watches.
void askVersion(DriverJob* walkJob, void* data) {
    VersionJob* job = static_cast<VersionJob*>(data);
    const DriverControlApi& api = g_driverControlApi;
    job->result = DRIVER_NOT_FOUND;
    job->version = 0;
    Handle device;
    {
        // Overlapped, so that a request the driver leaves pending can be given up.
        const DriverCall open(walkJob);
        if (!open.wanted()) return;
        device.reset(api.createFileW(job->path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                     FILE_FLAG_OVERLAPPED, NULL),
                     api.request.closeHandle);
    }
    if (!device.valid()) return;
    uint32_t version = 0;
    DWORD bytes = 0, error = 0;
    {
        const DriverCall request(walkJob);
        if (request.wanted()) {
            // No input; the answer is one 32-bit version.
            job->result = resultOf(sendDeviceRequest(api.request, device.get(), IOCTL_DRIVER_GET_VERSION, NULL, 0,
                                                     &version, sizeof(version), DEVICE_REQUEST_WAIT_MS, &bytes, &error,
                                                     request.pendingHook()));
            if (job->result == DRIVER_ANSWERED) job->version = version;
        }
    }
    const DriverCall close(walkJob);
    device.reset();
}

size_t jobBytes() { return (sizeof(VersionJob) + 7u) & ~size_t(7); }

// Before the walk, on the thread that runs it: SetupAPI finds the devices, no driver is called.
void addVersionJobs(DriverWalk* walk, void* context) {
    DriverVersionJobs* versions = static_cast<DriverVersionJobs*>(context);
    versions->firstJob = walk->jobCount();
    versions->jobCount = 0;
    for (uint32_t i = 0; i < versions->count; ++i) {
        DriverVersionAnswer& answer = versions->answers[i];
        answer.result = DRIVER_NOT_FOUND;
        answer.version = 0;
        wchar_t path[DRIVER_CONTROL_PATH_UNITS + 1];
        if (!findDriverControl(versions->interfaceGuids[i], path)) continue;
        VersionJob* job = static_cast<VersionJob*>(walk->addJob(askVersion, sizeof(VersionJob)));
        if (!job) {
            answer.result = DRIVER_NOT_RESPONDING;  // present, but cannot be asked
            continue;
        }
        job->answer = i;
        memcpy(job->path, path, sizeof(path));
        ++versions->jobCount;
    }
}

void takeVersionAnswers(const DriverWalk& walk, void* context) {
    DriverVersionJobs* versions = static_cast<DriverVersionJobs*>(context);
    for (uint32_t k = 0; k < versions->jobCount; ++k) {
        const uint32_t number = versions->firstJob + k;
        const VersionJob* job = static_cast<const VersionJob*>(walk.data(number));
        DriverVersionAnswer& answer = versions->answers[job->answer];
        // A job the walk did not see finish was held inside its driver past the deadline, or
        // could not be started.
        answer.result = walk.finished(number) ? job->result : DRIVER_NOT_RESPONDING;
        answer.version = walk.finished(number) ? job->version : 0;
    }
}

}  // namespace

DriverControlApi g_driverControlApi = kReal;

bool findDriverControl(const GUID& interfaceGuid, wchar_t* path) {
    const DriverControlApi& api = g_driverControlApi;
    path[0] = 0;
    DeviceInfoSet set(api.setupDiGetClassDevsA(&interfaceGuid, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
                      api.setupDiDestroyDeviceInfoList);
    if (!set.valid()) return false;

    SP_DEVICE_INTERFACE_DATA data;
    ZeroMemory(&data, sizeof(data));
    data.cbSize = sizeof(data);  // 28
    if (!api.setupDiEnumDeviceInterfaces(set.get(), NULL, &interfaceGuid, 0, &data)) return false;

    DWORD required = 0;
    api.setupDiGetDeviceInterfaceDetailW(set.get(), &data, NULL, 0, &required, NULL);
    if (required < kDetailFixedSize || required > kDetailMaxSize) return false;
    // Room for a terminator of our own, whatever the answer holds.
    HeapBlock buffer(size_t(required) + sizeof(wchar_t));
    if (!buffer.get()) return false;
    PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail = buffer.as<SP_DEVICE_INTERFACE_DETAIL_DATA_W>();
    detail->cbSize = kDetailFixedSize;
    if (!api.setupDiGetDeviceInterfaceDetailW(set.get(), &data, detail, required, NULL, NULL)) return false;
    const size_t units = (required - kDetailPathOffset) / sizeof(wchar_t);
    detail->DevicePath[units] = 0;
    // A device path is opened as it is, whole, or not at all.
    if (wcslen(detail->DevicePath) > DRIVER_CONTROL_PATH_UNITS) return false;
    copyText(path, detail->DevicePath, DRIVER_CONTROL_PATH_UNITS + 1);
    return path[0] != 0;
}

DriverJobs driverVersionJobs(DriverVersionJobs* versions) {
    const DriverJobs jobs = {versions->count, versions->count * jobBytes(), addVersionJobs, takeVersionAnswers,
                             versions};
    return jobs;
}
