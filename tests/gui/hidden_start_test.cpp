#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "base/owners.h"
#include "checker_remote/checker_remote.h"
#include "support/golden.h"
#include "support/planted_evidence.h"
#include "support/test_files.h"

namespace {

// Watches the checker's main window until the process ends; true if it was ever visible.
bool everVisibleUntilExit(CheckerProcess& checker, DWORD timeoutMs, int32_t* exitCode, bool* exited) {
    bool visible = false;
    const DWORD start = GetTickCount();
    *exited = false;
    while (GetTickCount() - start < timeoutMs) {
        for (HWND w : windowsOfProcess(checker.id(), CHECKER_WINDOW_CLASS))
            if (IsWindowVisible(w)) visible = true;
        if (checker.waitExit(0, exitCode)) {
            *exited = true;
            break;
        }
        Sleep(1);
    }
    return visible;
}

TEST(HiddenStart, RunsOneTestWithoutAWindowAndExits) {
    // With "-h", "-?" shows nothing: a script is never kept waiting for a click.
    for (const char* arguments : {"-h", "-H", "-hs", "x -h", "-h -?", "-?-h", "/h", "/H /?"}) {
        CheckerProcess checker(arguments);
        ASSERT_TRUE(checker.started());
        int32_t exitCode = 0;
        bool exited = false;
        EXPECT_FALSE(everVisibleUntilExit(checker, 20000, &exitCode, &exited)) << arguments;
        ASSERT_TRUE(exited) << arguments << ": did not end by itself";
        // The error total of the test: nothing of the maker's is installed here.
        EXPECT_EQ(0, exitCode) << arguments;
    }
    // A program name that a tab ends, as CommandLineToArgvW ends it.
    CheckerProcess checker(L"-h", std::wstring(), std::wstring(), L"HalvaneDevicesChecker.exe\t");
    ASSERT_TRUE(checker.started());
    int32_t exitCode = 1;
    bool exited = false;
    EXPECT_FALSE(everVisibleUntilExit(checker, 20000, &exitCode, &exited));
    EXPECT_TRUE(exited) << "a tab after the program name";
    EXPECT_EQ(0, exitCode);
}

TEST(HiddenStart, ShowAfterTestShowsTheWindowOnceTheTestRan) {
    for (const char* arguments : {"-h -s", "-H -S", "-s-h", "/h /S"}) {
        CheckerProcess checker(arguments);
        ASSERT_TRUE(checker.started());
        ASSERT_NE(nullptr, checker.waitForMainWindow(20000)) << arguments;
        EXPECT_TRUE(waitFor(20000, [&] { return IsWindowVisible(checker.mainWindow()) != 0; })) << arguments;
        ASSERT_TRUE(checker.waitIdle()) << arguments;
        EXPECT_TRUE(checker.running()) << arguments;
        RECT frame;
        GetWindowRect(checker.mainWindow(), &frame);
        EXPECT_EQ(800, frame.right - frame.left) << arguments;

        checker.postCommand(100);
        int32_t exitCode = -1;
        ASSERT_TRUE(checker.waitExit(10000, &exitCode)) << arguments;
        EXPECT_EQ(0, exitCode) << arguments;
    }
}

TEST(HiddenStart, TheShownLogIsTheEmptyMachineReport) {
    CheckerProcess checker("-h -s");
    ASSERT_NE(nullptr, checker.waitForMainWindow(20000));
    ASSERT_TRUE(waitFor(20000, [&] { return IsWindowVisible(checker.mainWindow()) != 0; }));
    // The test prefix runs as 32-bit Windows 7.
    EXPECT_TRUE(matchesGolden(checker.logText(), "empty_machine.txt", "Operating System: ",
                              "Operating System: WIN 7 32Bits Build: 7601"));
}

TEST(NormalStart, ShowSwitchAloneStartsNormally) {
    for (const char* arguments : {"-s", "-x", "hs"}) {
        CheckerProcess checker(arguments);
        ASSERT_NE(nullptr, checker.waitForMainWindow(20000)) << arguments;
        ASSERT_TRUE(checker.waitForFirstReport()) << arguments;
        EXPECT_TRUE(IsWindowVisible(checker.mainWindow())) << arguments;
        EXPECT_TRUE(checker.running()) << arguments;
    }
}

// The report file ("-o"). What the log view shows, as the file must hold it.
std::string asReportFile(const std::wstring& logText) { return "\xEF\xBB\xBF" + toUtf8(logText); }

int32_t exitCodeOfHiddenRun(CheckerProcess& checker) {
    int32_t exitCode = 0;
    bool exited = false;
    EXPECT_FALSE(everVisibleUntilExit(checker, 20000, &exitCode, &exited));
    // A message box would keep a hidden run from ending.
    EXPECT_TRUE(exited) << "did not end by itself";
    return exitCode;
}

// Relative to the folder the checker starts in, with blanks, and outside the ANSI code page.
TEST(HiddenStart, WritesTheReportFileBeforeExiting) {
    for (const wchar_t* name : {L"report.txt", L"Pr\u00fcfung \u043e\u0442\u0447\u0451\u0442.txt"}) {
        TempDirectory dir;
        CheckerProcess checker(L"-h -o \"" + std::wstring(name) + L"\"", dir.widePath());
        ASSERT_TRUE(checker.started());
        EXPECT_EQ(0, exitCodeOfHiddenRun(checker)) << toUtf8(name);
        std::string bytes;
        ASSERT_TRUE(readWholeFile(dir.widePath() + L"\\" + name, &bytes)) << toUtf8(name);
        ASSERT_EQ("\xEF\xBB\xBF", bytes.substr(0, 3)) << toUtf8(name);
        // CR LF included, as the golden report has them.
        EXPECT_TRUE(matchesGolden(fromUtf8(bytes.substr(3)), "empty_machine.txt", "Operating System: ",
                                  "Operating System: WIN 7 32Bits Build: 7601"));
        EXPECT_EQ(std::vector<std::wstring>{name}, dir.names()) << "a temporary file was left beside the report";
    }
}

// A driver whose device Windows keeps but did not start (disabled in Device Manager), with no
// control device to answer: the report says so and the exit code counts it, where it once said
// "Not Installed" and 0. A device node that is only left over is still nothing.
TEST(HiddenStart, ADriverWindowsDidNotStartIsAnError) {
    TempDirectory dir;
    {
        PlantedDeviceNode disabled(L"HalvaneVSOWDM", 22);
        CheckerProcess checker(L"-h -o r.txt", dir.widePath());
        ASSERT_TRUE(checker.started());
        EXPECT_EQ(1, exitCodeOfHiddenRun(checker));
    }
    std::string bytes;
    ASSERT_TRUE(readWholeFile(dir.widePath() + L"\\r.txt", &bytes));
    for (const char* line : {"\r\nCHECKING Halvane Virtual Vesso : Installed but not running (problem code 22)\r\n",
                             "\r\nCONCLUSION: 1 error detected (You may consider re-installing audio drivers)\r\n"})
        EXPECT_NE(std::string::npos, bytes.find(line)) << line;
    PlantedDeviceNode planted(L"HalvaneVSOWDM", 0);  // present, nothing wrong that Windows tells
    CheckerProcess checker("-h");
    ASSERT_TRUE(checker.started());
    EXPECT_EQ(0, exitCodeOfHiddenRun(checker));
}

// Launchers and scripts that quote every argument, as a batch file hands the quotes over
// literally: each form, with and without blanks in the path, writes the report and exits with
// the error total.
TEST(HiddenStart, QuotedReportPathsFromABatchFile) {
    TempDirectory dir;
    const std::string blank = dir.path() + "\\with blank";
    ASSERT_TRUE(CreateDirectoryA(blank.c_str(), NULL));
    std::string batch;
    std::vector<std::string> reports;
    for (const char* form : {"\"-h\" \"-o\" \"%s\"", "-h -o \"%s\"", "\"-h\" \"-o%s\"", "-h -o\"%s\"",
                             "\"-o\" \"%s\" \"-h\"", "-h -o%s", "/h /o %s", "\"/H\" \"/O\" \"%s\"", "/o\"%s\" /h"}) {
        for (const std::string& folder : {dir.path(), blank}) {
            if (strstr(form, "%s")[2] != '"' && folder == blank) continue;  // unquoted: no blanks
            reports.push_back(folder + "\\q" + std::to_string(reports.size()) + ".txt");
            char arguments[600];
            _snprintf(arguments, sizeof(arguments), form, reports.back().c_str());
            batch += "@\"" + checkerExePath() + "\" " + arguments + "\r\n@echo %ERRORLEVEL% >>\"" + dir.path() +
                     "\\codes.txt\"\r\n";
        }
    }
    ASSERT_EQ(16u, reports.size());
    ASSERT_TRUE(writeWholeFile(dir.widePath() + L"\\run.bat", batch));
    std::wstring command = L"cmd.exe /c \"" + dir.widePath() + L"\\run.bat\"";
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION info;
    ASSERT_TRUE(CreateProcessW(NULL, &command[0], NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL, &startup, &info));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 120000));
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    std::string codes;
    ASSERT_TRUE(readWholeFile(dir.widePath() + L"\\codes.txt", &codes));
    std::string zeros;
    for (size_t i = 0; i < reports.size(); ++i) zeros += "0 \r\n";
    EXPECT_EQ(zeros, codes);
    for (const std::string& report : reports) {
        std::string bytes;
        ASSERT_TRUE(readWholeFile(std::wstring(report.begin(), report.end()), &bytes)) << report;
        EXPECT_TRUE(matchesGolden(fromUtf8(bytes.substr(3)), "empty_machine.txt", "Operating System: ",
                                  "Operating System: WIN 7 32Bits Build: 7601"))
            << report;
    }
}

