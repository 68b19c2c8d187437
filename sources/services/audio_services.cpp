#include "sources/services/audio_services.h"

namespace {

const ServiceApi kReal = {OpenSCManagerW,     OpenServiceW,        QueryServiceStatus, QueryServiceConfigW,
                          CloseServiceHandle, ChangeServiceConfigW, StartServiceW};

// A service manager handle, closed once.
class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ~ServiceHandle() {
        if (handle_) g_serviceApi.closeServiceHandle(handle_);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE get() const { return handle_; }

private:
    SC_HANDLE handle_;
};

// The state of an open service, opened with query rights at least.
AudioServiceState stateOf(SC_HANDLE service) {
    const ServiceApi& api = g_serviceApi;
    SERVICE_STATUS status;
    ZeroMemory(&status, sizeof(status));
    if (!api.queryServiceStatus(service, &status)) return AUDIO_SERVICE_UNREADABLE;
    if (status.dwCurrentState == SERVICE_RUNNING) return AUDIO_SERVICE_RUNNING;
    // The configuration tells a disabled service from a stopped one; its strings follow the
    // fixed part, so the block is larger than the record.
    union {
        QUERY_SERVICE_CONFIGW config;
        BYTE bytes[8192];
    } block;
    DWORD needed = 0;
    if (api.queryServiceConfigW(service, &block.config, sizeof(block), &needed) &&
        block.config.dwStartType == SERVICE_DISABLED)
        return AUDIO_SERVICE_DISABLED;
    return AUDIO_SERVICE_STOPPED;
}

AudioServiceState readService(SC_HANDLE manager, const wchar_t* name) {
    ServiceHandle service(g_serviceApi.openServiceW(manager, name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    if (!service.get())
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? AUDIO_SERVICE_MISSING : AUDIO_SERVICE_UNREADABLE;
    return stateOf(service.get());
}

bool setStartType(SC_HANDLE service, DWORD start) {
    return g_serviceApi.changeServiceConfigW(service, SERVICE_NO_CHANGE, start, SERVICE_NO_CHANGE, NULL, NULL, NULL,
                                             NULL, NULL, NULL, NULL) != FALSE;
}

// Waits until the started service runs, as long as it says it is starting, at most waitMs.
AudioServiceState waitUntilRunning(SC_HANDLE service, DWORD waitMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        SERVICE_STATUS status;
        ZeroMemory(&status, sizeof(status));
        if (!g_serviceApi.queryServiceStatus(service, &status)) return AUDIO_SERVICE_UNREADABLE;
        if (status.dwCurrentState == SERVICE_RUNNING) return AUDIO_SERVICE_RUNNING;
        const DWORD spent = GetTickCount() - start;
        if (status.dwCurrentState != SERVICE_START_PENDING || spent >= waitMs) return AUDIO_SERVICE_STOPPED;
        // A tenth of the service's own hint, as Windows' samples wait, within 50 ms and 1 s.
        DWORD pause = status.dwWaitHint / 10;
        pause = pause < 50 ? 50 : pause > 1000 ? 1000 : pause;
        Sleep(pause < waitMs - spent ? pause : waitMs - spent);
    }
}

}  // namespace

ServiceApi g_serviceApi = kReal;

const wchar_t AUDIO_SERVICE_NAME[] = L"AudioSrv";
const wchar_t ENDPOINT_BUILDER_SERVICE_NAME[] = L"AudioEndpointBuilder";

void readAudioServices(bool endpointBuilderExists, AudioServices* services) {
    services->audio = services->endpointBuilder = AUDIO_SERVICE_NOT_ASKED;
    ServiceHandle manager(g_serviceApi.openSCManagerW(NULL, NULL, SC_MANAGER_CONNECT));
    if (!manager.get()) {
        services->audio = AUDIO_SERVICE_UNREADABLE;
        if (endpointBuilderExists) services->endpointBuilder = AUDIO_SERVICE_UNREADABLE;
        return;
    }
    services->audio = readService(manager.get(), AUDIO_SERVICE_NAME);
    if (endpointBuilderExists) services->endpointBuilder = readService(manager.get(), ENDPOINT_BUILDER_SERVICE_NAME);
}

bool audioServiceDown(AudioServiceState state) {
    return state == AUDIO_SERVICE_STOPPED || state == AUDIO_SERVICE_DISABLED || state == AUDIO_SERVICE_MISSING;
}

void repairAudioService(const wchar_t* name, DWORD waitMs, ServiceRepair* repair) {
    ZeroMemory(repair, sizeof(*repair));
    repair->before = repair->after = AUDIO_SERVICE_UNREADABLE;
    const ServiceApi& api = g_serviceApi;
    ServiceHandle manager(api.openSCManagerW(NULL, NULL, SC_MANAGER_CONNECT));
    if (!manager.get()) {
        repair->error = GetLastError();
        return;
    }
    ServiceHandle service(api.openServiceW(
        manager.get(), name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG | SERVICE_START));
    if (!service.get()) {
        repair->error = GetLastError();
        if (repair->error == ERROR_SERVICE_DOES_NOT_EXIST) repair->before = repair->after = AUDIO_SERVICE_MISSING;
        return;
    }
    repair->before = repair->after = stateOf(service.get());
    if (repair->before == AUDIO_SERVICE_RUNNING) return;
    if (repair->before == AUDIO_SERVICE_DISABLED) {
        if (!setStartType(service.get(), SERVICE_AUTO_START)) {
            repair->error = GetLastError();
            return;
        }
        repair->startTypeChanged = true;
    }
    if (!api.startServiceW(service.get(), 0, NULL) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
        repair->error = GetLastError();
        // Refused: the service is left as it was.
        if (repair->startTypeChanged) repair->startTypeRestored = setStartType(service.get(), SERVICE_DISABLED);
        repair->after = stateOf(service.get());
        return;
    }
    repair->after = waitUntilRunning(service.get(), waitMs);
    if (repair->after != AUDIO_SERVICE_RUNNING) {
        repair->after = stateOf(service.get());
        if (repair->after != AUDIO_SERVICE_RUNNING) repair->error = ERROR_SERVICE_REQUEST_TIMEOUT;
    }
}
