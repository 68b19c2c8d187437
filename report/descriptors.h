// One row per finding kind and per cause: the names and words every rendering of them (the text
// report, the JSON report, the What To Do text) takes, each table held to its enumeration.
#pragma once

#include <stddef.h>

#include "checks/driver_result.h"
#include "fixes/fix_plan.h"

struct FindingDescriptor {
    FindingKind kind;
    const char* jsonName;
    const char* words;  // what its line says of the device ("Bad Pin Name", "Device not listed.")
    bool hasLine;
};

enum { CAUSE_STEPS_MAX = 4 };
// The words and steps may hold {driver} (the driver's name), {value} (the number the evidence
// gave), {expected} (the name, icon or version to put back), {found} (what Windows holds), {tab}
// (the Sound settings' tab of the entry: Playback or Recording) and {device} (the entry's name).
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
// The evidence in words ("Windows Audio service: stopped"), for the row of that hardware ID, every
// device node of the row (null: the deciding one alone) that says what the deciding one says
// named; and whether it is what Windows says (else the checker's own finding).
enum { REPORT_NODES_TEXT_SIZE = 1024 };
void formatEvidence(const Diagnosis& why, const char* hardwareId, const RowEvidence* row, wchar_t* text,
                    size_t capacity);
bool evidenceFromWindows(EvidenceKind evidence);

// One row per kind of fix, outcome and note: the JSON names and words of the fix lines, the JSON
// report and the What To Do text. An action's words may hold {driver} (the driver's name),
// {side} (Playback or Recording) and {service} (the service's display name).
struct FixActionDescriptor {
    FixAction action;
    const char* jsonName;
    const char* words;
    const char* targetKind;  // what its target names: a service, a device node, an endpoint
};
struct FixOutcomeDescriptor {
    FixOutcome outcome;
    const char* jsonName;
    const char* words;
};
struct FixNoteDescriptor {
    FixNote note;
    const char* jsonName;  // null for none
    const char* words;
};
extern const FixActionDescriptor FIX_ACTION_DESCRIPTORS[FIX_ACTION_COUNT];
extern const FixOutcomeDescriptor FIX_OUTCOME_DESCRIPTORS[FIX_OUTCOME_COUNT];
extern const FixNoteDescriptor FIX_NOTE_DESCRIPTORS[FIX_NOTE_COUNT];
const FixActionDescriptor& fixActionDescriptor(FixAction action);
const FixOutcomeDescriptor& fixOutcomeDescriptor(FixOutcome outcome);
const FixNoteDescriptor& fixNoteDescriptor(FixNote note);

// What a fix does, in words ("Enable the Halvane Vesso A device"), and the value it changes
// before and after it, as the fix lines and the JSON report give them; why it was not done
// (a note, or Windows' own message for its error), empty when it was; and what became of it
// ("done", "done, but the test after it still finds the problem", "not done (Windows says: ...)").
void formatFixWords(const FixRecord& fix, wchar_t* text, size_t capacity);
void formatFixBefore(const FixRecord& fix, wchar_t* text, size_t capacity);
void formatFixAfter(const FixRecord& fix, wchar_t* text, size_t capacity);
void formatFixReason(const FixRecord& fix, wchar_t* text, size_t capacity);
void formatFixOutcome(const FixRecord& fix, bool stillFound, wchar_t* text, size_t capacity);

// One row per value of the results that a report names, with its words in the text reports and
// its name in the JSON report; every renderer takes them from here.
struct SourceWords {
    DeviceSource source;
    const wchar_t* tag;     // a device line's three columns ("KS ")
    const char* word;       // an error line's ("KS")
    const char* jsonName;
};
struct SideWords {
    Direction side;
    const wchar_t* deviceLine;  // "OUT", "IN"
    const char* word;           // "Playback", "Recording": a list's, the Sound settings' tab
    const char* port;           // "Output", "Input": a device's pin
    const char* jsonName;
};
struct DriverStateWords {
    DriverState state;
    const char* jsonName;
};
struct ServiceStateWords {
    AudioServiceState state;
    const char* word;
    const char* jsonName;
};
struct EndpointStateWords {
    uint32_t state;  // STORED_STATE_..., 0 for any other
    const char* word;
    const char* jsonName;
};
struct ListedWords {
    ListedIn list;
    const char* words;
    const char* jsonName;
};
const SourceWords& sourceWords(DeviceSource source);
const SideWords& sideWords(Direction side);
const char* driverStateJsonName(DriverState state);
const ServiceStateWords& serviceStateWords(AudioServiceState state);
const EndpointStateWords& endpointStateWords(uint32_t deviceState);  // by its low four bits
extern const ListedWords LISTED_WORDS[3];

// The report's separator line, and its test date line ("TEST DATE: ... (Checker Version ...)"),
// which What To Do repeats.
extern const char REPORT_SEPARATOR[];
void formatTestDateLine(const SYSTEMTIME& date, const char* checkerVersion, char* line, size_t size);