// A script sees -2 (254 in a shell) instead of the error total, and any earlier report stays.
TEST(HiddenStart, AReportFileThatCannotBeWrittenEndsWithMinusTwo) {
    TempDirectory dir;
    const std::wstring readOnly = dir.widePath() + L"\\earlier report.txt";
    ASSERT_TRUE(writeWholeFile(readOnly, "earlier report"));
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::vector<std::wstring> namesBefore = dir.names();
    for (const std::wstring& path : {dir.widePath() + L"\\no such folder\\report.txt", readOnly}) {
        CheckerProcess checker(L"-h -o \"" + path + L"\"", std::wstring());
        ASSERT_TRUE(checker.started());
        EXPECT_EQ(-2, exitCodeOfHiddenRun(checker)) << toUtf8(path);
        EXPECT_EQ(namesBefore, dir.names()) << toUtf8(path);
    }
    std::string bytes;
    ASSERT_TRUE(readWholeFile(readOnly, &bytes));
    EXPECT_EQ("earlier report", bytes);
}

// Shown from the start, or after the hidden test with "-s": after every test the file holds
// what the log view shows, so a second "Launch Test" leaves both reports in it.
TEST(NormalStart, TheReportFileHoldsWhatTheLogViewShowsAfterEveryTest) {
    for (const wchar_t* switches : {L"-o report.txt", L"-h -s -o report.txt"}) {
        TempDirectory dir;
        CheckerProcess checker(switches, dir.widePath());
        ASSERT_NE(nullptr, checker.waitForMainWindow(20000)) << toUtf8(switches);
        ASSERT_TRUE(waitFor(20000, [&] { return IsWindowVisible(checker.mainWindow()) != 0; }));
        ASSERT_TRUE(checker.waitForFirstReport());
        ASSERT_TRUE(checker.waitIdle());
        const std::wstring path = dir.widePath() + L"\\report.txt";
        std::string first;
        ASSERT_TRUE(readWholeFile(path, &first));
        EXPECT_TRUE(sameBytes(asReportFile(checker.logText()), first)) << toUtf8(switches);

        ASSERT_TRUE(checker.sendCommand(60));
        std::string both;
        ASSERT_TRUE(readWholeFile(path, &both));
        const std::wstring logText = checker.logText();
        EXPECT_TRUE(sameBytes(asReportFile(logText), both)) << toUtf8(switches);
        EXPECT_EQ(first, both.substr(0, first.size()));
        EXPECT_NE(std::wstring::npos, logText.find(L"CONCLUSION: ", logText.find(L"CONCLUSION: ") + 1));
        EXPECT_EQ(std::vector<std::wstring>{L"report.txt"}, dir.names());
        checker.postCommand(100);
        int32_t exitCode = -1;
        ASSERT_TRUE(checker.waitExit(10000, &exitCode));
        EXPECT_EQ(0, exitCode);
    }
}

