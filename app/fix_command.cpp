#include "app/fix_command.h"

#include <stdio.h>
#include <wchar.h>

#include "app/app_state.h"
#include "app/elevated_fixes.h"
#include "app/resource_ids.h"
#include "app/restart_windows.h"
#include "app/run_command.h"
#include "app/what_to_do_view.h"
#include "base/log_buffer.h"
#include "base/text.h"
#include "fixes/fix_apply.h"
#include "report/descriptors.h"

namespace {

const wchar_t kTitle[] = L"Fix Problems";

// "Enable the Halvane Vesso A device (ROOT\MEDIA\0000): problem code 22 -> enabled"
void describeFix(const FixRecord& fix, wchar_t* text, size_t capacity) {
    wchar_t words[512], before[FIX_TEXT_SIZE], after[FIX_TEXT_SIZE];
    formatFixWords(fix, words, 512);
    formatFixBefore(fix, before, FIX_TEXT_SIZE);
    formatFixAfter(fix, after, FIX_TEXT_SIZE);
    _snwprintf(text, capacity, L"%ls (%ls): %ls -> %ls", words, fix.target, before, after);
    text[capacity - 1] = 0;
    makeLineSafe(text);
}

// The changes, by device and service, and Yes or No. Windows' own prompt follows Yes where the
// checker has no administrator's rights.
bool askToFix(HWND window, const FixList& plan, bool elevating) {
    LogBuffer text;
    createLog(&text);
    appendNarrow(&text, "The checker will make these changes:");
    appendNarrow(&text, "");
    for (int32_t i = 0; i < plan.count; ++i) {
        wchar_t line[2048];
        line[0] = L'\x2022';
        line[1] = L' ';
        describeFix(plan.fixes[i], line + 2, 2046);
        appendWide(&text, line);
    }
    appendNarrow(&text, "");
    if (elevating) appendNarrow(&text, "Windows will ask for an administrator's permission.");
    appendNarrow(&text, "Nothing else is changed, and the test runs again afterwards. Make these changes?");
    const int answer =
        text.text ? MessageBoxW(window, text.text, kTitle, MB_YESNO | MB_ICONQUESTION) : IDNO;
    releaseLog(&text);
    return answer == IDYES;
}

// How long an elevated copy may take: two runs, and each fix its own deadline.
DWORD copyWaitMs(const FixList& plan) {
    DWORD ms = 20000;
    for (int32_t i = 0; i < plan.count; ++i) {
        const FixAction action = plan.fixes[i].action;
        ms += action == FIX_START_SERVICE ? g_fixWaits.serviceMs + g_fixWaits.serviceMs / 4 + 1000
              : action == FIX_ENABLE_DEVICE || action == FIX_RESTART_DEVICE ? g_fixWaits.deviceMs
                                                                           : 1000;
    }
    return ms;
}

// A progress line in the notice's place while the fixes run.
void showProgress(HWND window, const FixList& plan) {
    wchar_t text[128];
    _snwprintf(text, 128, L" Fixing problems: %d change%ls, please wait...", int(plan.count),
               plan.count == 1 ? L"" : L"s");
    text[127] = 0;
    SetWindowTextW(g_app.noticeBar, text);
    layoutViews(window);
    UpdateWindow(window);
}

void tell(HWND window, const wchar_t* format, DWORD error) {
    wchar_t message[256], text[768];
    windowsMessage(error, message, 256);
    _snwprintf(text, 768, format, message, (unsigned long)error);
    text[767] = 0;
    MessageBoxW(window, text, kTitle, MB_ICONWARNING);
}

// Makes the fixes agreed to: in place with an administrator's rights, through an elevated copy
// without (Windows Vista and later). False when nothing was changed, which the user is told.
bool makeFixes(HWND window, FixList* made, bool* answered) {
    *answered = true;
    if (g_app.elevated) {
        applyFixes(true, made);
        return true;
    }
    if (isBeforeVista(g_app.os.osClass)) {
        MessageBoxW(window,
                    L"Nothing was changed: these changes need an administrator.\n\nLog on as an administrator and "
                    L"run the checker again.",
                    kTitle, MB_ICONINFORMATION);
        return false;
    }
    DWORD error = 0;
    switch (fixElevated(window, fixAgreement(*made), copyWaitMs(*made), made, &error)) {
    case ELEVATED_FIXES_DONE:
        return true;
    case ELEVATED_FIXES_CANCELLED:
        MessageBoxW(window, L"Nothing was changed: Windows did not get an administrator's permission.", kTitle,
                    MB_ICONINFORMATION);
        return false;
    case ELEVATED_FIXES_NOT_STARTED:
        tell(window, L"Nothing was changed: Windows could not start the checker as an administrator.\n\n%ls (error %lu)",
             error);
        return false;
    default:
        // It may have changed something: the test says what is left.
        *answered = false;
        MessageBoxW(window,
                    L"The checker started as an administrator did not say what it changed in time. The test runs "
                    L"again and shows what is left.",
                    kTitle, MB_ICONWARNING);
        return true;
    }
}

bool restartNeededBy(const FixList& made) {
    for (int32_t i = 0; i < made.count; ++i)
        if (made.fixes[i].outcome == FIX_RESTART_NEEDED) return true;
    return false;
}

}  // namespace

void offerFixes(HMENU menu, const FixList& plan) {
    EnableMenuItem(menu, CMD_FIX_PROBLEMS,
                   MF_BYCOMMAND | (plan.count > 0 || plan.restartNeeded ? MF_ENABLED : MF_GRAYED));
}

void fixProblems(HWND window) {
    if (g_app.fixing || (g_app.fixPlan.count == 0 && !g_app.fixPlan.restartNeeded)) return;
    bool restart = g_app.fixPlan.restartNeeded;
    if (g_app.fixPlan.count > 0) {
        const bool elevating = !g_app.elevated && !isBeforeVista(g_app.os.osClass);
        if (!askToFix(window, g_app.fixPlan, elevating)) return;
        g_app.fixesMade = g_app.fixPlan;
        g_app.fixing = true;
        EnableWindow(window, FALSE);
        showProgress(window, g_app.fixesMade);
        bool answered = true;
        const bool changed = makeFixes(window, &g_app.fixesMade, &answered);
        EnableWindow(window, TRUE);
        g_app.fixing = false;
        if (!changed) {
            showNotice(window);  // in place of the progress line
            return;
        }
        launchRunAfterFixes(window, answered ? &g_app.fixesMade : NULL);
        showWhatToDo(window, true);
        restart = g_app.fixPlan.restartNeeded || (answered && restartNeededBy(g_app.fixesMade));
    }
    if (restart) offerRestart(window, L"Windows needs a restart to finish installing a driver or a change just made.");
}
