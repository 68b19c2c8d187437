#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/windows_places.h"
#include "support/saved_table.h"

namespace {

struct Started {
    std::wstring file, parameters, directory;
    bool verb;
};
std::vector<Started> g_started;
DWORD g_failure;

BOOL WINAPI fakeShellExecuteEx(SHELLEXECUTEINFOW* info) {
    g_started.push_back({info->lpFile, info->lpParameters ? info->lpParameters : L"",
                         info->lpDirectory ? info->lpDirectory : L"", info->lpVerb != NULL});
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
    EXPECT_TRUE(openWindowsPlace(NULL, placeOfCommand(83)));
    EXPECT_TRUE(openWindowsPlace(NULL, placeOfCommand(84)));
    EXPECT_TRUE(openWindowsPlace(NULL, placeOfCommand(85)));
    EXPECT_FALSE(openWindowsPlace(NULL, placeOfCommand(86)));
    g_failure = ERROR_CANCELLED;
    EXPECT_FALSE(openWindowsPlace(NULL, PLACE_SERVICES));
    const std::wstring folder = L"C:\\WINDOWS\\system32";
    const std::vector<std::vector<std::wstring>> expected = {
        {folder + L"\\control.exe", L"mmsys.cpl"},
        {folder + L"\\mmc.exe", L"\"" + folder + L"\\devmgmt.msc\""},
        {folder + L"\\mmc.exe", L"\"" + folder + L"\\services.msc\""},
        {folder + L"\\mmc.exe", L"\"" + folder + L"\\services.msc\""},
    };
    ASSERT_EQ(expected.size(), g_started.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i][0], g_started[i].file) << i;
        EXPECT_EQ(expected[i][1], g_started[i].parameters) << i;
        EXPECT_EQ(folder, g_started[i].directory) << i;
        EXPECT_FALSE(g_started[i].verb) << i;
    }
}

}  // namespace
