// One row per finding kind and per cause: the names and words every rendering of them (the text
// report, the JSON report, the What To Do text) takes, each table held to its enumeration.
#pragma once

#include <stddef.h>

#include "checks/driver_result.h"

struct FindingDescriptor {
    FindingKind kind;
    const char* jsonName;
    const char* words;  // what its line says of the device ("Bad Pin Name", "Device not listed.")
    bool hasLine;
};

enum { CAUSE_STEPS_MAX = 4 };
// The words and steps may hold {driver} (the driver's name), {value} (the number the evidence
// gave), {expected} (the name, icon or version to put back) and {found} (what Windows holds).
// The Windows place a cause's steps are done in, which the window offers to open (bits, so that
// a run's places make one set).
enum WindowsPlace : uint32_t {
    PLACE_NONE = 0,
    PLACE_SOUND_PANEL = 1,
    PLACE_DEVICE_MANAGER = 2,
    PLACE_SERVICES = 4,
};
struct CauseDescriptor {
    Cause cause;
    const char* jsonName;
    const char* words;
    const char* steps[CAUSE_STEPS_MAX];  // in order; null after the last
    WindowsPlace place;
};

extern const FindingDescriptor FINDING_DESCRIPTORS[FINDING_KIND_COUNT];
extern const CauseDescriptor CAUSE_DESCRIPTORS[CAUSE_COUNT];

// The row of a value; a value outside the enumeration gets the unknown cause's row (or, for a
// finding kind, a row named "unknown" without a line).
const FindingDescriptor& findingDescriptor(FindingKind kind);
const CauseDescriptor& causeDescriptor(Cause cause);

// A text of the table with the diagnosis's values put in, as one line (whatever the registry
// held, it breaks no line).
void fillCauseText(const char* pattern, const Diagnosis& why, const char* driver, wchar_t* text, size_t capacity);
// What Windows holds in the diagnosis's evidence: the stored name or icon, the endpoint's name,
// the version found; empty where the evidence holds none.
void formatFound(const Diagnosis& why, wchar_t* text, size_t capacity);
// The evidence in words ("Windows Audio service: stopped"), for the row of that hardware ID.
void formatEvidence(const Diagnosis& why, const char* hardwareId, wchar_t* text, size_t capacity);
