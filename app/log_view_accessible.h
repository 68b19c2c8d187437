// The read-only text views for screen readers (the log view, "Test Report", and the What To Do
// view): the standard accessible object of an edit control, which reads the text, with a name
// (an edit control has none of its own: its text is its value). oleacc's functions are found at run time; where they are missing the view
// answers as any edit control does.
#pragma once

#include <windows.h>

// Hands the view's WM_GETOBJECT to an object of that name (a literal, which outlives the view),
// and gives it Ctrl+A, which selects its whole text; called once the view exists, for at most two
// views.
void nameViewForReaders(HWND view, const wchar_t* name);
