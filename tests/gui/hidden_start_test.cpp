#include <gtest/gtest.h>

#include "driver/checker_driver.h"
#include "support/golden.h"

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
    for (const char* arguments : {"-h", "-H", "-hs", "x -h"}) {
        CheckerProcess checker(arguments);
        ASSERT_TRUE(checker.started());
        int32_t exitCode = 0;
        bool exited = false;
        EXPECT_FALSE(everVisibleUntilExit(checker, 20000, &exitCode, &exited)) << arguments;
        ASSERT_TRUE(exited) << arguments << ": did not end by itself";
        // The error total of the test: nothing of the maker's is installed here.
        EXPECT_EQ(0, exitCode) << arguments;
    }
}

TEST(HiddenStart, ShowAfterTestShowsTheWindowOnceTheTestRan) {
    for (const char* arguments : {"-h -s", "-H -S", "-s-h"}) {
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

}  // namespace