// Whoever sits at the screen hears of it once a session, and the tests go on.
TEST(NormalStart, AReportFileThatCannotBeWrittenIsToldOnce) {
    TempDirectory dir;
    const std::wstring path = dir.widePath() + L"\\no such folder\\report.txt";
    const struct {
        const wchar_t* switches;
        int32_t exitCode;
    } cases[] = {{L"-o", 0}, {L"-h -s -o", -2}};
    for (const auto& c : cases) {
        CheckerProcess checker(std::wstring(c.switches) + L" \"" + path + L"\"", std::wstring());
        ASSERT_NE(nullptr, checker.waitForMainWindow(20000)) << toUtf8(c.switches);
        HWND box = checker.waitForDialog(30000);
        ASSERT_NE(nullptr, box) << toUtf8(c.switches);
        EXPECT_TRUE(IsWindowVisible(checker.mainWindow()));
        EXPECT_EQ(checker.mainWindow(), GetWindow(box, GW_OWNER));
        EXPECT_EQ(L"Report File", windowText(box));
        const std::wstring text = messageBoxText(box);
        EXPECT_EQ(0u, text.find(L"The report could not be written to the file\n" + path + L"\n\n")) << toUtf8(text);
        EXPECT_NE(std::wstring::npos, text.find(L"(error 3)\n\nThe log view shows the report. Every later test "
                                                L"tries the file again, without this message."))
            << toUtf8(text);
        ASSERT_TRUE(pressOk(box));

        checker.postCommand(60);
        ASSERT_TRUE(waitFor(30000, [&] {
            const std::wstring log = checker.logText();
            return log.find(L"CONCLUSION: ", log.find(L"CONCLUSION: ") + 1) != std::wstring::npos;
        }));
        ASSERT_TRUE(checker.waitIdle());
        EXPECT_EQ(nullptr, checker.waitForDialog(500)) << toUtf8(c.switches);
        checker.postCommand(100);
        int32_t exitCode = 1;
        ASSERT_TRUE(checker.waitExit(10000, &exitCode));
        EXPECT_EQ(c.exitCode, exitCode) << toUtf8(c.switches);
    }
}

