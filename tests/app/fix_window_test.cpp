#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "app/elevated_fixes.h"
#include "app/restart_windows.h"
#include "checker_remote/checker_remote.h"
#include "support/golden.h"
#include "support/planted_evidence.h"
#include "support/saved_table.h"

namespace {

// What the window handed Windows to start its elevated copy, and how the stand-in answered.
struct Started {
    std::wstring verb, file, parameters, folder;
    int calls = 0;
    enum { CANCEL, RUN_THE_CHECKER, NO_PROCESS } answer = CANCEL;
};
Started g_started;

BOOL WINAPI startCopy(SHELLEXECUTEINFOW* info) {
    Started& s = g_started;
    ++s.calls;
    s.verb = info->lpVerb ? info->lpVerb : L"";
    s.file = info->lpFile;
    s.parameters = info->lpParameters;
    s.folder = info->lpDirectory;
    info->hProcess = NULL;
    if (s.answer == Started::CANCEL) {
        SetLastError(ERROR_CANCELLED);
        return FALSE;
    }
    if (s.answer == Started::NO_PROCESS) return TRUE;
    // That program with those switches, as Windows would start it after the user's Yes.
    std::wstring line = L"\"" + s.file + L"\" " + s.parameters;
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process;
    if (!CreateProcessW(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, info->lpDirectory, &startup, &process)) return FALSE;
    CloseHandle(process.hThread);
    info->hProcess = process.hProcess;
    return TRUE;
}
std::wstring g_program;  // the checker the window runs as
DWORD WINAPI modulePath(HMODULE, LPWSTR path, DWORD size) {
    wcsncpy(path, g_program.c_str(), size);
    return DWORD(wcslen(path));
}

class ElevatedFixesTest : public testing::Test {
protected:
    void SetUp() override {
        g_started = Started();
        g_program = fromUtf8(checkerExePath());
        g_elevationCalls.shellExecuteEx = startCopy;
        g_elevationCalls.getModuleFileName = modulePath;
        fixes.count = -1;
    }
    SavedTable<ElevationCalls> saved{g_elevationCalls};
    FixList fixes;
    DWORD error = 0;
};

TEST_F(ElevatedFixesTest, TheCopyIsAskedForTheAgreedKindsOnlyAndAnswersThroughTheBlock) {
    g_started.answer = Started::RUN_THE_CHECKER;
    EXPECT_EQ(ELEVATED_FIXES_DONE, fixElevated(NULL, 0x1f, 30000, &fixes, &error));
    EXPECT_EQ(L"runas", g_started.verb);
    EXPECT_EQ(g_program, g_started.file);
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(system, g_started.folder);
    // Kinds of fixes and the block's token: no path, no instance ID, no GUID.
    EXPECT_TRUE(std::regex_match(toUtf8(g_started.parameters), std::regex("-h -fix:1f:[0-9a-f]{16}")))
        << toUtf8(g_started.parameters);
    EXPECT_EQ(0, fixes.count);  // this machine has nothing to fix: the copy's own test says so
}

// The copy decides its targets from its own test (a checker on answering drivers whose audio
// services are planted disabled) and makes only the kinds agreed to: none, then the services.
TEST_F(ElevatedFixesTest, TheCopyFixesWhatItsOwnTestFindsAsFarAsAgreed) {
    const std::wstring program = fromUtf8(programFolder() + "test_service.exe");
    PlantedService builder(L"AudioEndpointBuilder", true, program), audio(L"AudioSrv", true, program);
    ASSERT_TRUE(builder.created() && audio.created());
    g_program = fromUtf8(programFolder() + "fix_checker.exe");
    g_started.answer = Started::RUN_THE_CHECKER;
    SetEnvironmentVariableW(L"HV_FIX_WORLD", L"services");
    EXPECT_EQ(ELEVATED_FIXES_DONE, fixElevated(NULL, 0x2 /* the first row's device node */, 30000, &fixes, &error));
    EXPECT_EQ(0, fixes.count);
    EXPECT_EQ(DWORD(SERVICE_STOPPED), audio.state());
    EXPECT_EQ(ELEVATED_FIXES_DONE, fixElevated(NULL, 0x1 /* the services */, 30000, &fixes, &error));
    SetEnvironmentVariableW(L"HV_FIX_WORLD", NULL);
    ASSERT_EQ(2, fixes.count);
    EXPECT_EQ(std::wstring(L"AudioEndpointBuilder"), fixes.fixes[0].target);
    EXPECT_EQ(std::wstring(L"AudioSrv"), fixes.fixes[1].target);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(FIX_DONE, fixes.fixes[i].outcome) << i;
    EXPECT_EQ(DWORD(SERVICE_RUNNING), audio.state());
    EXPECT_EQ(DWORD(SERVICE_AUTO_START), builder.startType());
}

TEST_F(ElevatedFixesTest, ACancelledPromptOrACopyThatNeverAnswersChangesNothingHere) {
    EXPECT_EQ(ELEVATED_FIXES_CANCELLED, fixElevated(NULL, 1, 30000, &fixes, &error));
    EXPECT_EQ(DWORD(ERROR_CANCELLED), error);
    EXPECT_EQ(-1, fixes.count);
    g_started.answer = Started::NO_PROCESS;
    const DWORD start = GetTickCount();
    EXPECT_EQ(ELEVATED_FIXES_NO_ANSWER, fixElevated(NULL, 1, 300, &fixes, &error));
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(-1, fixes.count);
    EXPECT_EQ(2, g_started.calls);
    // Nobody but the window's copy can answer: another block of that name is not one.
    EXPECT_FALSE(replyToWindow(0x0123456789abcdefull, fixes));
}

// A restart: the shutdown privilege switched on, then Windows Vista's call with a planned
// installation's reason, or before Vista ExitWindowsEx.
struct RestartSeen {
    std::wstring privilege;
    DWORD shutdownFlags = 0, shutdownReason = 0, exitFlags = 0, exitReason = 0;
    bool enabled = false, vista = true;
} g_restart;
BOOL WINAPI openToken(HANDLE, DWORD, PHANDLE token) {
    *token = CreateEventW(NULL, FALSE, FALSE, NULL);
    return TRUE;
}
BOOL WINAPI lookUp(LPCWSTR, LPCWSTR name, PLUID luid) {
    g_restart.privilege = name;
    luid->LowPart = 19;
    return TRUE;
}
BOOL WINAPI adjust(HANDLE, BOOL, PTOKEN_PRIVILEGES p, DWORD, PTOKEN_PRIVILEGES, PDWORD) {
    g_restart.enabled = p->PrivilegeCount == 1 && p->Privileges[0].Luid.LowPart == 19 &&
                        p->Privileges[0].Attributes == SE_PRIVILEGE_ENABLED;
    return TRUE;
}
DWORD WINAPI initiate(LPWSTR, LPWSTR, DWORD, DWORD flags, DWORD reason) {
    if (!g_restart.vista) return ERROR_CALL_NOT_IMPLEMENTED;
    g_restart.shutdownFlags = flags;
    g_restart.shutdownReason = reason;
    return ERROR_SUCCESS;
}
BOOL WINAPI exitWindows(UINT flags, DWORD reason) {
    g_restart.exitFlags = flags;
    g_restart.exitReason = reason;
    return TRUE;
}

TEST(RestartWindows, APlannedRestartWithTheShutdownPrivilege) {
    const SavedTable<RestartCalls> saved(g_restartCalls);
    g_restartCalls = {openToken, lookUp, adjust, initiate, exitWindows};
    for (bool vista : {true, false}) {
        g_restart = RestartSeen();
        g_restart.vista = vista;
        DWORD error = 1;
        EXPECT_TRUE(restartWindows(&error)) << vista;
        EXPECT_EQ(L"SeShutdownPrivilege", g_restart.privilege);
        EXPECT_TRUE(g_restart.enabled);
        // SHUTDOWN_RESTART | SHUTDOWN_GRACE_OVERRIDE, never SHUTDOWN_FORCE_OTHERS; planned,
        // application, installation.
        EXPECT_EQ(vista ? 0x24u : 0u, g_restart.shutdownFlags);
        EXPECT_EQ(vista ? 0x80040002u : 0u, g_restart.shutdownReason);
        EXPECT_EQ(vista ? 0u : UINT(EWX_REBOOT), g_restart.exitFlags);
        EXPECT_EQ(vista ? 0u : 0x80040002u, g_restart.exitReason);
    }
}

}  // namespace
