#include <gtest/gtest.h>

#include <oleacc.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/owners.h"
#include "checker_remote/checker_remote.h"
#include "support/com_apartment.h"
#include "support/golden.h"
#include "support/json_folder.h"
#include "support/planted_evidence.h"
#include "support/test_files.h"

namespace {

// Where Windows keeps the Documents folder of the user; empty text removes the value.
std::wstring swapDocumentsFolder(const std::wstring& path) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                        0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t before[MAX_PATH] = L"";
    DWORD size = sizeof(before) - sizeof(wchar_t);
    RegQueryValueExW(key, L"Personal", NULL, NULL, reinterpret_cast<BYTE*>(before), &size);
    if (path.empty()) RegDeleteValueW(key, L"Personal");
    else RegSetValueExW(key, L"Personal", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                        DWORD((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return before;
}

class CommandTest : public testing::Test {
protected:
    // Documents is a folder of the test's own while these run: in a Wine prefix it is linked to
    // the home folder of the machine.
    static void SetUpTestSuite() {
        documents = new TempDirectory;
        previousDocuments = new std::wstring(swapDocumentsFolder(documents->widePath()));
    }
    static void TearDownTestSuite() {
        swapDocumentsFolder(*previousDocuments);
        delete previousDocuments;
        delete documents;
    }

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
    static TempDirectory* documents;
    static std::wstring* previousDocuments;
};

TempDirectory* CommandTest::documents = nullptr;
std::wstring* CommandTest::previousDocuments = nullptr;

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

// Types a path into a file dialog and presses its OK button; false when there was no field.
bool chooseInFileDialog(HWND dialog, const std::wstring& path) {
    HWND nameField = fileNameField(dialog);
    if (!nameField) return false;
    SendMessageW(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
}

// Chooses a file in the open-file dialog of "Check File Integrity..." and returns the result box.
HWND chooseFileForIntegrityCheck(CheckerProcess& checker, const std::wstring& path) {
    checker.postCommand(70);
    HWND dialog = checker.waitForDialog(20000);
    if (!dialog || !chooseInFileDialog(dialog, path)) return NULL;
    if (!waitFor(10000, [dialog] { return !IsWindow(dialog); })) return NULL;
    return checker.waitForDialog(10000);
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The name the save dialog offers when it opens at that time.
std::wstring offeredName(const SYSTEMTIME& t) {
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = L"";
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(computer, &size);
    wchar_t name[128];
    _snwprintf(name, 128, L"HalvaneDevicesChecker-%ls-%04u%02u%02u-%02u%02uZ.txt", computer, t.wYear, t.wMonth, t.wDay,
               t.wHour, t.wMinute);
    return name;
}

// "Save Report As..." through Windows' own save dialog, with Ctrl+S and from the menu, while
// the device list is shown: the file holds what the log view shows, byte for byte, and no test
// runs. Cancel writes nothing.
TEST_F(CommandTest, SaveReportAsWritesTheLogThroughTheSaveDialog) {
    const std::wstring log = checker.logText();
    ASSERT_TRUE(checker.sendCommand(200));
    SYSTEMTIME before, after;
    GetSystemTime(&before);
    ASSERT_TRUE(typeControlKey(checker.mainWindow(), 'S'));
    HWND dialog = checker.waitForDialog(20000);
    ASSERT_NE(nullptr, dialog) << "Ctrl+S opened no dialog";
    GetSystemTime(&after);
    EXPECT_EQ(L"Save Report As", windowText(dialog));
    EXPECT_EQ(checker.mainWindow(), GetWindow(dialog, GW_OWNER));
    // A name to keep, in UTC like the report's TEST DATE (the tests run far from UTC, so local
    // time would show), in Documents.
    const std::wstring name = windowText(fileNameField(dialog));
    EXPECT_TRUE(name == offeredName(before) || name == offeredName(after)) << toUtf8(name);
    ASSERT_TRUE(pressButton(dialog, IDOK));
    ASSERT_TRUE(checker.waitIdle());
    std::string bytes;
    ASSERT_TRUE(readWholeFile(documents->widePath() + L"\\" + name, &bytes)) << toUtf8(name);
    EXPECT_TRUE(sameBytes("\xEF\xBB\xBF" + toUtf8(log), bytes));

    // Cancel writes nowhere: not in Documents, nor in the checker's current folder (this one's).
    wchar_t current[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, current));
    const std::vector<std::wstring> currentBefore = namesIn(current);
    checker.postCommand(80);
    dialog = checker.waitForDialog(20000);
    ASSERT_NE(nullptr, dialog);
    SendMessageW(fileNameField(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"typed then cancelled.txt"));
    ASSERT_TRUE(pressButton(dialog, IDCANCEL));
    ASSERT_TRUE(checker.waitIdle());
    EXPECT_EQ(nullptr, checker.waitForDialog(300));
    EXPECT_EQ(std::vector<std::wstring>{name}, documents->names());
    EXPECT_EQ(currentBefore, namesIn(current));
    EXPECT_EQ(log, checker.logText());
}

// A file that cannot be replaced: after the dialog's own question, one message box says why,
// and the file stays as it was.
TEST_F(CommandTest, SaveReportAsOverAReadOnlyFileSaysSoOnce) {
    TempDirectory dir;
    const std::wstring path = dir.widePath() + L"\\earlier report.txt";
    ASSERT_TRUE(writeWholeFile(path, "earlier report"));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    checker.postCommand(80);
    HWND dialog = checker.waitForDialog(20000);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(chooseInFileDialog(dialog, path));
    HWND question = NULL;  // "Replace it?", owned by the dialog
    ASSERT_TRUE(waitFor(10000, [&] {
        for (HWND w : windowsOfProcess(checker.id(), L"#32770"))
            if (IsWindowVisible(w) && GetWindow(w, GW_OWNER) == dialog) question = w;
        return question != NULL;
    }));
    ASSERT_TRUE(pressButton(question, IDYES));
    ASSERT_TRUE(waitFor(10000, [dialog] { return !IsWindow(dialog); }));
    HWND box = checker.waitForDialog(10000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(checker.mainWindow(), GetWindow(box, GW_OWNER));
    EXPECT_EQ(L"Save Report As", windowText(box));
    const std::wstring text = messageBoxText(box);
    EXPECT_EQ(0u, text.find(L"The report could not be saved to the file\n" + path + L"\n\n")) << toUtf8(text);
    EXPECT_NE(std::wstring::npos, text.find(L"(error 5)")) << toUtf8(text);
    ASSERT_TRUE(pressOk(box));
    EXPECT_EQ(nullptr, checker.waitForDialog(500));
    std::string bytes;
    ASSERT_TRUE(readWholeFile(path, &bytes));
    EXPECT_EQ("earlier report", bytes);
    EXPECT_EQ(std::vector<std::wstring>{L"earlier report.txt"}, dir.names());
}

// The type of report "Save Report As..." writes: a name typed with ".json" or ".txt" says it,
// any other name takes the chosen type and its extension. The JSON holds every test of the
// session (two here); it is left in the scenarios' folder with the log for the schema check.
TEST_F(CommandTest, SaveReportAsJsonByTypeOrByName) {
    ASSERT_TRUE(checker.sendCommand(60));  // a second test
    const std::wstring log = checker.logText();
    TempDirectory dir;
    const struct {
        const wchar_t* typed;
        int type;  // 0 text, 1 JSON, as the dialog's type list offers them
        const wchar_t* written;
        bool json;
    } cases[] = {
        {L"by type", 1, L"by type.json", true},
        {L"by name.JSON", 0, L"by name.JSON", true},
        {L"named text.txt", 1, L"named text.txt", false},
        {L"by type", 0, L"by type.txt", false},
    };
    for (const auto& c : cases) {
        checker.postCommand(80);
        HWND dialog = checker.waitForDialog(20000);
        ASSERT_NE(nullptr, dialog);
        HWND types = GetDlgItem(dialog, 0x470);  // the dialog's type list
        ASSERT_NE(nullptr, types);
        SendMessageW(types, CB_SETCURSEL, c.type, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
        ASSERT_TRUE(chooseInFileDialog(dialog, dir.widePath() + L"\\" + c.typed));
        ASSERT_TRUE(waitFor(10000, [dialog] { return !IsWindow(dialog); }));
        ASSERT_TRUE(checker.waitIdle());
        std::string bytes;
        ASSERT_TRUE(readWholeFile(dir.widePath() + L"\\" + c.written, &bytes)) << toUtf8(c.written);
        if (!c.json) {
            EXPECT_TRUE(sameBytes("\xEF\xBB\xBF" + toUtf8(log), bytes)) << toUtf8(c.written);
            continue;
        }
        EXPECT_EQ(0u, bytes.find("{\n  \"schemaVersion\": 3,")) << toUtf8(c.written);  // no byte-order mark
        EXPECT_EQ(2u, countOf(bytes, "\n      \"checkerVersion\": \"1.0.8.8\",")) << toUtf8(c.written);
        if (const char* out = jsonScenarioFolder()) {
            const std::string base = std::string(out) + "\\save_as_json";
            writeWholeFile(std::wstring(base.begin(), base.end()) + L".json", bytes);
            writeWholeFile(std::wstring(base.begin(), base.end()) + L".txt", toUtf8(log));
        }
    }
    EXPECT_EQ(nullptr, checker.waitForDialog(300));
}

// A name the dialog took as it was typed ("notes.log") but that gets the chosen type's extension
// is no name the dialog asked about: the checker asks before replacing "notes.log.json"; No keeps
// the file and writes nothing, Yes replaces it.
TEST_F(CommandTest, SaveReportAsAsksBeforeReplacingAFileWhoseExtensionItAdded) {
    TempDirectory dir;
    const std::wstring added = dir.widePath() + L"\\notes.log.json";
    ASSERT_TRUE(writeWholeFile(added, "earlier report"));
    for (int answer : {IDNO, IDYES}) {
        checker.postCommand(80);
        HWND dialog = checker.waitForDialog(20000);
        ASSERT_NE(nullptr, dialog);
        HWND types = GetDlgItem(dialog, 0x470);
        ASSERT_NE(nullptr, types);
        SendMessageW(types, CB_SETCURSEL, 1, 0);  // JSON
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
        ASSERT_TRUE(chooseInFileDialog(dialog, dir.widePath() + L"\\notes.log"));
        ASSERT_TRUE(waitFor(10000, [dialog] { return !IsWindow(dialog); }));
        HWND question = checker.waitForDialog(10000);
        ASSERT_NE(nullptr, question) << "the file was replaced without asking";
        EXPECT_EQ(checker.mainWindow(), GetWindow(question, GW_OWNER));
        EXPECT_EQ(L"Save Report As", windowText(question));
        EXPECT_EQ(added + L" already exists.\nDo you want to replace it?", messageBoxText(question));
        ASSERT_TRUE(pressButton(question, answer));
        ASSERT_TRUE(checker.waitIdle());
        EXPECT_EQ(nullptr, checker.waitForDialog(300));
        std::string bytes;
        ASSERT_TRUE(readWholeFile(added, &bytes));
        if (answer == IDNO) EXPECT_EQ("earlier report", bytes);
        else EXPECT_EQ(0u, bytes.find("{\n  \"schemaVersion\": 3,"));
        EXPECT_EQ(std::vector<std::wstring>{L"notes.log.json"}, dir.names());
    }
}

// "Copy Report" while the device list is shown: the log view's text, CR LF included, as another
// program reads the clipboard; no test runs.
TEST_F(CommandTest, CopyReportPutsTheLogOnTheClipboard) {
    const std::wstring log = checker.logText();
    ASSERT_TRUE(checker.sendCommand(200));
    clipboardText(true);
    ASSERT_TRUE(checker.sendCommand(81));
    const std::wstring copied = clipboardText();
    EXPECT_TRUE(sameBytes(toUtf8(log), toUtf8(copied)));
    EXPECT_EQ(nullptr, checker.waitForDialog(300));
    EXPECT_EQ(log, checker.logText());
}

TEST_F(CommandTest, CheckFileIntegrityOfTheCheckerItself) {
    const std::string path = checkerExePath();
    const std::wstring widePath(path.begin(), path.end());
    HWND box = chooseFileForIntegrityCheck(checker, widePath);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"Check File Integrity", windowText(box));
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

    HWND box = chooseFileForIntegrityCheck(checker, std::wstring(copy.begin(), copy.end()));
    ASSERT_NE(nullptr, box);
    const std::wstring text = messageBoxText(box);
    EXPECT_NE(std::wstring::npos, text.find(L"does not match")) << std::string(text.begin(), text.end());
    EXPECT_NE(std::wstring::npos, text.find(L"Result: -4"));
    EXPECT_TRUE(pressOk(box));
}

// A driver file signed through a catalogue that an installer added to Windows' catalogues: the
// box says so and names the catalogue.
TEST_F(CommandTest, CheckFileIntegrityOfADriverFileSignedThroughACatalogue) {
    const std::string signedDir = programFolder() + "signed\\";
    InstalledCatalogue catalogue(std::wstring(signedDir.begin(), signedDir.end()) + L"catalogue.cat");
    ASSERT_TRUE(catalogue.added());
    const std::wstring driver = std::wstring(signedDir.begin(), signedDir.end()) + L"catalogued.sys";
    HWND box = chooseFileForIntegrityCheck(checker, driver);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(driver + L"\n\nThe integrity stamp matches: the file is not damaged. The stamp is a checksum, "
                       L"which catches accidental damage but not a deliberate change.\n\nResult: 0\n\n"
                       L"Digital signature: valid, and trusted by Windows.\nSigned through the catalogue " +
                  catalogue.installedPath(),
              messageBoxText(box));
    EXPECT_TRUE(pressOk(box));
}

// Started from a user folder named outside the ANSI code page (Cyrillic on a Western Windows):
// the hidden report and the shown one say the checker's own file is intact, and the integrity
// command reads that file by its real name; a file held open by another program still gives -1.
TEST(ForeignFolder, TheIntegrityCheckReadsFilesByTheirWideNames) {
    const std::wstring folder = L"C:\\\u0417\u0430\u0433\u0440\u0443\u0437\u043a\u0438";
    BOOL lost = FALSE;
    char ansi[64];
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, folder.c_str(), -1, ansi, sizeof(ansi), NULL, &lost);
    ASSERT_TRUE(lost) << "the prefix's ANSI code page holds the folder name: the test would prove nothing";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS);
    struct Cleanup {
        std::wstring folder;
        ~Cleanup() {
            for (const wchar_t* name : {L"\\HalvaneDevicesChecker.exe", L"\\report.txt"})
                DeleteFileW((folder + name).c_str());
            RemoveDirectoryW(folder.c_str());
        }
    } cleanup{folder};
    const std::wstring exe = folder + L"\\HalvaneDevicesChecker.exe";
    const std::string built = checkerExePath();
    ASSERT_TRUE(CopyFileW(std::wstring(built.begin(), built.end()).c_str(), exe.c_str(), FALSE));

    {
        CheckerProcess hidden(L"-h -o report.txt", folder, exe);
        int32_t exitCode = -1;
        ASSERT_TRUE(hidden.waitExit(30000, &exitCode));
        EXPECT_EQ(0, exitCode);
        std::string report;
        ASSERT_TRUE(readWholeFile(folder + L"\\report.txt", &report));
        EXPECT_NE(std::string::npos, report.find("\r\nInitialization value: 0\r\n"));
    }

    CheckerProcess shown(L"", folder, exe);
    ASSERT_NE(nullptr, shown.waitForMainWindow(20000));
    ASSERT_TRUE(shown.waitForFirstReport());
    EXPECT_NE(std::wstring::npos, shown.logText().find(L"\r\nInitialization value: 0\r\n"));
    HWND box = chooseFileForIntegrityCheck(shown, exe);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(exe + L"\n\nThe integrity stamp matches: the file is not damaged. The stamp is a checksum, "
                    L"which catches accidental damage but not a deliberate change.\n\nResult: 0\n\n"
                    L"Digital signature: none. Nothing shows who made the file.",
              messageBoxText(box));
    EXPECT_TRUE(pressOk(box));

    HANDLE locked = CreateFileW(exe.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    box = chooseFileForIntegrityCheck(shown, exe);
    CloseHandle(locked);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(0u, messageBoxText(box).find(exe + L"\n\nThe file cannot be read.\n\nResult: -1\n\n"))
        << toUtf8(messageBoxText(box));
    EXPECT_TRUE(pressOk(box));
    shown.postCommand(100);
    int32_t exitCode = -1;
    EXPECT_TRUE(shown.waitExit(10000, &exitCode));
}

// A Downloads folder where someone left DLLs under the names the checker needs (winmm, ksuser,
// wintrust, oleacc) and under a name something might load by its bare name, with Wine told to
// prefer such DLLs the way Windows does for every name outside KnownDLLs. None of them may run
// in a shown run, through the device list (read by a screen reader) and the integrity command,
// and the report is the one a clean folder gives (the hidden run: downloads_folder.sh).
TEST(PlantedDlls, NeverRunInsideTheChecker) {
    TempDirectory dir;
    const std::wstring folder = dir.widePath();
    const std::wstring exe = folder + L"\\HalvaneDevicesChecker.exe";
    const std::string built = checkerExePath();
    ASSERT_TRUE(CopyFileW(std::wstring(built.begin(), built.end()).c_str(), exe.c_str(), FALSE));
    const std::string planted = programFolder() + "planted_dll.dll";
    for (const wchar_t* name : {L"winmm.dll", L"ksuser.dll", L"wintrust.dll", L"oleacc.dll", L"msimg32.dll", L"hv_bare_name.dll"})
        ASSERT_TRUE(CopyFileW(std::wstring(planted.begin(), planted.end()).c_str(), (folder + L"\\" + name).c_str(), FALSE));
    const CheckerDllOverrides preferPlanted({L"winmm", L"ksuser", L"wintrust", L"oleacc", L"msimg32"}, L"native,builtin");

    {
        CheckerProcess shown(L"", folder, exe);
        ASSERT_NE(nullptr, shown.waitForMainWindow(20000));
        ASSERT_TRUE(shown.waitForFirstReport());
        EXPECT_TRUE(matchesGolden(shown.logText(), "empty_machine.txt", "Operating System: ",
                                  "Operating System: WIN 7 32Bits Build: 7601"));
        // A DLL loaded by its bare name inside the checker, as system DLLs load their own
        // helpers, is looked for in the system folder only, never beside the exe.
        EXPECT_EQ(std::vector<std::wstring>{L"bare-name-load|not found"}, shown.probe("probeBareNameLoad"));
        ASSERT_TRUE(shown.sendCommand(200));  // "Show Device List"
        {
            const ComApartment com;
            IAccessible* panel = NULL;
            EXPECT_EQ(S_OK, AccessibleObjectFromWindow(shown.mainWindow(), OBJID_CLIENT, IID_IAccessible,
                                                       reinterpret_cast<void**>(&panel)));
            if (panel) panel->Release();
        }
        HWND box = chooseFileForIntegrityCheck(shown, exe);
        ASSERT_NE(nullptr, box);
        EXPECT_NE(std::wstring::npos, messageBoxText(box).find(L"Result: 0\n\nDigital signature: none."));
        EXPECT_TRUE(pressOk(box));
        shown.postCommand(100);
        int32_t exitCode = -1;
        EXPECT_TRUE(shown.waitExit(10000, &exitCode));
    }
    for (const wchar_t* name : {L"winmm.dll", L"ksuser.dll", L"wintrust.dll", L"oleacc.dll", L"msimg32.dll", L"hv_bare_name.dll"})
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"\\" + name + L".mark").c_str()))
            << toUtf8(name) << " ran in the checker";
}

// After a test that found errors the window says where What To Do is, without a word more in
// the log; F1 (and the menu item) shows it in place of the log view and back.
TEST(WhatToDo, TheWindowPointsToItAndF1ShowsIt) {
    PlantedDeviceNode disabled(L"HalvaneVSOWDM", 22);
    CheckerProcess checker;
    ASSERT_TRUE(checker.started());
    ASSERT_NE(nullptr, checker.waitForMainWindow(20000));
    ASSERT_TRUE(checker.waitForFirstReport());
    const HWND window = checker.mainWindow(), notice = GetDlgItem(window, 502), view = GetDlgItem(window, 501);
    EXPECT_TRUE(IsWindowVisible(notice));
    EXPECT_EQ(L" 1 error found: \"What To Do\" (F1, or the File menu) says why and how to fix it.", windowText(notice));
    const std::wstring log = checker.logText();
    EXPECT_EQ(std::wstring::npos, log.find(L"What To Do"));
    // The notice stands above the log view, which keeps the rest of the window; its height
    // follows the display scale (this test runs at 150 % and 200 % too).
    RECT noticeRect, logRect;
    GetWindowRect(notice, &noticeRect);
    GetWindowRect(checker.logView(), &logRect);
    EXPECT_EQ(noticeRect.bottom, logRect.top);
    const char* dpi = getenv("HV_EXPECT_DPI");
    EXPECT_EQ(MulDiv(24, dpi ? atoi(dpi) : 96, 96), noticeRect.bottom - noticeRect.top);

    // The File menu offers the one Windows place the steps name: Device Manager.
    std::vector<std::wstring> places;
    for (const std::wstring& line : checker.probe())
        if (line.find(L"|Open ") != std::wstring::npos) places.push_back(line);
    EXPECT_EQ((std::vector<std::wstring>{L"  item|83|Open Sound Control &Panel|unchecked|grayed",
                                         L"  item|84|Open Device &Manager|unchecked",
                                         L"  item|85|Open Se&rvices|unchecked|grayed"}),
              places);
    // A command does only what its item offers: posted for a greyed place, nothing opens (under
    // Wine, which has no consoles, an offered one ends in Windows' refusal, told in a box).
    checker.postCommand(85);
    EXPECT_EQ(nullptr, checker.waitForDialog(1500));
    checker.postCommand(84);
    const HWND refused = checker.waitForDialog(10000);
    ASSERT_NE(nullptr, refused);
    // In Windows' own words, not a number.
    EXPECT_EQ(0u, messageBoxText(refused).find(L"Windows could not open Device Manager: ")) << toUtf8(messageBoxText(refused));
    EXPECT_EQ(std::wstring::npos, messageBoxText(refused).find(L"error 2"));
    EXPECT_TRUE(pressOk(refused));

    ASSERT_TRUE(pressKeys(window, {VK_F1}));
    ASSERT_TRUE(waitFor(5000, [&] { return IsWindowVisible(view) != FALSE; }));
    EXPECT_FALSE(IsWindowVisible(checker.logView()));
    const std::wstring text = windowText(view);
    for (const wchar_t* line : {L"\r\nCHECKING Halvane Virtual Vesso : Installed but not running (problem code 22)\r\n",
                                L"\r\nWhy: The driver's device is disabled in Device Manager.\r\n",
                                L"\r\nWindows says: Device Manager: " , L": \"This device is disabled. (Code 22)\".\r\n",
                                L"\r\n  1. Open Device Manager: press Windows+R, type devmgmt.msc and press Enter.\r\n"})
        EXPECT_NE(std::wstring::npos, text.find(line)) << toUtf8(line);
    // A reader knows the view by its name and reads the text as its value, the focus on it.
    const ReaderView reader = readerView(view);
    EXPECT_EQ(S_OK, reader.answered);
    EXPECT_EQ(L"What To Do", reader.name);
    EXPECT_EQ(text, reader.value);
    EXPECT_EQ(view, keyboardFocusOf(window));
    // While it is shown, the notice says how to go back.
    EXPECT_EQ(L" This is What To Do for the last test: F1 (or File > What To Do) goes back to the report.",
              windowText(notice));
    // Ctrl+A and Ctrl+C put the whole text on the clipboard.
    clipboardText(true);
    ASSERT_TRUE(typeControlKey(window, 'A'));
    ASSERT_TRUE(typeControlKey(window, 'C'));
    EXPECT_TRUE(waitFor(5000, [&] { return clipboardText() == text; })) << toUtf8(clipboardText());
    // In a window 480 pixels wide every line of it wraps within the view: none runs off its edge.
    RECT frame;
    GetWindowRect(window, &frame);
    SetWindowPos(window, NULL, 0, 0, 480, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(checker.waitIdle());
    EXPECT_EQ(0, GetWindowLongW(view, GWL_STYLE) & (WS_HSCROLL | ES_AUTOHSCROLL));
    RECT client;
    GetClientRect(view, &client);
    const int lines = int(SendMessageW(view, EM_GETLINECOUNT, 0, 0));
    int widest = 0;
    for (int i = 0; i < lines; ++i) {
        const int first = int(SendMessageW(view, EM_LINEINDEX, i, 0));
        const int length = int(SendMessageW(view, EM_LINELENGTH, first, 0));
        if (length == 0) continue;
        const LRESULT end = SendMessageW(view, EM_POSFROMCHAR, first + length - 1, 0);
        if (end != -1 && short(LOWORD(end)) > widest) widest = short(LOWORD(end));
    }
    EXPECT_LT(widest, client.right);
    EXPECT_GT(lines, int(std::count(text.begin(), text.end(), L'\n')) + 1) << "nothing wrapped at 480 pixels";
    SetWindowPos(window, NULL, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
    checker.postCommand(82);
    ASSERT_TRUE(waitFor(5000, [&] { return IsWindowVisible(checker.logView()) && !IsWindowVisible(view); }));
    EXPECT_EQ(log, checker.logText());
    EXPECT_EQ(L" 1 error found: \"What To Do\" (F1, or the File menu) says why and how to fix it.", windowText(notice));
    // A notice too long for the window ends in an ellipsis where it is cut.
    EXPECT_EQ(SS_ENDELLIPSIS, GetWindowLongW(notice, GWL_STYLE) & SS_ELLIPSISMASK);
}

}  // namespace
