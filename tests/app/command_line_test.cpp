#include <gtest/gtest.h>

#include <stddef.h>
#include <string.h>
#include <wchar.h>

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/report_file.h"
#include "app/safe_file.h"
#include "base/log_buffer.h"
#include "support/golden.h"
#include "support/test_files.h"

namespace {

struct SwitchCase {
    const wchar_t* commandLine;
    int startHidden;
    int showAfterTest;
    int showUsage;
    const wchar_t* reportPath;  // null: no report file
};

// Relative report paths resolve against the current directory, which these cases fix.
class ParseCommandLineTest : public testing::TestWithParam<SwitchCase> {
protected:
    void SetUp() override {
        GetCurrentDirectoryW(MAX_PATH, savedDirectory);
        ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\windows"));
    }
    void TearDown() override { SetCurrentDirectoryW(savedDirectory); }

    wchar_t savedDirectory[MAX_PATH];
};

TEST_P(ParseCommandLineTest, SetsExactlyTheSwitchesGiven) {
    const SwitchCase& c = GetParam();
    const StartSwitches state = parseCommandLine(c.commandLine);
    const std::string shown = c.commandLine ? toUtf8(c.commandLine) : "(null)";
    EXPECT_EQ(c.startHidden, state.startHidden) << "command line \"" << shown << "\"";
    EXPECT_EQ(c.showAfterTest, state.showAfterRun) << "command line \"" << shown << "\"";
    EXPECT_EQ(c.showUsage, state.showUsage) << "command line \"" << shown << "\"";
    EXPECT_EQ(c.reportPath ? 1 : 0, state.reportToFile) << "command line \"" << shown << "\"";
    EXPECT_EQ(toUtf8(c.reportPath ? c.reportPath : L""), toUtf8(state.reportPath))
        << "command line \"" << shown << "\"";
}

const SwitchCase kSwitchCases[] = {
    {nullptr, 0, 0, 0, nullptr},
    {L"", 0, 0, 0, nullptr},
    {L"-", 0, 0, 0, nullptr},            // too short to hold a switch
    {L"h", 0, 0, 0, nullptr},
    {L"-h", 1, 0, 0, nullptr},
    {L"-H", 1, 0, 0, nullptr},
    {L"-s", 0, 1, 0, nullptr},           // alone it only sets the flag; the shell ignores it without -h
    {L"-S", 0, 1, 0, nullptr},
    {L"-h -s", 1, 1, 0, nullptr},
    {L"-H -S", 1, 1, 0, nullptr},
    {L"-h-s", 1, 1, 0, nullptr},         // blanks between switches are optional
    {L"-s-h", 1, 1, 0, nullptr},
    {L"-hs", 1, 0, 0, nullptr},          // one dash, two letters: only h counts
    {L"-sh", 0, 1, 0, nullptr},
    {L"-x", 0, 0, 0, nullptr},
    {L"hs", 0, 0, 0, nullptr},           // no dash
    {L"--h", 0, 0, 0, nullptr},          // the second dash is the letter after the first
    {L"---h", 1, 0, 0, nullptr},         // ...and the third dash starts a new switch
    {L"abc -", 0, 0, 0, nullptr},        // a dash at the end stops the scan
    {L"x -h", 1, 0, 0, nullptr},         // switches may stand anywhere
    {L"\"C:\\a b\\tool.exe\" /q -h", 1, 0, 0, nullptr},
    {L"file-name.txt", 0, 0, 0, nullptr},  // a dash inside a word followed by another letter
    {L"file-hame", 1, 0, 0, nullptr},      // ...but any dash before h is a switch
    {L"--o r.txt", 0, 0, 0, nullptr},      // "o" without a dash of its own
    {L"-?", 0, 0, 1, nullptr},
    {L"-h -? -o r.txt", 1, 0, 0, L"C:\\windows\\r.txt"},  // a hidden run shows no usage box
    {L"-?-h", 1, 0, 0, nullptr},
    {L"-?h", 0, 0, 1, nullptr},
    // The report file: the path is taken whole, so that its dashes are no switches.
    {L"-h -o report.txt", 1, 0, 0, L"C:\\windows\\report.txt"},
    {L"-o ..\\r.txt", 0, 0, 0, L"C:\\r.txt"},
    {L"-h -o \"C:\\my reports\\r.txt\" -s", 1, 1, 0, L"C:\\my reports\\r.txt"},
    {L"-o C:\\my-home\\r-s.txt", 0, 0, 0, L"C:\\my-home\\r-s.txt"},
    {L"-o C:\\a\" b\"\\r-h.txt -s", 0, 1, 0, L"C:\\a b\\r-h.txt"},  // quotes around a part
    {L"-oC:\\r.txt-h", 0, 0, 0, L"C:\\r.txt-h"},                      // no blank before the path
    {L"-O\tD:\\x.txt\t-H", 1, 0, 0, L"D:\\x.txt"},
    {L"-o \"-x.txt\"", 0, 0, 0, L"C:\\windows\\-x.txt"},  // quoted, a path may start with a dash
    {L"-o \"C:\\open quote -h", 0, 0, 0, L"C:\\open quote -h"},  // an open quote runs to the end
    {L"-o a.txt -o b.txt", 0, 0, 0, L"C:\\windows\\b.txt"},      // the last one counts
    {L"-o C:\\Pr\u00fcfung\\\u043e\u0442\u0447\u0451\u0442\u4e2d.txt", 0, 0, 0,
     L"C:\\Pr\u00fcfung\\\u043e\u0442\u0447\u0451\u0442\u4e2d.txt"},
    // Launchers that quote every argument: Windows' argument rules decide where the path is.
    {L"\"-h\" \"-o\" \"C:\\rep\\q1.txt\"", 1, 0, 0, L"C:\\rep\\q1.txt"},
    {L"\"-h\" \"-o\" \"C:\\rep\\with blank\\q4.txt\" \"-s\"", 1, 1, 0, L"C:\\rep\\with blank\\q4.txt"},
    {L"\"-oC:\\My r-h.txt\"", 0, 0, 0, L"C:\\My r-h.txt"},
    {L"-o\"C:\\My r.txt\" -h", 1, 0, 0, L"C:\\My r.txt"},
    {L"\"-o C:\\My r.txt\"", 0, 0, 0, L"C:\\My r.txt"},    // one quoted argument, blank inside
    {L"-o \"r\"\"q -h.txt\"", 1, 0, 0, L"C:\\windows\\r\"q"},  // a doubled quote: one, and the quotes close
    {L"-o C:\\a\\\\\"b c\"", 0, 0, 0, L"C:\\a\\b c"},  // 2n backslashes before a quote: n, the quote opens
    {L"-o \"C:\\x\\\\\" -h", 1, 0, 0, L"C:\\x\\"},          // ...and the quote closes
    {L"-o C:\\x\\ -h", 1, 0, 0, L"C:\\x\\"},               // backslashes not before a quote stay
    {L"-o \"C:\\x\\\" -h\" -s", 0, 1, 0, L"C:\\x\" -h"},     // 2n+1: a literal quote, still quoted
    {L"-o\"\" C:\\r.txt", 0, 0, 0, L"C:\\r.txt"},             // an empty rest: the next argument
    {L"-o -\"x.txt\"", 0, 0, 0, nullptr},                         // an unquoted dash starts no path
    // "-o" without a path is ignored, like a switch the program does not know.
    {L"-o -h", 1, 0, 0, nullptr},
    {L"-h -o", 1, 0, 0, nullptr},
    {L"-h -o   ", 1, 0, 0, nullptr},
    {L"-o \"\" -s", 0, 1, 0, nullptr},
    // Whether a path starts with a dash is judged on Windows' splitting: a quoted dash starts a
    // path, an unquoted one a switch, wherever the quotes stand; the path's text is no switch.
    {L"-h \"-o -s\"", 1, 0, 0, L"C:\\windows\\-s"},
    {L"-h \"-o\"-s", 1, 1, 0, nullptr},
    {L"-h \"-o-x.txt\"", 1, 0, 0, L"C:\\windows\\-x.txt"},
    {L"-h -o \"-x.txt\"", 1, 0, 0, L"C:\\windows\\-x.txt"},
    {L"-h -o\" r.txt\"", 1, 0, 0, L"C:\\windows\\r.txt"},   // a quoted blank is no part of the path
    {L"-o \" -h.txt\" -s", 0, 1, 0, L"C:\\windows\\-h.txt"},
    {L"-o \"  \" -s", 0, 1, 0, nullptr},                      // blanks alone name no file
    {L"\"-h\" \"-s\"", 1, 1, 0, nullptr},                       // quotes around a switch do not matter
    {L"-\"h\" -\"s\"", 1, 1, 0, nullptr},
    {L"\"-o\" \"-\"x.txt", 0, 0, 0, L"C:\\windows\\-x.txt"},
    // Windows-style switches: a slash is a dash, in any letter case, by the same splitting.
    {L"/h", 1, 0, 0, nullptr},
    {L"/H /S", 1, 1, 0, nullptr},
    {L"/h/s", 1, 1, 0, nullptr},
    {L"/hs", 1, 0, 0, nullptr},
    {L"/?", 0, 0, 1, nullptr},
    {L"/h /?", 1, 0, 0, nullptr},
    {L"//h", 0, 0, 0, nullptr},  // the second slash is the letter after the first
    {L"-/h", 0, 0, 0, nullptr},
    {L"x/h", 1, 0, 0, nullptr},
    {L"\"/h\" \"/s\"", 1, 1, 0, nullptr},
    {L"/h /o C:\\r.json", 1, 0, 0, L"C:\\r.json"},
    {L"/O C:\\r.txt /S", 0, 1, 0, L"C:\\r.txt"},
    {L"/oC:\\r.txt", 0, 0, 0, L"C:\\r.txt"},
    {L"/o \"C:\\My r-h.txt\" /h", 1, 0, 0, L"C:\\My r-h.txt"},
    {L"/o -h", 1, 0, 0, nullptr},
    // A path may start with slashes; what it takes is never read for switches.
    {L"-o //server/share/r.txt", 0, 0, 0, L"\\\\server\\share\\r.txt"},
    {L"/o //server/share/r-h.txt -s", 0, 1, 0, L"\\\\server\\share\\r-h.txt"},
    {L"-o//server/share/r.txt", 0, 0, 0, L"\\\\server\\share\\r.txt"},
    {L"-h -o //s/t/r.txt", 1, 0, 0, L"\\\\s\\t\\r.txt"},
    {L"/o \"\" /s", 0, 1, 0, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Switches, ParseCommandLineTest, testing::ValuesIn(kSwitchCases));

// Differential run against Windows' own splitting: 1,000 random command lines of dashes,
// slashes, switch letters, quotes, backslashes and blanks, each parsed by the checker and by a
// reference that applies the switch and path rules to what CommandLineToArgvW makes of the line.
// Whether a dash stood inside quotes is asked of CommandLineToArgvW too: a quoted blank put in
// its place leaves the argument whole, an unquoted one does not.
typedef std::vector<std::wstring> Arguments;

Arguments windowsArguments(const std::wstring& line) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW((L"checker.exe " + line).c_str(), &count);
    Arguments arguments;
    for (int i = 1; argv && i < count; ++i) arguments.push_back(argv[i]);
    LocalFree(argv);
    return arguments;
}

// The line's dashes and slashes, numbered: each one becomes a private-use character of its own,
// so that it can be told apart in the arguments.
const wchar_t kFirstMark = 0xE000;
bool isMark(wchar_t c) { return c >= kFirstMark && c < kFirstMark + 0x1000; }

struct Reference {
    SwitchCase expected;
    std::wstring path;
    bool pathStartsWithQuotedDash = false;
    bool pathStartsWithSlash = false;
};

Reference referenceParse(const std::wstring& line) {
    std::wstring marked = line, marks;  // marks: what each mark stands for
    for (wchar_t& c : marked)
        if (c == L'-' || c == L'/') {
            marks += c;
            c = wchar_t(kFirstMark + marks.size() - 1);
        }
    const Arguments args = windowsArguments(marked);
    auto quoted = [&](wchar_t mark) {
        std::wstring blanked = marked;
        std::replace(blanked.begin(), blanked.end(), mark, L' ');
        Arguments expected = args;
        for (std::wstring& a : expected) std::replace(a.begin(), a.end(), mark, L' ');
        return windowsArguments(blanked) == expected;
    };
    auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    auto original = [&](wchar_t c) { return isMark(c) ? marks[c - kFirstMark] : c; };
    // Where a path would start: an unquoted dash is a switch's.
    auto startsSwitch = [&](wchar_t c) { return original(c) == L'-' && isMark(c) && !quoted(c); };
    auto unmarked = [&](std::wstring text) {
        for (wchar_t& c : text) c = original(c);
        return text;
    };
    Reference r;
    r.expected = SwitchCase{nullptr, 0, 0, 0, nullptr};
    bool havePath = false;
    auto takePath = [&](const std::wstring& text) {
        havePath = true;
        r.pathStartsWithQuotedDash = original(text[0]) == L'-';
        r.pathStartsWithSlash = original(text[0]) == L'/';
        r.path = unmarked(text);
    };
    for (size_t k = 0; k < args.size(); ++k) {
        const std::wstring& a = args[k];
        for (size_t i = 0; i < a.size();) {
            if (!isMark(a[i])) { ++i; continue; }
            if (i + 1 >= a.size()) break;
            const wchar_t letter = original(a[i + 1]);
            if (letter != L'o' && letter != L'O') {
                if (letter == L'h' || letter == L'H') r.expected.startHidden = 1;
                if (letter == L's' || letter == L'S') r.expected.showAfterTest = 1;
                if (letter == L'?') r.expected.showUsage = 1;
                i += 2;
                continue;
            }
            size_t start = i + 2;
            while (start < a.size() && isBlank(a[start])) ++start;
            if (start < a.size()) {
                if (startsSwitch(a[start])) { i = start; continue; }
                takePath(a.substr(start));
                break;
            }
            if (k + 1 >= args.size()) break;
            const std::wstring& next = args[k + 1];
            start = 0;
            while (start < next.size() && isBlank(next[start])) ++start;
            if (start < next.size() && startsSwitch(next[start])) break;
            if (start < next.size()) takePath(next.substr(start));
            ++k;
            break;
        }
    }
    if (r.expected.startHidden) r.expected.showUsage = 0;
    if (havePath) r.expected.reportPath = L"";  // resolved by the caller
    return r;
}

TEST(ParseCommandLine, AgreesWithWindowsArgumentSplittingOnRandomLines) {
    const wchar_t* const pieces[] = {L"-", L"-", L"-o", L"-O", L"-h", L"-s", L"-?", L"o", L"h", L"\"", L"\"",
                                     L"\"\"", L"\\", L"\\\\", L" ", L" ", L"\t", L"x", L"r.txt", L"C:\\a b\\",
                                     L"-x.txt", L"\\\"", L"/", L"/o", L"/O", L"/h", L"/S", L"/?", L"//srv/r.txt"};
    const size_t pieceCount = sizeof(pieces) / sizeof(pieces[0]);
    uint32_t seed = 20250125;
    auto random = [&](uint32_t below) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % below;
    };
    wchar_t savedDirectory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, savedDirectory);
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\windows"));
    int mismatches = 0, paths = 0, quotedDashPaths = 0, slashPaths = 0, hidden = 0;
    for (int n = 0; n < 1000; ++n) {
        std::wstring line;
        const uint32_t length = 1 + random(14);
        for (uint32_t i = 0; i < length; ++i) line += pieces[random(uint32_t(pieceCount))];
        const Reference r = referenceParse(line);
        wchar_t full[REPORT_PATH_CAPACITY] = L"";
        if (r.expected.reportPath) {
            const DWORD size = GetFullPathNameW(r.path.c_str(), REPORT_PATH_CAPACITY, full, NULL);
            if (size == 0 || size >= REPORT_PATH_CAPACITY) full[0] = 0;
            ++paths;
            if (r.pathStartsWithQuotedDash) ++quotedDashPaths;
            if (r.pathStartsWithSlash) ++slashPaths;
        }
        hidden += r.expected.startHidden;
        const StartSwitches state = parseCommandLine(line.c_str());
        const bool same = state.startHidden == r.expected.startHidden &&
                          state.showAfterRun == r.expected.showAfterTest &&
                          state.showUsage == r.expected.showUsage &&
                          state.reportToFile == (r.expected.reportPath ? 1 : 0) && wcscmp(state.reportPath, full) == 0;
        if (!same && ++mismatches <= 10)
            ADD_FAILURE() << "command line [" << toUtf8(line) << "]: checker " << state.startHidden
                          << state.showAfterRun << state.showUsage << state.reportToFile << " ["
                          << toUtf8(state.reportPath) << "], Windows' splitting " << r.expected.startHidden
                          << r.expected.showAfterTest << r.expected.showUsage << (r.expected.reportPath ? 1 : 0)
                          << " [" << toUtf8(full) << "]";
    }
    SetCurrentDirectoryW(savedDirectory);
    EXPECT_EQ(0, mismatches);
    // The lines reach every rule: paths, paths that start with a quoted dash or with a slash,
    // switches.
    EXPECT_GT(paths, 200);
    EXPECT_GT(quotedDashPaths, 20);
    EXPECT_GT(slashPaths, 20);
    EXPECT_GT(hidden, 200);
}

