// Fixes that need an administrator, asked of a checker without one: it starts a copy of itself
// elevated (Windows asks the user), which runs hidden with "-h -fix:<agreed>:<token>", decides
// its own targets from its own test, applies only the kinds of fixes agreed to, and hands what
// became of them back through a block of shared memory that the window made and the token names.
// The command line never names a target.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <stdint.h>

#include "fixes/fix_plan.h"

// The Windows calls that start the copy, which tests swap.
struct ElevationCalls {
    BOOL(WINAPI* shellExecuteEx)(SHELLEXECUTEINFOW* info);
    DWORD(WINAPI* getModuleFileName)(HMODULE module, LPWSTR path, DWORD size);
    BOOLEAN(WINAPI* random)(PVOID buffer, ULONG size);
};
extern ElevationCalls g_elevationCalls;

enum ElevatedFixesEnd {
    ELEVATED_FIXES_DONE = 0,         // the copy ran and told what it did
    ELEVATED_FIXES_CANCELLED = 1,    // the user said no to Windows' prompt: nothing was changed
    ELEVATED_FIXES_NOT_STARTED = 2,  // Windows could not start it (*error)
    ELEVATED_FIXES_NO_ANSWER = 3,    // it ran, or may still, but told nothing in time
};

// Starts the elevated copy for the agreed kinds of fixes and waits for its answer until
// waitMs have passed, keeping the owner's window painted; its fixes go into *fixes.
ElevatedFixesEnd fixElevated(HWND owner, uint64_t agreed, DWORD waitMs, FixList* fixes, DWORD* error);

// The elevated copy's side: hands its fixes to the window whose block the token names. False
// when there is no such block.
bool replyToWindow(uint64_t token, const FixList& fixes);
