#include "app/app_state.h"

#include <stddef.h>
#include <string.h>

AppState g_app;

void resetWindowState(AppState* state) {
    const size_t from = offsetof(AppState, mainWindow);
    memset(reinterpret_cast<char*>(state) + from, 0, sizeof(AppState) - from);
}

void quitApplication() { PostMessageA(g_app.mainWindow, WM_DESTROY, 0, 0); }

ReportText sessionReportText() {
    const ReportText text = {g_app.log.text, g_app.whatToDoForFile.length > 0 ? g_app.whatToDoForFile.text : NULL};
    return text;
}
