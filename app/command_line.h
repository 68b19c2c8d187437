// The start-up switches: "-h" makes one run hidden and exits, "-s" shows the window after it,
// "-o <path>" writes the log to a file after every run, "-?" shows the usage and exits; "/h",
// "/s", "/o <path>" and "/?" are the same switches. The command line is split as Windows splits
// it, the switches are decided on what that gives, and the path of "-o" is resolved last.
#pragma once

#include "app/app_state.h"

// The arguments of a whole process command line (GetCommandLineW): what follows the program
// name, which ends where CommandLineToArgvW ends it (at a closing quote, or else at a blank or a
// tab), so that a dash in the program's own path is never taken for a switch.
const wchar_t* argumentsOf(const wchar_t* processCommandLine);

// The switches found in the arguments, as Windows' own argument splitting makes them (quotes,
// backslashes before quotes). Each switch is a dash or a slash and one letter (any case), with
// or without blanks between switches; any other letter is ignored; quotes around a switch do not
// matter. The path of "-o" is the rest of the argument that holds "-o" (as in -oC:\r.txt
// "-oC:\My r.txt"  -o"C:\My r.txt"), or when that is empty the next argument (as in "-o"
// "C:\My r.txt"); leading blanks are not part of it, and nothing it takes is a switch. A path may
// start with a slash (-o //server/share/r.txt) but never with an unquoted dash: "-o" is then
// ignored and that dash starts a switch, while a quoted one starts a path ( -o "-x.txt" ). The
// last "-o" counts. A relative path is resolved against the current directory now. With "-h",
// "-?" is ignored, so that a hidden run never waits for a click.
StartSwitches parseCommandLine(const wchar_t* commandLine);
