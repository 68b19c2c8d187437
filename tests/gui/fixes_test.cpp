#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "checker_remote/checker_remote.h"
#include "support/golden.h"
#include "support/planted_evidence.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

const WORD kFixProblems = 86;

std::wstring inBin(const char* name) { return fromUtf8(programFolder() + name); }

// The lines of the report file a hidden run wrote.
std::vector<std::wstring> reportLines(const TempDirectory& dir) {
    std::string bytes;
    EXPECT_TRUE(readWholeFile(dir.widePath() + L"\\r.txt", &bytes));
    std::vector<std::wstring> lines;
    const std::wstring text = fromUtf8(bytes.size() >= 3 ? bytes.substr(3) : bytes);
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find(L"\r\n", at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::wstring::npos ? text.size() : end + 2;
    }
    return lines;
}
std::vector<std::wstring> fixLines(const std::vector<std::wstring>& lines) {
    std::vector<std::wstring> found;
    for (const std::wstring& l : lines)
        if (l.compare(0, 4, L"FIX ") == 0) found.push_back(l);
    return found;
}

// "-h -fix" of a checker in a world (HV_FIX_WORLD, none: the real checker), within its deadline.
int32_t hiddenFix(const TempDirectory& dir, const wchar_t* world) {
    SetEnvironmentVariableW(L"HV_FIX_WORLD", world);
    CheckerProcess checker(L"-h -fix -o r.txt", dir.widePath(), world ? inBin("fix_checker.exe") : std::wstring());
    SetEnvironmentVariableW(L"HV_FIX_WORLD", NULL);
    int32_t exitCode = -100;
    EXPECT_TRUE(checker.waitExit(60000, &exitCode)) << "the run did not end";
    return exitCode;
}

// Both audio services disabled around a real service program, and no wave device or endpoint:
// both run after the fixes and start automatically; the driver's devices are still not listed.
TEST(FixesEndToEnd, TheAudioServicesRunAndStartAutomatically) {
    const std::wstring program = inBin("test_service.exe");
    PlantedService builder(L"AudioEndpointBuilder", true, program), audio(L"AudioSrv", true, program);
    ASSERT_TRUE(builder.created() && audio.created());
    TempDirectory dir;
    EXPECT_EQ(4, hiddenFix(dir, L"services"));
    for (const PlantedService* s : {&builder, &audio}) {
        EXPECT_EQ(DWORD(SERVICE_RUNNING), s->state());
        EXPECT_EQ(DWORD(SERVICE_AUTO_START), s->startType());
    }
    EXPECT_EQ((std::vector<std::wstring>{
                  L"FIX Start the Windows Audio Endpoint Builder service (AudioEndpointBuilder): disabled -> running, "
                  L"starts automatically: done",
                  L"FIX Start the Windows Audio service (AudioSrv): disabled -> running, starts automatically: done"}),
              fixLines(reportLines(dir)));
}

