#include <gtest/gtest.h>

#include <string>

#include "app/network_path.h"
#include "support/golden.h"
#include "support/test_files.h"

namespace {

// Paths as an endpoint's icon path may hold them, with the current folder on a drive.
TEST(NamesAnotherMachine, EveryFormOfAServerPathAndOnlyThose) {
    const struct {
        const wchar_t* path;
        bool anotherMachine;
    } cases[] = {
        {L"\\\\server\\share\\x.ico,-3", true},
        {L"//server/share/x.ico", true},
        {L"\\/server\\share\\x.ico", true},
        {L"\\\\server", true},
        {L"\\\\?\\UNC\\server\\share\\x.ico", true},
        {L"\\\\.\\UNC\\server\\share\\x.ico", true},
        {L"//?/UNC/server/share/x.ico", true},
        {L"\\??\\UNC\\server\\share\\x.ico", true},
        {L"\\\\.\\C:\\..\\UNC\\server\\share\\x.ico", true},  // ".." climbs out of the drive
        {L"\\\\?\\GLOBALROOT\\Device\\Mup\\server\\share\\x.ico", true},
        {L"\\\\.\\pipe\\x", true},
        {L"C:\\Windows\\System32\\mmres.dll,-3004", false},
        {L"c:/windows/x.ico", false},
        {L"Z:\\a mapped drive\\x.ico", false},  // the user's own, like a substituted one
        {L"\\\\?\\C:\\x.ico", false},
        {L"\\\\.\\c:\\x.ico", false},
        {L"\\??\\C:\\x.ico", false},
        {L"\\windows\\x.ico", false},  // the current drive's root
        {L"x.ico", false},
        {L"", false},
        {nullptr, false},
    };
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\windows"));
    for (const auto& c : cases)
        EXPECT_EQ(c.anotherMachine, namesAnotherMachine(c.path)) << toUtf8(c.path ? c.path : L"(null)");
    // A path whose full form is too long to resolve is not known to stay on this machine: never
    // opened. Such is a drive-relative one on a drive whose current folder (kept in "=D:") is long.
    const std::wstring deep = L"C:\\" + std::wstring(1100, L'a') + L"\\x.ico";
    EXPECT_TRUE(namesAnotherMachine(deep.c_str()));
    ASSERT_TRUE(SetEnvironmentVariableW(L"=D:", (L"D:\\" + std::wstring(1100, L'd')).c_str()));
    EXPECT_TRUE(namesAnotherMachine(L"D:x.ico"));
    SetEnvironmentVariableW(L"=D:", NULL);
    EXPECT_FALSE(namesAnotherMachine(L"D:x.ico"));
    // A relative path leads to a server when the current folder is on one.
    const std::wstring share = wineShareFolder(L"hvserver", L"current");
    ASSERT_FALSE(share.empty());
    ASSERT_TRUE(SetCurrentDirectoryW(L"\\\\hvserver\\current"));
    EXPECT_TRUE(namesAnotherMachine(L"x.ico"));
    EXPECT_TRUE(namesAnotherMachine(L"\\x.ico"));
    EXPECT_FALSE(namesAnotherMachine(L"C:x.ico"));
    SetCurrentDirectoryW(saved);
}

}  // namespace
