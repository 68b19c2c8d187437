#include <gtest/gtest.h>

#include <string>

#include "sources/services/audio_services.h"
#include "support/planted_evidence.h"
#include "support/saved_table.h"

namespace {

TEST(AudioServices, AsTheServiceManagerTellsThem) {
    AudioServices services;
    readAudioServices(true, &services);
    EXPECT_EQ(AUDIO_SERVICE_MISSING, services.audio);  // Wine has neither
    EXPECT_EQ(AUDIO_SERVICE_MISSING, services.endpointBuilder);
    PlantedService audio(L"AudioSrv", false), builder(L"AudioEndpointBuilder", true);
    ASSERT_TRUE(audio.created() && builder.created());
    readAudioServices(true, &services);
    EXPECT_EQ(AUDIO_SERVICE_STOPPED, services.audio);
    EXPECT_EQ(AUDIO_SERVICE_DISABLED, services.endpointBuilder);
    readAudioServices(false, &services);  // before Windows Vista
    EXPECT_EQ(AUDIO_SERVICE_NOT_ASKED, services.endpointBuilder);
}

// A running service, and one the manager will not tell of, through the table of calls; the
// rights asked for, which a standard user has.
DWORD g_rightsAsked = 0;
SC_HANDLE WINAPI openService(SC_HANDLE, LPCWSTR name, DWORD access) {
    g_rightsAsked |= access;
    if (std::wstring(name) == L"AudioSrv") return reinterpret_cast<SC_HANDLE>(1);
    SetLastError(ERROR_ACCESS_DENIED);
    return NULL;
}
BOOL WINAPI queryRunning(SC_HANDLE, LPSERVICE_STATUS status) {
    status->dwCurrentState = SERVICE_RUNNING;
    return TRUE;
}
BOOL WINAPI closeHandle(SC_HANDLE) { return TRUE; }

TEST(AudioServices, RunningAndUnreadable) {
    AudioServices services;
    {
        const SavedTable<ServiceApi> saved(g_serviceApi);
        g_serviceApi.openServiceW = openService;
        g_serviceApi.queryServiceStatus = queryRunning;
        g_serviceApi.closeServiceHandle = closeHandle;
        readAudioServices(true, &services);
    }
    EXPECT_EQ(AUDIO_SERVICE_RUNNING, services.audio);
    EXPECT_EQ(AUDIO_SERVICE_UNREADABLE, services.endpointBuilder);
    EXPECT_EQ(DWORD(SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG), g_rightsAsked);
}

}  // namespace
