#include <gtest/gtest.h>

#include "driver/checker_driver.h"
#include "support/golden.h"
#include "support/test_files.h"

namespace {

class CommandTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(checker.started());
        ASSERT_NE(nullptr, checker.waitForMainWindow(20000));
        ASSERT_TRUE(checker.waitForFirstReport());
    }

    // Posts a command, expects one message box owned by the main window, checks it and closes it.
    void expectMessageBox(WORD command, const wchar_t* caption, const wchar_t* text) {
        checker.postCommand(command);
        HWND box = checker.waitForDialog(10000);
        ASSERT_NE(nullptr, box) << "no message box for command " << command;
        EXPECT_EQ(checker.mainWindow(), GetWindow(box, GW_OWNER));
        EXPECT_EQ(caption, windowText(box));
        EXPECT_EQ(text, messageBoxText(box));
        EXPECT_TRUE(pressOk(box));
        EXPECT_TRUE(checker.running());
    }

    CheckerProcess checker;
};

TEST_F(CommandTest, AboutBox) {
    expectMessageBox(101, L"About...",
                     L"Halvane Devices Checker\nVersion : 1.0.8.8\nStandalone Application\n\n"
                     L"Check Halvane Driver registration in different devices lists\n"
                     L"and check data consistency from different information sources\n\n"
                     L"See Test CONCLUSION at end of log...\n\n"
                     L"www.halvane.example - www.halvane-audio.example");
}

TEST_F(CommandTest, RegistryErrorBox) {
    expectMessageBox(99, L"Error",
                     L"Cannot write in registry...\nAdministrator mode is required\n\n"
                     L"Run this application in administrator mode...");
}

// The exit code is the last test's error total: 0 here, where nothing of the maker's is installed.
TEST_F(CommandTest, QuitEndsTheProgramWithoutAsking) {
    checker.postCommand(100);
    int32_t exitCode = -1;
    ASSERT_TRUE(checker.waitExit(10000, &exitCode));
    EXPECT_EQ(0, exitCode);
}

TEST_F(CommandTest, QuitTwiceStillEndsCleanly) {
    checker.postCommand(100);
    checker.postCommand(100);
    int32_t exitCode = -1;
    ASSERT_TRUE(checker.waitExit(10000, &exitCode));
    EXPECT_EQ(0, exitCode);
}

TEST_F(CommandTest, CloseBoxEndsTheProgram) {
    PostMessageW(checker.mainWindow(), WM_CLOSE, 0, 0);
    int32_t exitCode = -1;
    ASSERT_TRUE(checker.waitExit(10000, &exitCode));
    EXPECT_EQ(0, exitCode);
}

TEST_F(CommandTest, UnknownIdentifiersChangeNothing) {
    const std::wstring logBefore = checker.logText();
    const std::wstring titleBefore = windowText(checker.mainWindow());
    const size_t windowsBefore = windowsOfProcess(checker.id(), nullptr).size();
    for (WORD command : {61, 0, 98, 102, 199, 202, 359, 500, 65535}) {
        DWORD_PTR result = 0;
        ASSERT_TRUE(SendMessageTimeoutW(checker.mainWindow(), WM_COMMAND, command, 0, SMTO_NORMAL, 5000, &result))
            << "command " << command << " blocked the window";
    }
    EXPECT_EQ(nullptr, checker.waitForDialog(300));
    EXPECT_TRUE(checker.running());
    EXPECT_EQ(logBefore, checker.logText());
    EXPECT_EQ(titleBefore, windowText(checker.mainWindow()));
    EXPECT_EQ(windowsBefore, windowsOfProcess(checker.id(), nullptr).size());
    EXPECT_TRUE(IsWindowVisible(checker.logView()));
}

TEST_F(CommandTest, LaunchTestAgainAppendsASecondReport) {
    const std::wstring first = checker.logText();
    ASSERT_NE(std::wstring::npos, first.find(L"CONCLUSION: OK (nothing bad detected)\r\n"));
    ASSERT_TRUE(checker.sendCommand(60));
    const std::wstring both = checker.logText();
    // The second report follows the first conclusion directly, and is a whole report.
    ASSERT_EQ(first, both.substr(0, first.size()));
    EXPECT_TRUE(matchesGolden(both.substr(first.size()), "empty_machine.txt", "Operating System: ",
                              "Operating System: WIN 7 32Bits Build: 7601"));
    EXPECT_TRUE(IsWindowVisible(checker.mainWindow()));
    checker.postCommand(100);
    int32_t exitCode = -1;
    ASSERT_TRUE(checker.waitExit(10000, &exitCode));
    EXPECT_EQ(0, exitCode);
}

