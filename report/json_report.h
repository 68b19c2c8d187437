// The JSON report: every test run of the session as an object of a documented, versioned form
// (report/checker-report.schema.json), for the tools that collect results from many machines.
// UTF-8 without a byte-order mark; every value a driver or the registry gave is escaped, so the
// document stays valid whatever they hold.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "report/run_results.h"

enum {
    // Keys are only ever added within one version; anything else makes a new version.
    JSON_SCHEMA_VERSION = 3,
    // The session keeps its newest runs within these limits; older ones are left out and counted.
    JSON_RUNS_MAX_BYTES = 16 * 1024 * 1024,
    JSON_RUNS_MAX = 1024,
};

// The runs of the session so far, each already rendered, oldest first.
struct JsonRuns {
    char* bytes;  // the run objects, separated by commas; heap, null until the first run
    uint32_t length;
    uint32_t capacity;
    int32_t runCount;
    int32_t runsLeftOut;  // runs of the session the document no longer holds
    uint32_t runStarts[JSON_RUNS_MAX];  // where each run's text begins in bytes
};

// Renders the results (read before the next collection pass) and keeps them as the newest run.
void appendJsonRun(JsonRuns* runs, const RunResults& results);
void releaseJsonRuns(JsonRuns* runs);

// Hands the whole document to the sink, piece by piece; false when the sink refused one.
typedef bool (*JsonSink)(const void* bytes, size_t size, void* context);
bool writeJsonDocument(const JsonRuns& runs, JsonSink sink, void* context);
