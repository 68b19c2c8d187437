// The state of the Windows Audio services, asked of the service manager with query rights only;
// and, on a fix the user agreed to, one of them started again.
#pragma once

#include <windows.h>
#include <stdint.h>

// The service manager calls: the real ones in the product; tests stand in for services the
// machine cannot run.
struct ServiceApi {
    SC_HANDLE(WINAPI* openSCManagerW)(LPCWSTR machine, LPCWSTR database, DWORD access);
    SC_HANDLE(WINAPI* openServiceW)(SC_HANDLE manager, LPCWSTR name, DWORD access);
    BOOL(WINAPI* queryServiceStatus)(SC_HANDLE service, LPSERVICE_STATUS status);
    BOOL(WINAPI* queryServiceConfigW)(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config, DWORD size,
                                      LPDWORD needed);
    BOOL(WINAPI* closeServiceHandle)(SC_HANDLE handle);
    // The fix's calls.
    BOOL(WINAPI* changeServiceConfigW)(SC_HANDLE service, DWORD type, DWORD start, DWORD errorControl,
                                       LPCWSTR binaryPath, LPCWSTR loadOrderGroup, LPDWORD tagId,
                                       LPCWSTR dependencies, LPCWSTR startName, LPCWSTR password,
                                       LPCWSTR displayName);
    BOOL(WINAPI* startServiceW)(SC_HANDLE service, DWORD argumentCount, LPCWSTR* arguments);
};
extern ServiceApi g_serviceApi;

enum AudioServiceState : int32_t {
    AUDIO_SERVICE_NOT_ASKED = 0,  // the service does not exist on this release (or no pass asked)
    AUDIO_SERVICE_RUNNING = 1,
    AUDIO_SERVICE_STOPPED = 2,    // not running (stopped, paused, starting or stopping)
    AUDIO_SERVICE_DISABLED = 3,   // not running, and its start is disabled
    AUDIO_SERVICE_MISSING = 4,    // the service manager does not know it
    AUDIO_SERVICE_UNREADABLE = 5, // the service manager did not tell (no rights, or no manager)
};

struct AudioServices {
    AudioServiceState audio;            // "AudioSrv", Windows Audio
    AudioServiceState endpointBuilder;  // "AudioEndpointBuilder", Windows Vista and later
};

// Both services' states; the endpoint builder only where the release has one.
void readAudioServices(bool endpointBuilderExists, AudioServices* services);
// The service stops the device lists that depend on it: anything but running (not asked is not
// known, and unreadable is not known either).
bool audioServiceDown(AudioServiceState state);

// The two services by the names the service manager knows them.
extern const wchar_t AUDIO_SERVICE_NAME[];             // "AudioSrv"
extern const wchar_t ENDPOINT_BUILDER_SERVICE_NAME[];  // "AudioEndpointBuilder"

// What starting a service again did: its state before and after, whether its start type was
// put back from disabled to automatic (and back to disabled when the start was refused), and
// Windows' reason where it failed (ERROR_SERVICE_REQUEST_TIMEOUT: still not running at the
// deadline).
struct ServiceRepair {
    AudioServiceState before;
    AudioServiceState after;
    bool startTypeChanged;
    bool startTypeRestored;
    DWORD error;
};
// Starts the service (a disabled one first set to start automatically, Windows' own default for
// both audio services) and waits until it runs, at most waitMs. Nothing else of the service is
// changed, and a missing service is never created. Asks for the rights it needs only; may wait,
// so it is for a worker thread.
void repairAudioService(const wchar_t* name, DWORD waitMs, ServiceRepair* repair);