// The program name ends where CommandLineToArgvW ends it, whatever characters it holds: what
// argumentsOf leaves splits into the arguments Windows gives behind the program name, on 100,000
// random lines whose program names hold blanks, tabs, quotes and control characters.
TEST(ArgumentsOf, LeavesTheArgumentsWindowsSplitsOnRandomLines) {
    const wchar_t* const nameParts[] = {L"checker", L".exe", L"\"", L" ", L"\t", L"\x01", L"\x0b", L"\x1f",
                                        L"\x7f", L"\u0085", L"C:\\a b\\", L"-h", L"\\"};
    const wchar_t* const argumentParts[] = {L"-h", L"-o", L" ", L"\t", L"\"", L"r.txt", L"\x01", L"x"};
    uint32_t seed = 31;
    auto random = [&](uint32_t below) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % below;
    };
    auto splitting = [](const std::wstring& line) {
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
        Arguments arguments;
        for (int i = 1; argv && i < count; ++i) arguments.push_back(argv[i]);
        LocalFree(argv);
        return arguments;
    };
    int mismatches = 0;
    for (int n = 0; n < 100000; ++n) {
        std::wstring line;
        for (uint32_t i = 1 + random(6); i > 0; --i) line += nameParts[random(sizeof(nameParts) / sizeof(nameParts[0]))];
        for (uint32_t i = random(6); i > 0; --i)
            line += argumentParts[random(sizeof(argumentParts) / sizeof(argumentParts[0]))];
        const Arguments expected = splitting(line);
        if (splitting(L"checker.exe " + std::wstring(argumentsOf(line.c_str()))) != expected && ++mismatches <= 10)
            ADD_FAILURE() << "[" << toUtf8(line) << "] leaves [" << toUtf8(argumentsOf(line.c_str())) << "]";
    }
    EXPECT_EQ(0, mismatches);
}

