#include "app/display_scale.h"

#include "base/owners.h"
#include "base/system_functions.h"

namespace {

// A DPI Windows reports is used only when it is a plausible one.
int sane(int dpi) { return dpi >= 48 && dpi <= 960 ? dpi : DESIGN_DPI; }

}  // namespace

int systemDpi() {
    const WindowDc screen(NULL);
    return sane(screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0);
}

int windowDpi(HWND window) {
    const SystemFunctions& f = systemFunctions();
    if (f.getDpiForWindow && window) return sane(int(f.getDpiForWindow(window)));
    return systemDpi();
}

void enableNonClientScaling(HWND window) {
    if (systemFunctions().enableNonClientDpiScaling) systemFunctions().enableNonClientDpiScaling(window);
}
