#include "app/windows_places.h"

#include <stdio.h>
#include <wchar.h>

#include "app/resource_ids.h"
#include "base/text.h"

WindowsPlaceCalls g_windowsPlaceCalls = {ShellExecuteExW, GetSystemDirectoryW};

namespace {

struct PlaceRow {
    WindowsPlace place;
    int command;
    const wchar_t* program;    // in the system folder
    const wchar_t* argument;   // a console in the system folder (quoted), or a control panel item
    bool argumentIsInSystemFolder;
    const wchar_t* name;       // as the steps call it
};

const PlaceRow kPlaces[] = {
    {PLACE_SOUND_PANEL, CMD_OPEN_SOUND_PANEL, L"control.exe", L"mmsys.cpl", false, L"the Sound control panel"},
    {PLACE_DEVICE_MANAGER, CMD_OPEN_DEVICE_MANAGER, L"mmc.exe", L"devmgmt.msc", true, L"Device Manager"},
    {PLACE_SERVICES, CMD_OPEN_SERVICES, L"mmc.exe", L"services.msc", true, L"Services"},
};

const PlaceRow* rowOf(WindowsPlace place) {
    for (const PlaceRow& row : kPlaces)
        if (row.place == place) return &row;
    return NULL;
}

}  // namespace

void offerWindowsPlaces(HMENU menu, uint32_t places) {
    for (const PlaceRow& row : kPlaces)
        EnableMenuItem(menu, row.command, MF_BYCOMMAND | ((places & row.place) ? MF_ENABLED : MF_GRAYED));
}

WindowsPlace placeOfCommand(int command) {
    for (const PlaceRow& row : kPlaces)
        if (row.command == command) return row.place;
    return PLACE_NONE;
}

bool openWindowsPlace(HWND owner, WindowsPlace place) {
    const PlaceRow* row = rowOf(place);
    if (!row) return false;
    wchar_t folder[MAX_PATH];
    const UINT length = g_windowsPlaceCalls.getSystemDirectory(folder, MAX_PATH);
    wchar_t program[MAX_PATH + 32], argument[MAX_PATH + 32];
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (length > 0 && length < MAX_PATH) {
        _snwprintf(program, MAX_PATH + 32, L"%ls\\%ls", folder, row->program);
        program[MAX_PATH + 31] = 0;
        if (row->argumentIsInSystemFolder) _snwprintf(argument, MAX_PATH + 32, L"\"%ls\\%ls\"", folder, row->argument);
        else _snwprintf(argument, MAX_PATH + 32, L"%ls", row->argument);
        argument[MAX_PATH + 31] = 0;
        SHELLEXECUTEINFOW info;
        ZeroMemory(&info, sizeof(info));
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_FLAG_NO_UI;
        info.hwnd = owner;
        info.lpFile = program;
        info.lpParameters = argument;
        info.lpDirectory = folder;  // never the checker's folder, which a download may share
        info.nShow = SW_SHOWNORMAL;
        if (g_windowsPlaceCalls.shellExecuteEx(&info)) return true;
        error = GetLastError();
        if (error == ERROR_CANCELLED) return false;  // the user said no to the elevation prompt
    }
    wchar_t message[256], text[512];
    windowsMessage(error, message, 256);
    _snwprintf(text, 512, L"Windows could not open %ls: %ls\n\nThe steps in What To Do say how to open it by hand.",
               row->name, message);
    text[511] = 0;
    MessageBoxW(owner, text, L"What To Do", MB_ICONWARNING);
    return false;
}
