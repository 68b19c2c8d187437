// The What To Do text of a test: for each driver with a problem, its lines as in the report,
// then each cause in plain words with the evidence that decided it, what was expected and what
// was found, and the numbered steps that fix it.
#pragma once

#include "base/log_buffer.h"
#include "report/run_results.h"

// Replaces the text with the run's.
void renderWhatToDo(const RunResults& results, LogBuffer* text);
// The Windows places (WindowsPlace bits) where the steps of that text are done.
uint32_t windowsPlacesOf(const RunResults& results);
