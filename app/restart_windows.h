// Restarting Windows, which a cause or a fix needs to finish: only in the window, only after the
// user says yes, and never from a hidden run (a fleet tool schedules it from the JSON report).
#pragma once

#include <windows.h>

// The calls, which tests swap: the shutdown privilege, and the restart itself (InitiateShutdownW
// from Windows Vista on, ERROR_CALL_NOT_IMPLEMENTED before; ExitWindowsEx there).
struct RestartCalls {
    BOOL(WINAPI* openProcessToken)(HANDLE process, DWORD access, PHANDLE token);
    BOOL(WINAPI* lookupPrivilegeValueW)(LPCWSTR system, LPCWSTR name, PLUID luid);
    BOOL(WINAPI* adjustTokenPrivileges)(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES privileges, DWORD size,
                                        PTOKEN_PRIVILEGES previous, PDWORD returned);
    DWORD(WINAPI* initiateShutdownW)(LPWSTR machine, LPWSTR message, DWORD gracePeriod, DWORD flags, DWORD reason);
    BOOL(WINAPI* exitWindowsEx)(UINT flags, DWORD reason);
};
extern RestartCalls g_restartCalls;

// The reason Windows records: a planned restart to finish an application's installation.
const DWORD RESTART_REASON = 0x80000000u /* SHTDN_REASON_FLAG_PLANNED */ | 0x00040000u /* MAJOR_APPLICATION */ |
                             0x00000002u /* MINOR_INSTALLATION */;

// Asks Windows to restart, with the reason above and without forcing other programs closed.
// False when Windows refused (*error: its reason).
bool restartWindows(DWORD* error);
// In the window: asks whether to restart now, and restarts on Yes; a refusal is told in a box.
void offerRestart(HWND owner, const wchar_t* why);
