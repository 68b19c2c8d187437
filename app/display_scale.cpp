#include "app/display_scale.h"

namespace {

typedef UINT(WINAPI* GetDpiForWindowFunction)(HWND);
typedef BOOL(WINAPI* EnableNonClientDpiScalingFunction)(HWND);

// user32 is loaded already (the program imports it); nothing is loaded by name here.
FARPROC user32Function(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? GetProcAddress(user32, name) : NULL;
}

// A DPI Windows reports is used only when it is a plausible one.
int sane(int dpi) { return dpi >= 48 && dpi <= 960 ? dpi : DESIGN_DPI; }

}  // namespace

int systemDpi() {
    HDC screen = GetDC(NULL);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(NULL, screen);
    return sane(dpi);
}

int windowDpi(HWND window) {
    // Looked up once; a plain flag rather than a guarded static, which would pull the C++
    // runtime's locking into the program.
    static bool looked = false;
    static GetDpiForWindowFunction getDpiForWindow = NULL;
    if (!looked) {
        getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void*>(user32Function("GetDpiForWindow")));
        looked = true;
    }
    if (getDpiForWindow && window) return sane(int(getDpiForWindow(window)));
    return systemDpi();
}

void enableNonClientScaling(HWND window) {
    const EnableNonClientDpiScalingFunction enable = reinterpret_cast<EnableNonClientDpiScalingFunction>(
        reinterpret_cast<void*>(user32Function("EnableNonClientDpiScaling")));
    if (enable) enable(window);
}
