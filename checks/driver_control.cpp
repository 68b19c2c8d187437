#include "checks/driver_control.h"

#include "base/device_request.h"
#include "base/owners.h"

namespace {

// How long the version requests may take before they are cancelled, and again after the cancel.
const DWORD DRIVER_REQUEST_WAIT_MS = 1000;
// How long a test waits for the thread that asks: twice the requests' whole wait.
const DWORD DRIVER_JOB_WAIT_MS = 4 * DRIVER_REQUEST_WAIT_MS;

const DriverControlApi kReal = {
    SetupDiGetClassDevsA, SetupDiEnumDeviceInterfaces, SetupDiGetDeviceInterfaceDetailA,
    SetupDiDestroyDeviceInfoList, CreateFileA,
    {CreateEventA, DeviceIoControl, GetLastError, WaitForSingleObject, CancelIo, GetOverlappedResult, CloseHandle,
     GetTickCount},
    CreateThread,
};

// The fixed part of SP_DEVICE_INTERFACE_DETAIL_DATA_A in a 32-bit process: the size field and
// the first character of the path.
const DWORD kDetailFixedSize = 5;
// The path must fit the buffer Windows asked for; anything larger is not a detail record.
const DWORD kDetailMaxSize = 64 * 1024;
}  // namespace

// Shared by the thread that asks and the test that collects: the last of the two to let go of it
// frees it, so that a thread held inside a driver never writes into freed memory.
struct DriverVersionJob {
    GUID interfaceGuids[DRIVER_REQUEST_BATCH];
    uint32_t count;
    DriverVersionAnswer answers[DRIVER_REQUEST_BATCH];
    HANDLE answered;
    LONG holders;
};

namespace {

void letGo(DriverVersionJob* job) {
    if (InterlockedDecrement(&job->holders) != 0) return;
    CloseHandle(job->answered);
    heapRelease(job);
}

DWORD WINAPI askOnItsThread(LPVOID parameter) {
    DriverVersionJob* job = static_cast<DriverVersionJob*>(parameter);
    askDriverVersions(job->interfaceGuids, job->count, job->answers);
    SetEvent(job->answered);
    letGo(job);
    return 0;
}

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

void askDriverVersions(const GUID* interfaceGuids, uint32_t count, DriverVersionAnswer* answers) {
    const DriverControlApi& api = g_driverControlApi;
    for (uint32_t first = 0; first < count; first += DRIVER_REQUEST_BATCH) {
        const uint32_t batch = count - first < DRIVER_REQUEST_BATCH ? count - first : DRIVER_REQUEST_BATCH;
        Handle devices[DRIVER_REQUEST_BATCH];
        DeviceRequest requests[DRIVER_REQUEST_BATCH];
        uint32_t versions[DRIVER_REQUEST_BATCH] = {0};
        uint32_t asked[DRIVER_REQUEST_BATCH];  // the answer each request is for
        uint32_t sent = 0;
        for (uint32_t i = first; i < first + batch; ++i) {
            answers[i].result = DRIVER_NOT_FOUND;
            answers[i].version = 0;
            devices[sent].reset(openDriverControl(interfaceGuids[i]), api.request.closeHandle);
            if (!devices[sent].valid()) continue;
            // No input; the answer is one 32-bit version.
            const DeviceRequest request = {devices[sent].get(), IOCTL_DRIVER_GET_VERSION, NULL, 0, &versions[sent],
                                           sizeof(versions[sent]), REQUEST_NO_MEMORY, 0, 0};
            requests[sent] = request;
            asked[sent++] = i;
        }
        sendDeviceRequests(api.request, requests, sent, DRIVER_REQUEST_WAIT_MS);
        for (uint32_t k = 0; k < sent; ++k) {
            DriverVersionAnswer& answer = answers[asked[k]];
            switch (requests[k].outcome) {
            case REQUEST_DONE_AT_ONCE:
            case REQUEST_DONE_LATER:
            case REQUEST_DONE_AFTER_CANCEL:
                answer.result = DRIVER_ANSWERED;
                answer.version = versions[k];
                break;
            case REQUEST_TIMED_OUT:
            case REQUEST_GAVE_UP:
                answer.result = DRIVER_NOT_RESPONDING;
                break;
            default:
                // A driver that rejects the request leaves the version at 0, which reads as
                // not installed.
                answer.result = DRIVER_ANSWERED;
                break;
            }
        }
    }
}


DriverVersionJob* startDriverVersions(const GUID* interfaceGuids, uint32_t count) {
    if (count > DRIVER_REQUEST_BATCH) return NULL;
    DriverVersionJob* job =
        static_cast<DriverVersionJob*>(heapAllocateZeroed(sizeof(DriverVersionJob)));
    if (!job) return NULL;
    for (uint32_t i = 0; i < count; ++i) job->interfaceGuids[i] = interfaceGuids[i];
    job->count = count;
    job->holders = 2;
    job->answered = CreateEventW(NULL, TRUE, FALSE, NULL);
    // A small stack: the thread only asks the drivers.
    HANDLE thread = job->answered ? g_driverControlApi.createThread(NULL, 64 * 1024, askOnItsThread, job,
                                                                    STACK_SIZE_PARAM_IS_A_RESERVATION, NULL)
                                  : NULL;
    if (!thread) {
        if (job->answered) CloseHandle(job->answered);
        heapRelease(job);
        return NULL;
    }
    CloseHandle(thread);
    return job;
}

void collectDriverVersions(DriverVersionJob* job, const GUID* interfaceGuids, uint32_t count,
                           DriverVersionAnswer* answers) {
    if (!job) {
        askDriverVersions(interfaceGuids, count, answers);
        return;
    }
    const bool answered = WaitForSingleObject(job->answered, DRIVER_JOB_WAIT_MS) == WAIT_OBJECT_0;
    for (uint32_t i = 0; i < count; ++i) {
        if (answered && i < job->count) {
            answers[i] = job->answers[i];
        } else {
            answers[i].result = DRIVER_NOT_RESPONDING;
            answers[i].version = 0;
        }
    }
    letGo(job);
}
