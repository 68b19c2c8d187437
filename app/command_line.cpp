#include "app/command_line.h"

#include <string.h>

void parseCommandLine(const char* commandLine, AppState* state) {
    if (!commandLine || strlen(commandLine) < 2) return;
    const char* p = commandLine;
    while (*p) {
        if (*p != '-') {
            ++p;
            continue;
        }
        const char letter = p[1];
        if (letter == 0) break;
        if (letter == 'h' || letter == 'H') state->startHidden = 1;
        else if (letter == 's' || letter == 'S') state->showAfterTest = 1;
        // Each switch needs its own dash: scanning goes on behind the letter.
        p += 2;
    }
}