// Reads the whole endpoint store as "reg export" writes it, a line each.
std::vector<std::wstring> exportedStore(const TempDirectory& dir, const wchar_t* name) {
    const std::wstring file = dir.widePath() + L"\\" + name;
    std::wstring line = L"C:\\windows\\system32\\reg.exe export HKLM\\" + std::wstring(kStoreRoot) + L" \"" + file + L"\" /y";
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process;
    EXPECT_TRUE(CreateProcessW(NULL, &line[0], NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL, &startup, &process));
    WaitForSingleObject(process.hProcess, 20000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    std::string bytes;
    EXPECT_TRUE(readWholeFile(file, &bytes));
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    std::vector<std::wstring> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find(L"\r\n", at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::wstring::npos ? text.size() : end + 2;
    }
    return lines;
}

// The eighth driver's playback icon changed by the user, its driver file in the drivers folder:
// the store holds the driver's icon after the fix, in that value alone, and the test after it
// finds nothing.
TEST(FixesEndToEnd, AnIconBackInTheStoreAndNothingElseChanged) {
    TestRegistry registry;
    const wchar_t driverText[] = L"{1}.ROOT\\MEDIA\\0008:HalvaneTDNODA";
    registry.addEndpoint(L"Render", L"{aaaaaaaa-0000-0000-0000-000000000008}", L"Tondrel Input", L"Halvane Tondrel NODA",
                         driverText, L"C:\\Users\\me\\guitar.ico");
    registry.addEndpoint(L"Capture", L"{bbbbbbbb-0000-0000-0000-000000000008}", L"Tondrel Output",
                         L"Halvane Tondrel NODA", driverText, L"%SystemRoot%\\System32\\drivers\\halvane_tdnoda_win7.sys,-101");
    const std::wstring driverFile = L"C:\\windows\\system32\\drivers\\halvane_tdnoda_win7.sys";
    ASSERT_TRUE(writeWholeFile(driverFile, "MZ"));
    TempDirectory dir;
    const std::vector<std::wstring> before = exportedStore(dir, L"before.reg");
    EXPECT_EQ(0, hiddenFix(dir, L"icon"));
    const std::vector<std::wstring> after = exportedStore(dir, L"after.reg");
    DeleteFileW(driverFile.c_str());
    ASSERT_EQ(before.size(), after.size());
    std::vector<std::wstring> changed;
    for (size_t i = 0; i < before.size(); ++i)
        if (before[i] != after[i]) changed.push_back(before[i] + L" => " + after[i]);
    EXPECT_EQ((std::vector<std::wstring>{L"\"{259abffc-50a7-47ce-af08-68c9a7d73366},12\"=\"C:\\\\Users\\\\me\\\\guitar.ico\" => "
                                         L"\"{259abffc-50a7-47ce-af08-68c9a7d73366},12\"=\"%SystemRoot%\\\\System32\\\\"
                                         L"drivers\\\\halvane_tdnoda_win7.sys,-100\""}),
              changed);
    const std::vector<std::wstring> lines = reportLines(dir);
    EXPECT_EQ((std::vector<std::wstring>{
                  L"FIX Put back the icon of the Halvane Tondrel NODA Playback device "
                  L"({aaaaaaaa-0000-0000-0000-000000000008}): C:\\Users\\me\\guitar.ico -> "
                  L"%SystemRoot%\\System32\\drivers\\halvane_tdnoda_win7.sys,-100: done"}),
              fixLines(lines));
    EXPECT_EQ(L"CONCLUSION: OK (nothing bad detected)", lines.back());
}

// A disabled device node: Wine's class installer takes the call and changes nothing, which the
// fix line and the exit code (the errors left) tell, within the fix's deadline. Another waits
// for a restart, which a hidden run never offers: it ends by itself.
TEST(FixesEndToEnd, ADisabledDeviceNodeWineDoesNotEnable) {
    PlantedDeviceNode node(L"HalvaneVSOAWDM", 22), restart(L"Halvane102WDMVessoD", 14);
    TempDirectory dir;
    const DWORD start = GetTickCount();
    EXPECT_EQ(2, hiddenFix(dir, nullptr));
    EXPECT_LT(GetTickCount() - start, 35000u);
    const std::vector<std::wstring> lines = reportLines(dir);
    EXPECT_EQ(std::vector<std::wstring>{L"FIX Enable the Halvane Vesso A device (" + node.instanceId() +
                                        L"): problem code 22 -> enabled: done, but the test after it still finds the "
                                        L"problem"},
              fixLines(lines));
    // The file a desk receives ends with the why of the last test, in lines the report has not.
    const auto why = std::find(lines.begin(), lines.end(), L"WHAT TO DO AFTER THE LAST TEST");
    ASSERT_NE(lines.end(), why);
    EXPECT_EQ(L"CONCLUSION: 2 error detected (You may consider re-installing audio drivers)", *(why - 2));
    EXPECT_NE(lines.end(), std::find(why, lines.end(), L"Why: The driver's device is disabled in Device Manager."));
    const auto section = why - 1;  // its first separator
    for (auto line = section; line != lines.end(); ++line)
        EXPECT_EQ(section, std::find(lines.begin(), section, *line)) << toUtf8(*line);
}

// In the window: the changes listed and asked for first; No changes nothing; Yes makes them,
// tests again and shows What To Do with what was done. Where nothing has a fix, the command
// does nothing.
TEST(FixProblems, ListedAskedAndMadeOnlyOnYes) {
    std::unique_ptr<PlantedDeviceNode> planted(new PlantedDeviceNode(L"HalvaneVSOAWDM", 22));
    const PlantedDeviceNode& node = *planted;
    CheckerProcess checker;
    ASSERT_NE(nullptr, checker.waitForMainWindow(20000));
    ASSERT_TRUE(checker.waitForFirstReport());
    bool offered = false;
    for (const std::wstring& line : checker.probe()) offered = offered || line == L"  item|86|&Fix Problems...\tCtrl+F|unchecked";
    EXPECT_TRUE(offered);
    const std::wstring log = checker.logText();
    for (int answer : {IDNO, IDYES}) {
        checker.postCommand(kFixProblems);
        const HWND box = checker.waitForDialog(10000);
        ASSERT_NE(nullptr, box) << answer;
        EXPECT_NE(std::wstring::npos, messageBoxText(box).find(L"\x2022 Enable the Halvane Vesso A device (" +
                                                               node.instanceId() + L"): problem code 22 -> enabled\r\n"))
            << toUtf8(messageBoxText(box));
        ASSERT_TRUE(pressButton(box, answer));
        ASSERT_TRUE(checker.waitIdle());
        if (answer == IDNO) EXPECT_EQ(log, checker.logText());
    }
    ASSERT_TRUE(waitFor(20000, [&] { return checker.logText().find(L"\r\nFIX Enable") != std::wstring::npos; }));
    const HWND view = GetDlgItem(checker.mainWindow(), 501);
    ASSERT_TRUE(waitFor(5000, [&] { return IsWindowVisible(view) != FALSE; }));
    EXPECT_NE(std::wstring::npos, windowText(view).find(L"\r\nFIXES MADE BEFORE THIS TEST\r\nDone, but the test after it"));
    // Copy Report copies what a report file holds: the log, then the why of the last test.
    clipboardText(true);
    ASSERT_TRUE(checker.sendCommand(81));
    const std::wstring copied = clipboardText(), shownLog = checker.logText();
    EXPECT_EQ(0u, copied.find(shownLog));
    EXPECT_EQ(shownLog.size(), copied.find(L"==========")) << toUtf8(copied.substr(0, 200));
    EXPECT_NE(std::wstring::npos, copied.find(L"\r\nWHAT TO DO AFTER THE LAST TEST\r\n"));
    planted.reset();
    checker.postCommand(60);
    ASSERT_TRUE(waitFor(20000, [&] {
        const std::wstring text = checker.logText();
        return text.rfind(L"CONCLUSION: OK") != std::wstring::npos && text.rfind(L"CONCLUSION: OK") > text.rfind(L"FIX ");
    }));
    checker.postCommand(kFixProblems);
    EXPECT_EQ(nullptr, checker.waitForDialog(1000));
}

}  // namespace
