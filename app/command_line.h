// The start-up switches: "-h" runs one test hidden and exits, "-s" shows the window after it.
#pragma once

#include "app/app_state.h"

void parseCommandLine(const char* commandLine, AppState* state);
