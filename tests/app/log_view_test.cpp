#include <gtest/gtest.h>

#include <string>

#include "app/log_view.h"

namespace {

TEST(LogView, RefreshSetsTheWholeTextOnlyWhenChanged) {
    LogBuffer log;
    createLog(&log);
    HWND view = CreateWindowExW(0, L"edit", L"", WS_VSCROLL | ES_MULTILINE, 0, 0, 200, 60, NULL,
                                NULL, GetModuleHandleW(NULL), NULL);
    ASSERT_NE(nullptr, view);
    for (int i = 0; i < 20; ++i) appendWide(&log, (L"line " + std::to_wstring(i)).c_str());

    refreshLogView(&log, view);
    EXPECT_EQ(0, log.changed);
    std::wstring shown(log.length + 16, L'\0');
    shown.resize(GetWindowTextW(view, &shown[0], int(shown.size())));
    EXPECT_EQ(std::wstring(log.text, log.length), shown);

    // The scroll to the end is posted: handle it and look at the first visible line.
    MSG message;
    while (PeekMessageW(&message, view, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    EXPECT_GT(SendMessageW(view, EM_GETFIRSTVISIBLELINE, 0, 0), 0);

    // Without an append in between, a second refresh leaves the view alone.
    SetWindowTextW(view, L"set by the test");
    refreshLogView(&log, view);
    wchar_t after[32] = L"";
    GetWindowTextW(view, after, 32);
    EXPECT_STREQ(L"set by the test", after);

    DestroyWindow(view);
    releaseLog(&log);
}

void* failingAllocation(size_t) { return nullptr; }

TEST(LogView, NothingToShowLeavesTheViewAlone) {
    refreshLogView(nullptr, NULL);  // must simply return
    LogBuffer log;
    createLogWith(&log, failingAllocation);
    HWND view = CreateWindowExW(0, L"edit", L"untouched", ES_MULTILINE, 0, 0, 100, 100, NULL, NULL,
                                GetModuleHandleW(NULL), NULL);
    ASSERT_NE(nullptr, view);
    log.changed = true;  // even when something claims a change, there is no text to show
    refreshLogView(&log, view);
    wchar_t shown[32] = L"";
    GetWindowTextW(view, shown, 32);
    EXPECT_STREQ(L"untouched", shown);
    EXPECT_EQ(0, log.changed);
    DestroyWindow(view);
    releaseLog(&log);
}

}  // namespace
