// The state of the Windows Audio services, asked of the service manager with query rights only.
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
