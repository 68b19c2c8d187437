// The What To Do text of a test: for each driver with a problem, its lines as in the report,
// then each cause in plain words with the evidence that decided it, what was expected and what
// was found, and the numbered steps that fix it.
#pragma once

#include "base/log_buffer.h"
#include "report/run_results.h"

// Replaces the text with the run's.
void renderWhatToDo(const RunResults& results, LogBuffer* text);
// The same for the end of a text report file, which a desk reads instead of the window: empty
// after a run without problems; else the why and the steps, in lines of which none is a line of
// the report (no report line repeated, none of its separators or blank lines), so that a script
// that counts the report's lines counts the same.
void renderWhatToDoForFile(const RunResults& results, LogBuffer* text);
// A row's causes as What To Do shows them: its own, then each other one its findings have, once
// each (one cause with another thing to put back is another). Returns how many, at most
// DRIVER_FINDINGS_CAPACITY + 1, pointers into the row.
int32_t rowCauses(const DriverResult& driver, const Diagnosis** causes);

// The Windows places (WindowsPlace bits) where the steps of that text are done.
uint32_t windowsPlacesOf(const RunResults& results);
