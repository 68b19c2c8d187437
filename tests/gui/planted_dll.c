/* Stands in for a DLL someone left beside the checker in a Downloads folder, copied there as
   winmm.dll, ksuser.dll, wintrust.dll and oleacc.dll. Loaded into a process, it leaves
   "<its own path>.mark" beside itself. It exports what checkers import or look up from those DLLs,
   so that a checker that would load it starts and runs with it as it would with the real one (no
   wave devices, no accessible object). */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        WCHAR path[MAX_PATH + 8];
        const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcatW(path, L".mark");
            HANDLE mark = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
        }
    }
    return TRUE;
}

__declspec(dllexport) UINT WINAPI waveInGetNumDevs(void) { return 0; }
__declspec(dllexport) UINT WINAPI waveOutGetNumDevs(void) { return 0; }
__declspec(dllexport) UINT WINAPI waveInGetDevCapsW(UINT_PTR id, void* caps, UINT size) { return 2; }
__declspec(dllexport) UINT WINAPI waveOutGetDevCapsW(UINT_PTR id, void* caps, UINT size) { return 2; }
__declspec(dllexport) UINT WINAPI timeBeginPeriod(UINT period) { return 0; }
__declspec(dllexport) UINT WINAPI timeEndPeriod(UINT period) { return 0; }
__declspec(dllexport) DWORD WINAPI KsCreatePin(HANDLE filter, void* connect, ACCESS_MASK access, HANDLE* pin) {
    return ERROR_NOT_SUPPORTED;
}
__declspec(dllexport) LONG WINAPI WinVerifyTrust(HWND window, GUID* action, void* data) { return 0; }
__declspec(dllexport) LRESULT WINAPI LresultFromObject(const GUID* iid, WPARAM wParam, void* object) { return 0; }
__declspec(dllexport) LONG WINAPI CreateStdAccessibleObject(HWND window, LONG id, const GUID* iid, void** object) {
    return (LONG)0x80004005L;
}