// A path that cannot be held whole must not be cut into the name of another file.
// "-fix" is a word; it counts only with "-h", agrees to kinds of fixes by a mask, and names the
// window's block by a token of 16 digits, never a target.
TEST(ParseCommandLine, FixOnlyWithAHiddenRun) {
    const uint64_t all = ~uint64_t(0);
    const struct {
        const wchar_t* line;
        bool fix;
        uint64_t agreed;
        bool reply;
        uint64_t token;
        bool hidden, shown;
    } cases[] = {
        {L"-h -fix", true, all, false, 0, true, false},
        {L"/H /FIX", true, all, false, 0, true, false},
        {L"-fix -h -s", true, all, false, 0, true, true},
        {L"-fix", false, 0, false, 0, false, false},   // a window changes nothing without a Yes
        {L"-h -fx -fi-s", false, 0, false, 0, true, true},
        {L"-h -fix:3", true, 3, false, 0, true, false},
        {L"-h -fix:", true, all, false, 0, true, false},
        {L"-h -fix:1f:0123456789ABCDEF", true, 0x1f, true, 0x0123456789ABCDEFull, true, false},
        {L"-h -fix:1f:0123456789", true, 0x1f, false, 0x0123456789ull, true, false},  // too short to name a block
        {L"-h -fix:1f:0123456789ABCDEF0-s", true, 0x1f, true, 0x0123456789ABCDEFull, true, true},
        {L"-fix:1-h", true, 1, false, 0, true, false},
    };
    for (const auto& c : cases) {
        const StartSwitches s = parseCommandLine(c.line);
        const std::string line = toUtf8(c.line);
        EXPECT_EQ(c.fix, s.fix) << line;
        if (c.fix) EXPECT_EQ(c.agreed, s.fixAgreed) << line;
        EXPECT_EQ(c.reply, s.replyToWindow) << line;
        if (c.reply) EXPECT_EQ(c.token, s.replyToken) << line;
        EXPECT_EQ(c.hidden, s.startHidden) << line;
        EXPECT_EQ(c.shown, s.showAfterRun) << line;
    }
}

