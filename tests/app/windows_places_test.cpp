#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/windows_places.h"
#include "support/saved_table.h"

namespace {

std::vector<std::wstring> g_started;  // program, parameters, folder and verb of each start
DWORD g_failure;

BOOL WINAPI fakeShellExecuteEx(SHELLEXECUTEINFOW* info) {
    auto text = [](const wchar_t* t) { return std::wstring(t ? t : L"-"); };
    g_started.push_back(text(info->lpFile) + L" | " + text(info->lpParameters) + L" | " + text(info->lpDirectory) +
                        L" | " + text(info->lpVerb));
    SetLastError(g_failure);
    return g_failure == 0;
}
UINT WINAPI fakeSystemDirectory(LPWSTR buffer, UINT size) {
    wcsncpy(buffer, L"C:\\WINDOWS\\system32", size);
    return 19;
}

// Each place by its program in the system folder, started there, never through a name the
// search path or the checker's folder could answer; a cancelled elevation prompt is no failure
// (a box would block this test).
TEST(WindowsPlaces, OpenedFromTheSystemFolder) {
    SavedTable<WindowsPlaceCalls> saved(g_windowsPlaceCalls);
    g_windowsPlaceCalls = {fakeShellExecuteEx, fakeSystemDirectory};
    g_started.clear();
    g_failure = 0;
    for (int command : {83, 84, 85}) EXPECT_TRUE(openWindowsPlace(NULL, placeOfCommand(command))) << command;
    EXPECT_FALSE(openWindowsPlace(NULL, placeOfCommand(86)));
    g_failure = ERROR_CANCELLED;
    EXPECT_FALSE(openWindowsPlace(NULL, PLACE_SERVICES));
    const std::wstring mmc = L"C:\\WINDOWS\\system32\\mmc.exe | \"C:\\WINDOWS\\system32\\";
    EXPECT_EQ((std::vector<std::wstring>{
                  L"C:\\WINDOWS\\system32\\control.exe | mmsys.cpl | C:\\WINDOWS\\system32 | -",
                  mmc + L"devmgmt.msc\" | C:\\WINDOWS\\system32 | -",
                  mmc + L"services.msc\" | C:\\WINDOWS\\system32 | -",
                  mmc + L"services.msc\" | C:\\WINDOWS\\system32 | -",
              }),
              g_started);
}

}  // namespace
