// Asking kernel-streaming filters for their streaming pins, each filter a job of a walk
// (base/driver_walk.h): a filter that stops answering, or holds the call that asks it, holds only
// its walker, so however many filters do so, and wherever in their pin walk, the walk as a whole
// waits about one call's deadline.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "base/device_record.h"
#include "base/driver_walk.h"

// One filter to ask: where it is, and for which directions; the job's data in the walk.
struct KsFilterJob {
    wchar_t path[262];  // the interface path as SetupAPI gave it (at most 261 units), opened as it is
    wchar_t name[280];  // the name its records carry
    bool wanted[2];     // by Direction: its interface has a live alias of that direction
    // What the job found out.
    bool listed[2];  // by Direction: the filter offers accepted streaming pins of that direction
    bool silent;     // a request missed its deadline: the filter is not answering
};

// The work of a KsFilterJob: the filter's recording pins, then its playback pins, each on a
// handle of its own (the open is exclusive); a filter that went silent is asked nothing more.
// Each direction the filter answered to its end is a step of the job: a job given up later keeps
// what its steps found.
void askKsFilter(DriverJob* job, void* data);
