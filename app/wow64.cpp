#include "app/wow64.h"

#include <windows.h>

int32_t detectWow64() {
    typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleA("Kernel32.dll");
    if (!kernel) return 0;
    IsWow64ProcessFn isWow64Process = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    if (!isWow64Process) return 0;
    HANDLE process = GetCurrentProcess();
    if (!process) return 0;
    BOOL wow64 = FALSE;
    if (!isWow64Process(process, &wow64)) return 0;
    return wow64 ? 1 : 0;
}