// The usage lines, each as it must stand in the box: none of them may be broken by Windows.
const wchar_t* const kUsageLines[] = {
    L"Usage: HalvaneDevicesChecker.exe",
    L"\t[-h [-s]] [-o <report file>] [-?]",
    L"",
    L"-h\tRun one test without a window,",
    L"\tthen exit.",
    L"-s\tWith -h: show the window after",
    L"\tthe test.",
    L"-o\tWrite the log to the file named",
    L"\tnext (UTF-8) after every test;",
    L"\ta name ending in .json gets",
    L"\tevery test as JSON.",
    L"\tQuote a path with blanks, whole",
    L"\tor in parts, with or without a",
    L"\tblank after -o:",
    L"\t\t-o \"C:\\My Reports\\r.txt\"",
    L"\t\t\"-o\" \"C:\\r.txt\"",
    L"\t\t-oC:\\r.txt",
    L"\tNothing in the path is a switch.",
    L"\tIt may start with slashes",
    L"\t\t-o //server/share/r.txt",
    L"\tbut with a dash only in quotes.",
    L"-fix\tWith -h: fix what it safely",
    L"\tcan, then test again; the exit",
    L"\tcode is the errors left. Needs",
    L"\tan administrator.",
    L"-?\tShow this help (not with -h,",
    L"\twhich never shows a window).",
    L"",
    L"Each switch may start with / too",
    L"(/h /s /o /fix /?), in any letter",
    L"case.",
    L"",
    L"File > Save Report As... (Ctrl+S)",
    L"writes the log to a file of your",
    L"choice; File > Copy Report puts it",
    L"on the clipboard. File > What To",
    L"Do (F1) says why a test found",
    L"errors and how to fix them; File",
    L"> Fix Problems... (Ctrl+F) makes",
    L"the safe fixes, after asking.",
    L"",
    L"Exit code: the error total of the",
    L"last test; -1 when no test ran; -2",
    L"when -h could not write the file.",
};

// The text area's height in lines of the box's font: a message box breaks a line that is wider
// than its text area (under Wine 176 dialog units; on Windows at least that), so a box that
// broke none holds exactly as many lines as the text.
double linesShown(HWND box) {
    NONCLIENTMETRICSW metrics;
    ZeroMemory(&metrics, sizeof(metrics));
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    const WindowDc screen(NULL);
    const GdiObject<HFONT> font(CreateFontIndirectW(&metrics.lfMessageFont));
    TEXTMETRICW text = {};
    {
        const DcSelection selected(screen.get(), font.get());
        GetTextMetricsW(screen.get(), &text);
    }
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (windowText(child) != messageBoxText(box)) continue;
        RECT shown;
        GetClientRect(child, &shown);
        return text.tmHeight ? double(shown.bottom) / text.tmHeight : -1;
    }
    return -1;
}

// The usage, and no test; each line as it stands in the text, none broken by the box.
TEST(StartUp, UsageShowsTheSwitchesAndRunsNoTest) {
    std::wstring usage;
    for (const wchar_t* line : kUsageLines) usage += (line == kUsageLines[0] ? L"" : L"\n") + std::wstring(line);
    const double lines = double(sizeof(kUsageLines) / sizeof(kUsageLines[0]));
    for (const wchar_t* switches : {L"-?", L"-? -o report.txt -s", L"/?"}) {
        TempDirectory dir;
        CheckerProcess checker(switches, dir.widePath());
        HWND box = checker.waitForDialog(20000);
        ASSERT_NE(nullptr, box) << toUtf8(switches);
        EXPECT_EQ(L"Halvane Devices Checker", windowText(box));
        EXPECT_EQ(usage, messageBoxText(box));
        const double shown = linesShown(box);
        EXPECT_GE(shown, lines);
        EXPECT_LT(shown, lines + 1) << "the box broke a line";
        EXPECT_TRUE(windowsOfProcess(checker.id(), CHECKER_WINDOW_CLASS).empty());
        ASSERT_TRUE(pressOk(box));
        int32_t exitCode = -1;
        ASSERT_TRUE(checker.waitExit(10000, &exitCode));
        EXPECT_EQ(0, exitCode);
        EXPECT_TRUE(dir.names().empty());
    }
}

}  // namespace
