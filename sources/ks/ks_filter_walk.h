// Asking many kernel-streaming filters for their streaming pins at once. A filter that stops
// answering holds only the thread that asks it, so however many filters stop, and wherever in
// their pin walk, the walk as a whole waits about one request deadline and one grace period.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "base/device_record.h"

// One filter to ask: where it is, and for which directions.
struct KsFilterJob {
    wchar_t path[262];  // the interface path as SetupAPI gave it (at most 261 units), opened as it is
    wchar_t name[280];  // the name its records carry
    bool wanted[2];     // by Direction: its interface has a live alias of that direction
    // What the walk found out.
    bool listed[2];  // by Direction: the filter offers accepted streaming pins of that direction
    bool silent;     // a request missed its deadline: the filter is not answering
    bool handedOn;   // a request of it pended and another thread went on with the next jobs
};

// Asks every job's filter for its recording pins, then its playback pins, each on a handle of
// its own (the open is exclusive); a filter that went silent is asked nothing more. The calling
// thread takes the jobs in order. When a request pends, the thread that sent it stays with it
// (the cancel has to come from there) and a new thread takes the next jobs, so a walk where no
// request pends runs on the calling thread alone. Returns when every walk has ended.
void walkKsFilters(KsFilterJob* jobs, uint32_t count);
