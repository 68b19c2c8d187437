// "Fix Problems...": the fixes for the last run's causes, listed and asked for first, made in
// place by a checker with an administrator's rights or by an elevated copy of it, then the run
// again, whose What To Do says what was changed and what is left; and a restart of Windows
// offered where a cause or a fix needs one.
#pragma once

#include <windows.h>

#include "fixes/fix_plan.h"

// The menu item enabled when the plan holds a fix or a restart to offer, greyed otherwise.
void offerFixes(HMENU menu, const FixList& plan);
// The command: does nothing when the plan has nothing to offer (its item is greyed).
void fixProblems(HWND window);
