#include <gtest/gtest.h>

#include <string.h>

#include "app/command_line.h"

namespace {

struct SwitchCase {
    const char* commandLine;
    int startHidden;
    int showAfterTest;
};

class ParseCommandLineTest : public testing::TestWithParam<SwitchCase> {};

TEST_P(ParseCommandLineTest, SetsExactlyTheSwitchesGiven) {
    const SwitchCase& c = GetParam();
    AppState state;
    memset(&state, 0, sizeof(state));
    parseCommandLine(c.commandLine, &state);
    EXPECT_EQ(c.startHidden, state.startHidden) << "command line \"" << (c.commandLine ? c.commandLine : "(null)") << "\"";
    EXPECT_EQ(c.showAfterTest, state.showAfterTest) << "command line \"" << (c.commandLine ? c.commandLine : "(null)") << "\"";
}

const SwitchCase kSwitchCases[] = {
    {nullptr, 0, 0},
    {"", 0, 0},
    {"-", 0, 0},            // too short to hold a switch
    {"h", 0, 0},
    {"-h", 1, 0},
    {"-H", 1, 0},
    {"-s", 0, 1},           // alone it only sets the flag; the shell ignores it without -h
    {"-S", 0, 1},
    {"-h -s", 1, 1},
    {"-H -S", 1, 1},
    {"-h-s", 1, 1},         // blanks between switches are optional
    {"-s-h", 1, 1},
    {"-hs", 1, 0},          // one dash, two letters: only h counts
    {"-sh", 0, 1},
    {"-x", 0, 0},
    {"hs", 0, 0},           // no dash
    {"--h", 0, 0},          // the second dash is the letter after the first
    {"---h", 1, 0},         // ...and the third dash starts a new switch
    {"-", 0, 0},
    {"abc -", 0, 0},        // a dash at the end stops the scan
    {"x -h", 1, 0},         // switches may stand anywhere
    {"\"C:\\a b\\tool.exe\" /q -h", 1, 0},
    {"file-name.txt", 0, 0},  // a dash inside a word followed by another letter
    {"file-hame", 1, 0},      // ...but any dash before h is a switch
};

INSTANTIATE_TEST_SUITE_P(Switches, ParseCommandLineTest, testing::ValuesIn(kSwitchCases));

TEST(ParseCommandLine, LeavesOtherFieldsAlone) {
    AppState state;
    memset(&state, 0x5A, sizeof(state));
    state.startHidden = 0;
    state.showAfterTest = 0;
    AppState before = state;
    parseCommandLine("-h -s", &state);
    EXPECT_EQ(1, state.startHidden);
    EXPECT_EQ(1, state.showAfterTest);
    before.startHidden = 1;
    before.showAfterTest = 1;
    EXPECT_EQ(0, memcmp(&before, &state, sizeof(state)));
}

TEST(ResetWindowState, ZeroesFromMainWindowOnAndKeepsTheSwitches) {
    AppState state;
    memset(&state, 0x5A, sizeof(state));
    state.startHidden = 1;
    state.showAfterTest = 1;
    state.is64BitWindows = 1;
    resetWindowState(&state);
    EXPECT_EQ(1, state.startHidden);
    EXPECT_EQ(1, state.showAfterTest);
    EXPECT_EQ(1, state.is64BitWindows);
    AppState zero;
    memset(&zero, 0, sizeof(zero));
    zero.startHidden = zero.showAfterTest = zero.is64BitWindows = 1;
    EXPECT_EQ(0, memcmp(&zero, &state, sizeof(state)));
}

}  // namespace
