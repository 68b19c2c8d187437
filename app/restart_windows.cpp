#include "app/restart_windows.h"

#include <stdio.h>

#include "base/owners.h"
#include "base/system_functions.h"
#include "base/text.h"

namespace {

const DWORD kShutdownRestart = 0x00000004;        // SHUTDOWN_RESTART
const DWORD kShutdownGraceOverride = 0x00000020;  // SHUTDOWN_GRACE_OVERRIDE: no waiting period

// The shutdown privilege, which a process holds but has to switch on.
bool enableShutdownPrivilege() {
    HANDLE token = NULL;
    if (!g_restartCalls.openProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    const Handle owner(token);
    TOKEN_PRIVILEGES privileges;
    ZeroMemory(&privileges, sizeof(privileges));
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!g_restartCalls.lookupPrivilegeValueW(NULL, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        return false;
    // Succeeds also where the privilege is not held; the restart call then says so.
    return g_restartCalls.adjustTokenPrivileges(owner.get(), FALSE, &privileges, 0, NULL, NULL) != FALSE;
}

// Windows Vista's call where Windows has it.
DWORD WINAPI systemInitiateShutdownW(LPWSTR machine, LPWSTR message, DWORD gracePeriod, DWORD flags, DWORD reason) {
    const auto real = systemFunctions().initiateShutdownW;
    return real ? real(machine, message, gracePeriod, flags, reason) : ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

RestartCalls g_restartCalls = {OpenProcessToken, LookupPrivilegeValueW, AdjustTokenPrivileges,
                               systemInitiateShutdownW, ExitWindowsEx};

bool restartWindows(DWORD* error) {
    *error = 0;
    if (!enableShutdownPrivilege()) {
        *error = GetLastError();
        return false;
    }
    *error = g_restartCalls.initiateShutdownW(NULL, NULL, 0, kShutdownRestart | kShutdownGraceOverride, RESTART_REASON);
    if (*error != ERROR_CALL_NOT_IMPLEMENTED) return *error == ERROR_SUCCESS;
    if (g_restartCalls.exitWindowsEx(EWX_REBOOT, RESTART_REASON)) return true;
    *error = GetLastError();
    return false;
}

void offerRestart(HWND owner, const wchar_t* why) {
    wchar_t text[512];
    _snwprintf(text, 512, L"%ls\n\nRestart Windows now? Save your work in other programs first.", why);
    text[511] = 0;
    if (MessageBoxW(owner, text, L"Restart Windows", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) return;
    DWORD error = 0;
    if (restartWindows(&error)) return;
    wchar_t message[256];
    windowsMessage(error, message, 256);
    _snwprintf(text, 512, L"Windows did not restart: %ls (error %lu)\n\nRestart it from the Start menu.", message,
               (unsigned long)error);
    text[511] = 0;
    MessageBoxW(owner, text, L"Restart Windows", MB_ICONWARNING);
}