// Chooses a file in the open-file dialog of "Check File Integrity..." and returns the result box.
HWND chooseFileForIntegrityCheck(CheckerProcess& checker, const std::string& path) {
    checker.postCommand(70);
    HWND dialog = checker.waitForDialog(20000);
    if (!dialog) return NULL;
    // The file name field of the open-file dialog (combo box 1148, or edit 1152 in the old style).
    HWND nameField = GetDlgItem(dialog, 1148);
    if (!nameField) nameField = GetDlgItem(dialog, 1152);
    if (!nameField) return NULL;
    std::wstring widePath(path.begin(), path.end());
    SendMessageW(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(widePath.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    if (!waitFor(10000, [dialog] { return !IsWindow(dialog); })) return NULL;
    return checker.waitForDialog(10000);
}

TEST_F(CommandTest, CheckFileIntegrityOfTheCheckerItself) {
    const std::string path = checkerExePath();
    HWND box = chooseFileForIntegrityCheck(checker, path);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"Check File Integrity", windowText(box));
    const std::wstring widePath(path.begin(), path.end());
    EXPECT_EQ(widePath + L"\n\nThe integrity stamp matches: the file is not damaged. The stamp is a checksum, "
                         L"which catches accidental damage but not a deliberate change.\n\nResult: 0\n\n"
                         L"Digital signature: none. Nothing shows who made the file.",
              messageBoxText(box));
    EXPECT_TRUE(pressOk(box));
}

TEST_F(CommandTest, CheckFileIntegrityOfAChangedCopy) {
    TempDirectory dir;
    HANDLE file = CreateFileA(checkerExePath().c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    std::vector<uint8_t> bytes(GetFileSize(file, NULL));
    DWORD got = 0;
    ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, NULL);
    CloseHandle(file);
    bytes[bytes.size() / 2] ^= 0x40;
    const std::string copy = dir.write("changed.exe", bytes);

    HWND box = chooseFileForIntegrityCheck(checker, copy);
    ASSERT_NE(nullptr, box);
    const std::wstring text = messageBoxText(box);
    EXPECT_NE(std::wstring::npos, text.find(L"does not match")) << std::string(text.begin(), text.end());
    EXPECT_NE(std::wstring::npos, text.find(L"Result: -4"));
    EXPECT_TRUE(pressOk(box));
}

// A Downloads folder where someone left DLLs under the names the checker needs (winmm, ksuser,
// wintrust), with Wine told to prefer such DLLs the way Windows does for every name outside
// KnownDLLs. None of them may run in a shown run, through the device list and the integrity
// command, and the report is the one a clean folder gives (the hidden run: downloads_folder.sh).
TEST(PlantedDlls, NeverRunInsideTheChecker) {
    TempDirectory dir;
    const std::wstring folder = dir.widePath();
    const std::wstring exe = folder + L"\\HalvaneDevicesChecker.exe";
    const std::string built = checkerExePath();
    ASSERT_TRUE(CopyFileW(std::wstring(built.begin(), built.end()).c_str(), exe.c_str(), FALSE));
    const std::string planted = programFolder() + "planted_dll.dll";
    for (const wchar_t* name : {L"winmm.dll", L"ksuser.dll", L"wintrust.dll"})
        ASSERT_TRUE(CopyFileW(std::wstring(planted.begin(), planted.end()).c_str(), (folder + L"\\" + name).c_str(), FALSE));
    const auto marks = [&] {
        std::vector<std::wstring> found;
        for (const std::wstring& name : dir.names())
            if (name.size() > 5 && name.compare(name.size() - 5, 5, L".mark") == 0) found.push_back(name);
        return found;
    };
    ASSERT_TRUE(SetEnvironmentVariableW(L"WINEDLLOVERRIDES", L"winmm,ksuser,wintrust=n,b;mscoree,mshtml="));

    {
        CheckerProcess shown(L"", folder, exe);
        ASSERT_NE(nullptr, shown.waitForMainWindow(20000));
        ASSERT_TRUE(shown.waitForFirstReport());
        EXPECT_TRUE(matchesGolden(shown.logText(), "empty_machine.txt", "Operating System: ",
                                  "Operating System: WIN 7 32Bits Build: 7601"));
        ASSERT_TRUE(shown.sendCommand(200));  // "Show Device List"
        HWND box = chooseFileForIntegrityCheck(shown, std::string(exe.begin(), exe.end()));
        ASSERT_NE(nullptr, box);
        EXPECT_NE(std::wstring::npos, messageBoxText(box).find(L"Result: 0\n\nDigital signature: none."));
        EXPECT_TRUE(pressOk(box));
        shown.postCommand(100);
        int32_t exitCode = -1;
        EXPECT_TRUE(shown.waitExit(10000, &exitCode));
    }
    SetEnvironmentVariableW(L"WINEDLLOVERRIDES", L"mscoree,mshtml=");
    EXPECT_EQ(std::vector<std::wstring>(), marks());
}

}  // namespace
