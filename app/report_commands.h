// Taking the report out of the window: "Save Report As..." (text or JSON), "Copy Report", and the
// one message box of a shown run whose "-o" file could not be written.
#pragma once

#include <windows.h>

// Windows' own save dialog (the XP one too), starting in Documents; Cancel does nothing.
void saveReportAs(HWND owner);
// The whole log, CR LF as it stands, on the clipboard for a mail or a support form.
void copyReport(HWND owner);
// The "-o" file of a shown run was not written: why (the Windows reason), and that the log view
// keeps the report.
void showReportFileError(HWND owner, DWORD error);
