// Entry point of the checker.
#include <windows.h>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/device_list_panel.h"
#include "app/main_window.h"
#include "app/mini_list_view.h"
#include "app/program_boxes.h"
#include "app/resource_ids.h"
#include "base/product.h"
#include "base/system_functions.h"
#include "base/system_identification.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything can load a DLL: none may come from the exe's folder or the current one.
    restrictDllSearch();
    // The wide command line, so that a report path outside the ANSI code page survives.
    g_app.switches = parseCommandLine(argumentsOf(GetCommandLineW()));
    if (g_app.switches.showUsage) {
        showUsage();
        return EXIT_USAGE_SHOWN;
    }
    g_app.is64BitWindows = detectWow64();
    resetWindowState(&g_app);
    g_app.instance = instance;
    identifyOs(&g_app.os);
    g_app.exitCode = EXIT_NO_RUN;

    createPanelResources();
    registerMiniListViewClass(instance);

    const char title[] = PRODUCT_NAME " (" PRODUCT_VERSION ")";
    if (HWND window = createMainWindow(instance, title)) {
        // Ctrl+S for "Save Report As...", wherever the focus is in the window.
        HACCEL keys = LoadAcceleratorsA(instance, MAIN_ACCELERATORS_NAME);
        MSG message;
        while (GetMessageA(&message, NULL, 0, 0)) {
            if (keys && TranslateAcceleratorA(window, keys, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    deletePanelResources();
    unregisterMiniListViewClass(instance);
    return g_app.exitCode;
}
