// The log view for screen readers: the standard accessible object of an edit control, which
// reads the report, with the name "Test Report" (an edit control has none of its own: its text
// is its value). oleacc's functions are found at run time; where they are missing the view
// answers as any edit control does.
#pragma once

#include <windows.h>

// Hands the view's WM_GETOBJECT to the named object; called once the view exists.
void nameLogViewForReaders(HWND logView);
