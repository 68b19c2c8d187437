#include "sources/services/audio_services.h"

namespace {

const ServiceApi kReal = {OpenSCManagerW, OpenServiceW, QueryServiceStatus, QueryServiceConfigW, CloseServiceHandle};

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

AudioServiceState readService(SC_HANDLE manager, const wchar_t* name) {
    const ServiceApi& api = g_serviceApi;
    ServiceHandle service(api.openServiceW(manager, name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    if (!service.get())
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? AUDIO_SERVICE_MISSING : AUDIO_SERVICE_UNREADABLE;
    SERVICE_STATUS status;
    ZeroMemory(&status, sizeof(status));
    if (!api.queryServiceStatus(service.get(), &status)) return AUDIO_SERVICE_UNREADABLE;
    if (status.dwCurrentState == SERVICE_RUNNING) return AUDIO_SERVICE_RUNNING;
    // The configuration tells a disabled service from a stopped one; its strings follow the
    // fixed part, so the block is larger than the record.
    union {
        QUERY_SERVICE_CONFIGW config;
        BYTE bytes[8192];
    } block;
    DWORD needed = 0;
    if (api.queryServiceConfigW(service.get(), &block.config, sizeof(block), &needed) &&
        block.config.dwStartType == SERVICE_DISABLED)
        return AUDIO_SERVICE_DISABLED;
    return AUDIO_SERVICE_STOPPED;
}

}  // namespace

ServiceApi g_serviceApi = kReal;

void readAudioServices(bool endpointBuilderExists, AudioServices* services) {
    services->audio = services->endpointBuilder = AUDIO_SERVICE_NOT_ASKED;
    ServiceHandle manager(g_serviceApi.openSCManagerW(NULL, NULL, SC_MANAGER_CONNECT));
    if (!manager.get()) {
        services->audio = AUDIO_SERVICE_UNREADABLE;
        if (endpointBuilderExists) services->endpointBuilder = AUDIO_SERVICE_UNREADABLE;
        return;
    }
    services->audio = readService(manager.get(), L"AudioSrv");
    if (endpointBuilderExists) services->endpointBuilder = readService(manager.get(), L"AudioEndpointBuilder");
}

bool audioServiceDown(AudioServiceState state) {
    return state == AUDIO_SERVICE_STOPPED || state == AUDIO_SERVICE_DISABLED || state == AUDIO_SERVICE_MISSING;
}
