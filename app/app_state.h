// The one application state record, alive for the whole process.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "base/log_buffer.h"
#include "report/system_identification.h"
#include "sources/store/endpoint_store.h"

// Options of the audio side, kept for every collection pass.
const uint32_t DEFAULT_COLLECTION_OPTIONS = 0x10020D;

struct AppState {
    int32_t startHidden;
    int32_t showAfterTest;
    int32_t is64BitWindows;
    // Everything from here on is zero-filled at start-up.
    HWND mainWindow;
    HINSTANCE instance;
    uint32_t collectionOptions;
    HFONT logFont;  // held by the main window's owner of it; this is its handle
    OsIdentification os;
    HWND logView;
    LogBuffer log;
    int32_t exitCode;
    int32_t initValue;
    int32_t panelShown;
    HMENU popupMenu;
    int32_t popupTarget;
    EndpointRegistryTable endpointTable;  // rows of the device list panel
};

extern AppState g_app;

// Zero-fills the record from mainWindow on, keeping the switches and the 64-bit flag.
void resetWindowState(AppState* state);

// Posts WM_DESTROY to the main window; the message loop then ends.
void quitApplication();
