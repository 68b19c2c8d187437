// Carrying out a plan of fixes the user agreed to ("Fix Problems..." in the window, "-fix" with a
// hidden run): each fix once, in order, and what became of it. A call that can wait (a service
// start, a class installer) is made on a thread of its own and waited for until its deadline; one
// that does not end in time is told as not done.
#pragma once

#include <windows.h>

#include "fixes/fix_plan.h"

// How long a service may take to run once started, and a class installer to enable or restart
// a device node.
struct FixWaits {
    DWORD serviceMs;
    DWORD deviceMs;
};
extern FixWaits g_fixWaits;

// Tries every planned fix of the list and records its outcome. Without an administrator's rights
// nothing is tried: each fix needs an administrator.
void applyFixes(bool elevated, FixList* plan);
