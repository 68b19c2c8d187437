// The start-up switches: "-h" runs one test hidden and exits, "-s" shows the window after it,
// "-o <path>" writes the log to a file after every test, "-?" shows the usage and exits.
#pragma once

#include "app/app_state.h"

// The arguments of a whole process command line (GetCommandLineW): what follows the program
// name, found as the C runtime finds it for WinMain, so that a dash in the program's own path
// is never taken for a switch.
const wchar_t* argumentsOf(const wchar_t* processCommandLine);

// Sets the switches found in the arguments. Each switch is a dash and one letter, with or
// without blanks between switches; any other letter is ignored. "-o" takes the path behind it
// (blanks before it are optional): a quoted part may hold blanks, and the path ends at the next
// blank outside quotes, so that dashes inside it are no switches. A path is never unquoted text
// starting with a dash: "-o" with no path is ignored and the scan goes on. The last "-o" counts.
// A relative path is resolved against the current directory now.
void parseCommandLine(const wchar_t* commandLine, AppState* state);
