/* A service program that does what a service must and nothing else: it runs until it is told to
   stop. The fix tests create the audio services around it, since Wine has none of its own that a
   test may start and stop. */
#include <windows.h>

static SERVICE_STATUS_HANDLE g_handle;
static SERVICE_STATUS g_status;
static HANDLE g_stop;

static DWORD WINAPI control(DWORD code, DWORD type, LPVOID data, LPVOID context) {
    (void)type;
    (void)data;
    (void)context;
    if (code == SERVICE_CONTROL_STOP || code == SERVICE_CONTROL_SHUTDOWN) SetEvent(g_stop);
    return NO_ERROR;
}

static void WINAPI serviceMain(DWORD argc, LPWSTR* argv) {
    (void)argc;
    (void)argv;
    g_handle = RegisterServiceCtrlHandlerExW(L"", control, NULL);
    if (!g_handle) return;
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    g_status.dwCurrentState = SERVICE_RUNNING;
    SetServiceStatus(g_handle, &g_status);
    WaitForSingleObject(g_stop, INFINITE);
    g_status.dwCurrentState = SERVICE_STOPPED;
    SetServiceStatus(g_handle, &g_status);
}

int main(void) {
    SERVICE_TABLE_ENTRYW table[] = {{(LPWSTR)L"", serviceMain}, {NULL, NULL}};
    g_stop = CreateEventW(NULL, TRUE, FALSE, NULL);
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
