// Entry point of the checker.
#include <windows.h>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/device_list_panel.h"
#include "app/main_window.h"
#include "app/mini_list_view.h"
#include "base/product.h"
#include "app/wow64.h"
#include "report/system_identification.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    parseCommandLine(commandLine, &g_app);
    g_app.is64BitWindows = detectWow64();
    resetWindowState(&g_app);
    g_app.instance = instance;
    g_app.collectionOptions = DEFAULT_COLLECTION_OPTIONS;
    identifyOs(&g_app.os);
    g_app.exitCode = -1;

    createPanelResources();
    registerMiniListViewClass(instance);

    const char title[] = PRODUCT_NAME " (" PRODUCT_VERSION ")";
    if (createMainWindow(instance, title)) {
        MSG message;
        while (GetMessageA(&message, NULL, 0, 0)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    deletePanelResources();
    unregisterMiniListViewClass(instance);
    return g_app.exitCode;
}