TEST(ParseCommandLine, AReportPathTooLongIsKeptAsUnwritable) {
    const StartSwitches state = parseCommandLine((L"-o C:\\" + std::wstring(300, L'a') + L".txt").c_str());
    EXPECT_EQ(1, state.reportToFile);
    EXPECT_EQ(0, state.reportPath[0]);
    EXPECT_EQ(-1, writeReportFile(state.reportPath, {L"report"}));
}

TEST(ArgumentsOf, SkipProgramNameAsTheRuntimeDoes) {
    const struct {
        const wchar_t* processCommandLine;
        const wchar_t* arguments;
    } cases[] = {
        {L"\"C:\\tools-h\\checker.exe\" -s", L"-s"},  // a dash in the program's path is no switch
        {L"C:\\tools-h\\checker.exe \t -o r.txt", L"-o r.txt"},
        {L"\"C:\\a b\\checker.exe\"-h", L"-h"},
        {L"checker.exe", L""},
        {L"\"C:\\unclosed -h", L""},
        {L"checker.exe\t-h", L"-h"},             // a tab ends the name as a blank does
        {L"checker.exe\x01-h \x01-s", L"\x01-s"},  // a control character does not
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(toUtf8(c.arguments), toUtf8(argumentsOf(c.processCommandLine))) << toUtf8(c.processCommandLine);
}

TEST(ResetWindowState, ZeroesFromMainWindowOnAndKeepsTheSwitches) {
    AppState state;
    memset(&state, 0x5A, sizeof(state));
    state.switches = parseCommandLine(L"-h -s -o C:\\r.txt");
    state.is64BitWindows = 1;
    const AppState before = state;
    resetWindowState(&state);
    AppState expected;
    memset(&expected, 0, sizeof(expected));
    memcpy(&expected, &before, offsetof(AppState, mainWindow));
    EXPECT_EQ(0, memcmp(&expected, &state, sizeof(state)));
    EXPECT_EQ(toUtf8(L"C:\\r.txt"), toUtf8(state.switches.reportPath));
    EXPECT_EQ(1, state.is64BitWindows);
    EXPECT_EQ(nullptr, state.mainWindow);
}

// The report file that "-o" names.

std::string fileBytes(const std::wstring& path) {
    std::string bytes;
    EXPECT_TRUE(readWholeFile(path, &bytes));
    return bytes;
}

TEST(ReportFile, Utf8WithByteOrderMarkAndTheTextUnchanged) {
    const struct {
        const wchar_t* text;
        const char* bytes;
    } cases[] = {
        {nullptr, "\xEF\xBB\xBF"},
        {L"", "\xEF\xBB\xBF"},
        {L"CONCLUSION: OK\r\n", "\xEF\xBB\xBF" "CONCLUSION: OK\r\n"},
        // Names outside the ANSI code page: Latin, CJK and a pair beyond the BMP.
        {L"IN MME Mikr\u00e9 \u4e2d \U0001F3A4 |\r\n",
         "\xEF\xBB\xBF" "IN MME Mikr\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x8E\xA4 |\r\n"},
        // Unpaired surrogates from a driver's name become U+FFFD and the write goes on.
        {L"a\xD800" L"b\xDC00" L"c\r\n", "\xEF\xBB\xBF" "a\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c\r\n"},
        {L"\xDFA4\xD83C", "\xEF\xBB\xBF" "\xEF\xBF\xBD\xEF\xBF\xBD"},  // a pair in the wrong order
        {L"end\xD83C", "\xEF\xBB\xBF" "end\xEF\xBF\xBD"},
    };
    // Each write replaces the one before (the first a longer file of another kind), and leaves
    // nothing beside it.
    TempDirectory dir;
    const std::wstring path = dir.widePath() + L"\\report.txt";
    ASSERT_TRUE(writeWholeFile(path, std::string(100000, 'o')));
    for (const auto& c : cases) {
        EXPECT_EQ(0, writeReportFile(path.c_str(), {c.text})) << c.bytes;
        EXPECT_EQ(std::string(c.bytes), fileBytes(path));
    }
    EXPECT_EQ(std::vector<std::wstring>{L"report.txt"}, dir.names());
}

// A log far longer than any piece the writer converts at once, with surrogate pairs on every
// odd and even offset, comes back whole.
TEST(ReportFile, AWholeLogSurvivesTheRoundTrip) {
    LogBuffer log;
    createLog(&log);
    ASSERT_NE(nullptr, log.text);
    std::wstring pairs = L"x";
    for (int i = 0; i < 5000; ++i) pairs += L"\U0001F3A4";
    ASSERT_EQ(0, appendWide(&log, pairs.c_str()));
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(0, appendWide(&log, i % 2 ? L"OUT WDM \u041c\u0438\u043a\u0440\u043e\u0444\u043e\u043d \U0001F50A | x"
                                            : L"IN MME Lautsprecher \u00e4\u00f6\u00fc | \u4e2d\u6587"));
    TempDirectory dir;
    const std::wstring path = dir.widePath() + L"\\Pr\u00fcfung \u4e2d.txt";
    ASSERT_EQ(0, writeReportFile(path.c_str(), {log.text}));
    const std::string bytes = fileBytes(path);
    ASSERT_EQ(std::string("\xEF\xBB\xBF"), bytes.substr(0, 3));
    EXPECT_TRUE(sameBytes(toUtf8(std::wstring(log.text, log.length)), bytes.substr(3)));
    releaseLog(&log);
}

// Whatever stops the write, the file there stays as it was, no temporary file is left, and
// the Windows reason is at hand for the message.
TEST(ReportFile, AFailedWriteLeavesTheFileAsItWas) {
    TempDirectory dir;
    const std::wstring folder = dir.widePath();
    ASSERT_TRUE(writeWholeFile(folder + L"\\read-only.txt", "old report"));
    ASSERT_TRUE(SetFileAttributesW((folder + L"\\read-only.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(writeWholeFile(folder + L"\\held open.txt", "old report"));
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\a folder").c_str(), NULL));
    HANDLE held = CreateFileW((folder + L"\\held open.txt").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const std::vector<std::wstring> namesBefore = dir.names();

    const struct {
        const wchar_t* name;  // in the folder; null: an empty path
        int32_t result;
        DWORD error;
        const char* contentAfter;  // null: no file to look into
    } cases[] = {
        {L"no such folder\\report.txt", -3, 3, nullptr},
        {L"read-only.txt", -2, 5, "old report"},
        {L"a folder", -2, 5, nullptr},
        {L"held open.txt", -5, 5, "old report"},  // another program has it open without sharing
        {nullptr, -1, 123, nullptr},
        {L"read-only.txt\\report.txt", -3, 123, nullptr},  // a file where the folder should be
        {L"a folder\\", -2, 5, nullptr},                    // the folder itself
        {L"read-only.txt:stream", -1, 123, nullptr},       // a stream of another file
    };
    for (const auto& c : cases) {
        const std::wstring path = c.name ? folder + L"\\" + c.name : std::wstring();
        SetLastError(0);
        EXPECT_EQ(c.result, writeReportFile(path.c_str(), {L"new report\r\n"})) << toUtf8(path);
        EXPECT_EQ(c.error, GetLastError()) << toUtf8(path);
        if (c.contentAfter) EXPECT_EQ(std::string(c.contentAfter), fileBytes(path));
        EXPECT_EQ(namesBefore, dir.names()) << toUtf8(path);
    }
    CloseHandle(held);
}

// A "\\?\" path is taken as it stands, so a slash in the report's name would reach into a folder
// below the one opened: refused like a colon, whether that folder is a link to another one or
// not, and nothing is written in either.
TEST(ReportFile, ANameWithASlashIsRefused) {
    TempDirectory dir;
    const std::wstring folder = dir.widePath();
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\A").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\B").c_str(), NULL));
    ASSERT_TRUE(writeWholeFile(folder + L"\\B\\in B", ""));
    ASSERT_TRUE(pointLinkAt(folder + L"\\sub", L"B", L"in B"));
    for (const wchar_t* name : {L"sub/r.txt", L"A/r.txt"}) {
        SetLastError(0);
        EXPECT_EQ(-1, writeReportFile((L"\\\\?\\" + folder + L"\\" + name).c_str(), {L"report"})) << toUtf8(name);
        EXPECT_EQ(DWORD(ERROR_INVALID_NAME), GetLastError()) << toUtf8(name);
    }
    EXPECT_EQ(std::vector<std::wstring>{L"in B"}, namesIn(folder + L"\\B"));
    EXPECT_EQ(std::vector<std::wstring>(), namesIn(folder + L"\\A"));
    EXPECT_TRUE(removeLink(folder + L"\\sub"));
}

// Temporary names come from the system's random source; a name someone already took, here a
// hard link to a file of theirs, is passed over and left as it was. Eight taken names in a row
// give up without touching any of them.
uint32_t g_nextRandom = 0;
BOOLEAN WINAPI countingRandom(PVOID buffer, ULONG size) {
    uint32_t* words = static_cast<uint32_t*>(buffer);
    for (ULONG i = 0; i < size / 4; ++i) words[i] = i == 0 ? 0 : g_nextRandom++;
    return TRUE;
}

TEST(ReportFile, TemporaryNamesAlreadyTakenAreNeverUsed) {
    TempDirectory dir;
    const std::wstring folder = dir.widePath();
    const std::wstring theirs = folder + L"\\theirs.txt";
    ASSERT_TRUE(writeWholeFile(theirs, "their file"));
    const wchar_t* taken[] = {L"0000000000000000", L"0000000000000001", L"0000000000000002",
                              L"0000000000000003", L"0000000000000004", L"0000000000000005",
                              L"0000000000000006", L"0000000000000007"};
    for (const wchar_t* name : taken)
        ASSERT_TRUE(CreateHardLinkW((folder + L"\\report.txt." + name + L".tmp").c_str(), theirs.c_str(), NULL));
    const std::vector<std::wstring> namesBefore = dir.names();
    const std::wstring report = folder + L"\\report.txt";
    const auto systemRandom = g_safeFileCalls.temporaryNameRandom;
    g_safeFileCalls.temporaryNameRandom = countingRandom;

    g_nextRandom = 0;
    SetLastError(0);
    EXPECT_EQ(-3, writeReportFile(report.c_str(), {L"report\r\n"}));
    EXPECT_EQ(DWORD(ERROR_FILE_EXISTS), GetLastError());
    EXPECT_EQ(namesBefore, dir.names());

    g_nextRandom = 7;  // the eighth name is taken, the ninth is free
    EXPECT_EQ(0, writeReportFile(report.c_str(), {L"report\r\n"}));
    g_safeFileCalls.temporaryNameRandom = systemRandom;
    EXPECT_EQ(std::string("\xEF\xBB\xBFreport\r\n"), fileBytes(report));
    EXPECT_EQ(std::string("their file"), fileBytes(theirs));
    std::vector<std::wstring> namesAfter = namesBefore;
    namesAfter.insert(namesAfter.begin(), L"report.txt");
    std::sort(namesAfter.begin(), namesAfter.end());
    EXPECT_EQ(namesAfter, dir.names());
}

// The report's folder reached through a symbolic link that someone repoints to a folder of
// theirs while the report is written: before the temporary file is created, before it is
// renamed, or before a failed one is deleted. Everything happens in the folder opened first:
// the report lands there, and the other folder, its report and a file planted there under the
// temporary file's very name, stay as they were.
struct Repointing {
    const char* when;
    bool beforeCreating;  // else once the content is being written
    bool writeFails;
};

class ReportFolderLinkTest : public testing::TestWithParam<Repointing> {
protected:
    void SetUp() override {
        folder = dir.widePath();
        link = folder + L"\\reports";
        ASSERT_TRUE(CreateDirectoryW((folder + L"\\A").c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryW((folder + L"\\B").c_str(), NULL));
        ASSERT_TRUE(writeWholeFile(folder + L"\\A\\in A", ""));
        ASSERT_TRUE(writeWholeFile(folder + L"\\B\\in B", ""));
        ASSERT_TRUE(writeWholeFile(folder + L"\\B\\report.txt", "their report"));
        ASSERT_TRUE(writeWholeFile(folder + L"\\B\\report.txt.0000000000000000.tmp", "their file"));
        ASSERT_TRUE(pointLinkAt(link, L"A", L"in A"));
        systemRandom = g_safeFileCalls.temporaryNameRandom;
        g_safeFileCalls.temporaryNameRandom = zeroRandom;
        current = this;
    }
    void TearDown() override {
        g_safeFileCalls.temporaryNameRandom = systemRandom;
        current = nullptr;
        EXPECT_TRUE(removeLink(link));
    }

    static BOOLEAN WINAPI zeroRandom(PVOID buffer, ULONG size) {
        if (current->GetParam().beforeCreating) current->repointed = pointLinkAt(current->link, L"B", L"in B");
        memset(buffer, 0, size);
        return TRUE;
    }
    static bool writeReport(HANDLE file, void* context) {
        ReportFolderLinkTest* test = static_cast<ReportFolderLinkTest*>(context);
        if (!test->GetParam().beforeCreating) test->repointed = pointLinkAt(test->link, L"B", L"in B");
        if (test->GetParam().writeFails) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        return writeAll(file, "new report", 10);
    }

    TempDirectory dir;
    std::wstring folder, link;
    bool repointed = false;
    BOOLEAN(WINAPI* systemRandom)(PVOID, ULONG) = nullptr;
    static ReportFolderLinkTest* current;
};
ReportFolderLinkTest* ReportFolderLinkTest::current = nullptr;

TEST_P(ReportFolderLinkTest, EveryStepStaysInTheFolderOpenedFirst) {
    const Repointing& c = GetParam();
    const FileContent content = {writeReport, this};
    SetLastError(0);
    const int32_t result = replaceFileSafely((link + L"\\report.txt").c_str(), content);
    ASSERT_TRUE(repointed);
    if (c.writeFails) {
        EXPECT_EQ(-4, result);
        EXPECT_EQ(DWORD(ERROR_DISK_FULL), GetLastError());
        EXPECT_EQ(std::vector<std::wstring>{L"in A"}, namesIn(folder + L"\\A"));
    } else {
        EXPECT_EQ(0, result);
        EXPECT_EQ(std::string("new report"), fileBytes(folder + L"\\A\\report.txt"));
        EXPECT_EQ((std::vector<std::wstring>{L"in A", L"report.txt"}), namesIn(folder + L"\\A"));
    }
    EXPECT_EQ(std::string("their report"), fileBytes(folder + L"\\B\\report.txt"));
    EXPECT_EQ(std::string("their file"), fileBytes(folder + L"\\B\\report.txt.0000000000000000.tmp"));
    EXPECT_EQ((std::vector<std::wstring>{L"in B", L"report.txt", L"report.txt.0000000000000000.tmp"}),
              namesIn(folder + L"\\B"));
}

INSTANTIATE_TEST_SUITE_P(Repointed, ReportFolderLinkTest,
                         testing::Values(Repointing{"before creating", true, false},
                                         Repointing{"before renaming", false, false},
                                         Repointing{"before deleting", false, true}),
                         [](const testing::TestParamInfo<Repointing>& info) {
                             std::string name = info.param.when;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

// Someone who links a name of theirs to the temporary file the moment it exists (Windows lets
// anyone who may write there make a hard link to an open file) never gets the report: the
// writer sees the second link before writing anything and gives the file up.
std::wstring g_theirLink;
NTSTATUS(WINAPI* g_realCreateFile)(HANDLE*, ACCESS_MASK, OBJECT_ATTRIBUTES*, IO_STATUS_BLOCK*, LARGE_INTEGER*, ULONG,
                                   ULONG, ULONG, ULONG, void*, ULONG) = nullptr;
NTSTATUS WINAPI createAndLink(HANDLE* file, ACCESS_MASK access, OBJECT_ATTRIBUTES* attributes, IO_STATUS_BLOCK* status,
                              LARGE_INTEGER* allocationSize, ULONG fileAttributes, ULONG share, ULONG disposition,
                              ULONG options, void* extendedAttributes, ULONG extendedAttributesLength) {
    const NTSTATUS result = g_realCreateFile(file, access, attributes, status, allocationSize, fileAttributes, share,
                                             disposition, options, extendedAttributes, extendedAttributesLength);
    if (result >= 0 && disposition == 2 /* FILE_CREATE */) {
        const std::wstring name(attributes->ObjectName->Buffer, attributes->ObjectName->Length / sizeof(wchar_t));
        const size_t slash = g_theirLink.rfind(L'\\');
        EXPECT_TRUE(CreateHardLinkW(g_theirLink.c_str(), (g_theirLink.substr(0, slash + 1) + name).c_str(), NULL));
    }
    return result;
}

TEST(ReportFile, ATemporaryFileLinkedBySomeoneElseIsGivenUp) {
    TempDirectory dir;
    const std::wstring report = dir.widePath() + L"\\report.txt";
    ASSERT_TRUE(writeWholeFile(report, "old report"));
    g_theirLink = dir.widePath() + L"\\theirs.txt";
    g_realCreateFile = g_safeFileCalls.createFile;
    g_safeFileCalls.createFile = createAndLink;
    SetLastError(0);
    const int32_t result = writeReportFile(report.c_str(), {L"secret report\r\n"});
    const DWORD error = GetLastError();
    g_safeFileCalls.createFile = g_realCreateFile;
    EXPECT_EQ(-3, result);
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), error);
    EXPECT_EQ(std::string(""), fileBytes(g_theirLink));
    EXPECT_EQ(std::string("old report"), fileBytes(report));
    EXPECT_EQ((std::vector<std::wstring>{L"report.txt", L"theirs.txt"}), dir.names());
}

// What Wine cannot make: a report folder that is a junction or a symbolic link (Wine 8 makes no
// reparse point and shows a Linux link as a plain folder). The folder's attributes and reparse
// tag say so here, between the checker and Windows: a folder whose tag stands for another name,
// or whose tag cannot be read, is refused before anything is created in it; a cloud folder (a
// reparse point of another kind) and a plain one take the report. The folder is opened without
// following a link, and so is every name opened in it.
struct ReportFolderKind {
    const char* what;
    bool reparsePoint;
    bool tagReadable;
    ULONG tag;
    int32_t result;
};
ReportFolderKind g_folderKind;
DWORD g_folderFlags;
std::vector<ULONG> g_optionsInFolder;
SafeFileCalls g_realSafeFileCalls;

HANDLE WINAPI openFolderSeen(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                             DWORD flags, HANDLE templateFile) {
    g_folderFlags = flags;
    return g_realSafeFileCalls.createFileW(path, access, share, security, disposition, flags, templateFile);
}
BOOL WINAPI folderAsKind(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    const BOOL read = g_realSafeFileCalls.getFileInformationByHandle(file, information);
    if (read && (information->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && g_folderKind.reparsePoint)
        information->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return read;
}
NTSTATUS WINAPI tagOfKind(HANDLE file, IO_STATUS_BLOCK* status, void* information, ULONG length, int informationClass) {
    const int kFileAttributeTagInformation = 35;
    if (informationClass != kFileAttributeTagInformation)
        return g_realSafeFileCalls.queryInformationFile(file, status, information, length, informationClass);
    if (!g_folderKind.tagReadable) return NTSTATUS(0xC0000010);  // STATUS_INVALID_DEVICE_REQUEST
    const NTSTATUS result = g_realSafeFileCalls.queryInformationFile(file, status, information, length, informationClass);
    static_cast<ULONG*>(information)[1] = g_folderKind.tag;
    return result;
}
NTSTATUS WINAPI createSeen(HANDLE* file, ACCESS_MASK access, OBJECT_ATTRIBUTES* attributes, IO_STATUS_BLOCK* status,
                           LARGE_INTEGER* allocationSize, ULONG fileAttributes, ULONG share, ULONG disposition,
                           ULONG options, void* extendedAttributes, ULONG extendedAttributesLength) {
    g_optionsInFolder.push_back(options);
    return g_realSafeFileCalls.createFile(file, access, attributes, status, allocationSize, fileAttributes, share,
                                          disposition, options, extendedAttributes, extendedAttributesLength);
}

TEST(ReportFile, AFolderThatIsALinkIsRefusedAndNoNameIsFollowed) {
    const ReportFolderKind kinds[] = {
        {"a plain folder", false, true, 0, 0},
        {"a junction", true, true, 0xA0000003, -3},
        {"a symbolic link", true, true, 0xA000000C, -3},
        {"a reparse point whose tag cannot be read", true, false, 0, -3},
        {"a cloud folder", true, true, 0x9000601A, 0},
    };
    g_realSafeFileCalls = g_safeFileCalls;
    g_safeFileCalls = {createSeen,   g_realSafeFileCalls.setInformationFile, tagOfKind,
                       openFolderSeen, folderAsKind, g_realSafeFileCalls.temporaryNameRandom};
    for (const ReportFolderKind& kind : kinds) {
        TempDirectory dir;
        g_folderKind = kind;
        g_folderFlags = 0;
        g_optionsInFolder.clear();
        SetLastError(0);
        EXPECT_EQ(kind.result, writeReportFile((dir.widePath() + L"\\report.txt").c_str(), {L"report"})) << kind.what;
        if (kind.result != 0) EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError()) << kind.what;
        const std::vector<std::wstring> written = {L"report.txt"};
        EXPECT_EQ(kind.result == 0 ? written : std::vector<std::wstring>(), dir.names()) << kind.what;
        const DWORD folderFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
        EXPECT_EQ(folderFlags, g_folderFlags & folderFlags) << kind.what;
        EXPECT_EQ(kind.result == 0, !g_optionsInFolder.empty()) << kind.what;
        const ULONG kOpenReparsePoint = 0x00200000;
        for (ULONG options : g_optionsInFolder) EXPECT_EQ(kOpenReparsePoint, options & kOpenReparsePoint) << kind.what;
    }
    g_safeFileCalls = g_realSafeFileCalls;
}

// Every form of a full path names the same file: "\\?\" and "\\.\" device paths, forward
// slashes, a path relative to the current folder.
TEST(ReportFile, EveryFormOfThePathIsWritten) {
    TempDirectory dir;
    const std::wstring folder = dir.widePath();
    wchar_t savedDirectory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, savedDirectory);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    std::wstring slashes = folder + L"/slashes.txt";
    std::replace(slashes.begin(), slashes.end(), L'\\', L'/');
    const struct {
        std::wstring path;
        const wchar_t* name;
    } cases[] = {
        {L"\\\\?\\" + folder + L"\\long form.txt", L"long form.txt"},
        {L"\\\\.\\" + folder + L"\\device form.txt", L"device form.txt"},
        {slashes, L"slashes.txt"},
        {L"relative.txt", L"relative.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(0, writeReportFile(c.path.c_str(), {L"report"})) << toUtf8(c.path);
        EXPECT_EQ(std::string("\xEF\xBB\xBFreport"), fileBytes(folder + L"\\" + c.name)) << toUtf8(c.path);
    }
    SetCurrentDirectoryW(savedDirectory);
    EXPECT_EQ((std::vector<std::wstring>{L"device form.txt", L"long form.txt", L"relative.txt", L"slashes.txt"}),
              dir.names());
}

}  // namespace
