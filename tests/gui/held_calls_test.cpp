#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker_remote/checker_remote.h"
#include "support/golden.h"
#include "support/test_files.h"

namespace {

// The real checker on drivers that hold its calls for ever (held_calls_checker.cpp): when its
// first test ends, four of its workers are held inside drivers, and stay there.
std::wstring heldCallsChecker() {
    const std::string path = programFolder() + "held_calls_checker.exe";
    return std::wstring(path.begin(), path.end());
}

// What a report of that world says: the two filters and the two control devices that hold their
// calls did not answer in time, and the two drivers with filters have none of their other
// devices (the fake world lists none, which is 4 more errors each); 14 errors.
void expectTheHeldDriversReported(const std::wstring& report, const char* run) {
    for (const wchar_t* line : {L"CHECKING Halvane Virtual Vesso (version 01000305)\r\n",
                                L"CHECKING Halvane Vesso A : Driver Not Responding\r\n",
                                L"CHECKING Halvane Vesso B : Driver Not Responding\r\n",
                                L"CHECKING Halvane Vesso C (version 02010502)\r\n",
                                L"CONCLUSION: 14 error detected (You may consider re-installing audio drivers)"})
        EXPECT_NE(std::wstring::npos, report.find(line)) << run << ": no line " << std::string(line, line + 40);
    size_t lines = 0;
    for (size_t at = 0; (at = report.find(L"   *ERROR KS Recording Device not responding.\r\n"
                                          L"   *ERROR KS Playback Device not responding.\r\n", at)) != std::wstring::npos;
         ++at)
        ++lines;
    EXPECT_EQ(2u, lines) << run << ": both filters not responding in both directions";
}

// A hidden run ends by itself with the error total as its exit code: its pass gives the held
// calls up two seconds after the first of them was made, and 50 ms for each of the three after
// it; two seconds are left for the start of a Wine process while other tests run beside it (a
// pass that gave each held call its own deadline would take eight).
TEST(HeldCalls, AHiddenRunEndsWithTheErrorTotal) {
    TempDirectory dir;
    const DWORD start = GetTickCount();
    CheckerProcess checker(L"-h -o report.txt", dir.widePath(), heldCallsChecker());
    ASSERT_TRUE(checker.started());
    int32_t exitCode = -1;
    ASSERT_TRUE(checker.waitExit(10000, &exitCode)) << "the run did not end";
    EXPECT_LT(GetTickCount() - start, 2000u + 3 * 50 + 2000);
    EXPECT_EQ(14, exitCode);
    std::string bytes;
    ASSERT_TRUE(readWholeFile(dir.widePath() + L"\\report.txt", &bytes));
    expectTheHeldDriversReported(fromUtf8(bytes), "-h");
}

// Closing the window (a shown run, and a hidden run shown after its test) ends the process
// within a second, with the error total, while the workers stay held.
TEST(HeldCalls, ClosingTheWindowEndsTheProcessAtOnce) {
    for (const wchar_t* arguments : {L"", L"-h -s"}) {
        const std::string run(arguments, arguments + wcslen(arguments));
        CheckerProcess checker(arguments, std::wstring(), heldCallsChecker());
        ASSERT_NE(nullptr, checker.waitForMainWindow(20000)) << run;
        ASSERT_TRUE(checker.waitForFirstReport()) << run;
        expectTheHeldDriversReported(checker.logText(), run.c_str());
        const DWORD start = GetTickCount();
        PostMessageW(checker.mainWindow(), WM_CLOSE, 0, 0);
        int32_t exitCode = -1;
        ASSERT_TRUE(checker.waitExit(1000, &exitCode)) << run << ": still running a second after the close";
        EXPECT_LT(GetTickCount() - start, 1000u) << run;
        EXPECT_EQ(14, exitCode) << run;
    }
}

}  // namespace
