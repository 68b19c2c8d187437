#include "report/descriptors.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "base/log_buffer.h"
#include "base/text.h"

constexpr FindingDescriptor FINDING_DESCRIPTORS[FINDING_KIND_COUNT] = {
    {FINDING_BAD_DRIVER_NAME, "badDriverName", "Bad Driver Name", true},
    {FINDING_BAD_PIN_NAME, "badPinName", "Bad Pin Name", true},
    {FINDING_BAD_PIN_ICON, "badPinIcon", "Bad Pin Icon", true},
    {FINDING_SAME_HARDWARE_ID, "sameHardwareId", "Found same hardware ID used by", true},
    {FINDING_SAME_ICON, "sameIcon", "Found same Icon used by", true},
    {FINDING_SAME_ENDPOINT_GUID, "sameEndpointGuid", "Found same MMEDeviceGUID used by", true},
    {FINDING_SAME_DRIVER_STRING, "sameDriverString", "Found same driver string used by", true},
    {FINDING_NOT_LISTED, "notListed", "Device not listed.", true},
    {FINDING_NOT_RESPONDING, "notResponding", "Device not responding.", true},
    {FINDING_CAPTURE_ONLY_INTERFACE, "captureOnlyInterface", "", false},
};

#define SOUND_PANEL "Open the Sound control panel: press Windows+R, type mmsys.cpl and press Enter."
#define DEVICE_MANAGER "Open Device Manager: press Windows+R, type devmgmt.msc and press Enter."
#define RUN_AGAIN "Run the test again."
#define RESTART "Restart Windows (choose Restart, not Shut down), then run the test again."
#define REINSTALL "If it stays, install the {driver} driver again and restart Windows."

constexpr CauseDescriptor CAUSE_DESCRIPTORS[CAUSE_COUNT] = {
    {CAUSE_NONE, "none", "No problem found", {}, PLACE_NONE},
    {CAUSE_UNKNOWN, "unknown", "The cause is not known",
     {"Install the {driver} driver again (you may consider re-installing audio drivers).", RESTART,
      "If it stays, send this report (File, Save Report As...) to Halvane's support."}, PLACE_NONE},
    {CAUSE_ENDPOINT_DISABLED, "endpointDisabled", "The device is disabled in the Sound settings",
     {SOUND_PANEL, "On the {tab} tab, right-click the list and tick \"Show Disabled Devices\".",
      "Right-click {found} and choose \"Enable\".", RUN_AGAIN}, PLACE_SOUND_PANEL},
    {CAUSE_ENDPOINT_NOT_PRESENT, "endpointNotPresent",
     "Windows keeps the device but says it is not present: its driver did not bring it up", {RESTART, REINSTALL},
     PLACE_NONE},
    {CAUSE_ENDPOINT_UNPLUGGED, "endpointUnplugged", "Windows says the device is unplugged (a virtual device has no plug)",
     {RESTART, REINSTALL}, PLACE_NONE},
    {CAUSE_RENAMED_BY_USER, "renamedByUser", "The device was renamed in the Sound settings",
     {SOUND_PANEL, "On the {tab} tab, select {found} and click Properties.",
      "On the General tab, type its name back: {expected}, then click OK.", RUN_AGAIN}, PLACE_SOUND_PANEL},
    {CAUSE_ICON_CHANGED_BY_USER, "iconChangedByUser", "The device was given another icon in the Sound settings",
     {SOUND_PANEL, "On the {tab} tab, select {device} and click Properties.",
      "On the General tab, click \"Change Icon\" and choose the driver's icon: {expected}", RUN_AGAIN},
     PLACE_SOUND_PANEL},
    {CAUSE_AUDIO_SERVICE_NOT_RUNNING, "audioServiceNotRunning", "The Windows Audio service is not running",
     {"Open Services: press Windows+R, type services.msc and press Enter.",
      "Open \"Windows Audio\" and \"Windows Audio Endpoint Builder\" in turn: set the Startup type to Automatic and "
      "click Start.",
      RUN_AGAIN}, PLACE_SERVICES},
    {CAUSE_DRIVER_DISABLED, "driverDisabled", "The driver's device is disabled in Device Manager",
     {DEVICE_MANAGER,
      "Under \"Sound, video and game controllers\", right-click {driver} and choose \"Enable device\" (\"Enable\" "
      "before Windows 10).",
      RUN_AGAIN}, PLACE_DEVICE_MANAGER},
    {CAUSE_DRIVER_NOT_STARTED, "driverNotStarted", "Windows did not start the driver (problem code {value})",
     {RESTART, DEVICE_MANAGER, "Under \"Sound, video and game controllers\", open {driver}: the General tab says why.",
      REINSTALL},
     PLACE_DEVICE_MANAGER},
    {CAUSE_SIGNATURE_NOT_VERIFIED, "signatureNotVerified",
     "Windows could not verify the driver's digital signature (problem code {value}): its file may have been changed by "
     "someone",
     {"Do not use the {driver} driver as it is: its file may have been changed since Halvane signed it.",
      "Install the {driver} driver again with Halvane's own installer, which is signed.",
      "Make sure the date and time of this computer are right.", RESTART}, PLACE_NONE},
    {CAUSE_RESTART_NEEDED, "restartNeeded", "Windows needs a restart to finish installing the driver", {RESTART},
     PLACE_NONE},
    {CAUSE_INSTALLED_TWICE, "installedTwice", "The driver is installed more than once ({value} devices)",
     {DEVICE_MANAGER,
      "Under \"Sound, video and game controllers\", uninstall every {driver} device (right-click, \"Uninstall "
      "device\").",
      "Install the {driver} driver once, restart Windows and run the test again."}, PLACE_DEVICE_MANAGER},
    {CAUSE_OLDER_DRIVER, "olderDriver", "An older version of the driver is installed ({found})",
     {"Install version {expected} of the {driver} driver from Halvane.", RESTART}, PLACE_NONE},
    {CAUSE_NEWER_DRIVER, "newerDriver", "The driver ({found}) is newer than this checker knows",
     {"Download the current Halvane Devices Checker from Halvane and run it: this one expects version {expected}."},
     PLACE_NONE},
    {CAUSE_DRIVER_NOT_ANSWERING, "driverNotAnswering", "The driver does not answer", {RESTART, REINSTALL}, PLACE_NONE},
    {CAUSE_CHECKER_DAMAGED, "checkerDamaged",
     "This checker's own file is damaged or was changed (initialization value {value})",
     {"Download the Halvane Devices Checker again from Halvane and run the new copy."}, PLACE_NONE},
};

constexpr FixActionDescriptor FIX_ACTION_DESCRIPTORS[FIX_ACTION_COUNT] = {
    {FIX_START_SERVICE, "startService", "Start the {service} service", "service"},
    {FIX_ENABLE_DEVICE, "enableDevice", "Enable the {driver} device", "deviceNode"},
    {FIX_RESTART_DEVICE, "restartDevice", "Start the {driver} device again", "deviceNode"},
    {FIX_RESTORE_NAME, "restoreName", "Put back the name of the {driver} {side} device", "endpoint"},
    {FIX_RESTORE_ICON, "restoreIcon", "Put back the icon of the {driver} {side} device", "endpoint"},
};

constexpr FixOutcomeDescriptor FIX_OUTCOME_DESCRIPTORS[FIX_OUTCOME_COUNT] = {
    {FIX_PLANNED, "planned", "not tried"},
    {FIX_DONE, "done", "done"},
    {FIX_NOT_DONE, "notDone", "not done"},
    {FIX_NEEDS_ADMINISTRATOR, "needsAdministrator", "not done: it needs an administrator"},
    {FIX_RESTART_NEEDED, "restartNeeded", "done; Windows needs a restart to finish it"},
};

constexpr FixNoteDescriptor FIX_NOTE_DESCRIPTORS[FIX_NOTE_COUNT] = {
    {FIX_NOTE_NONE, nullptr, ""},
    {FIX_NOTE_TIMED_OUT, "timedOut", "it did not end in time"},
    {FIX_NOTE_CHANGED_SINCE_TEST, "changedSinceTest", "the value changed since the test, so nothing was written"},
    {FIX_NOTE_NOT_THE_DRIVERS, "notTheDrivers", "it no longer belongs to the driver, so it was left alone"},
    {FIX_NOTE_NO_THREAD, "noThread", "Windows could not start a thread for it"},
};

const char REPORT_SEPARATOR[] = "------------------------------------------------------------------";

namespace {

constexpr SourceWords kSourceWords[] = {
    {KIND_MME, L"MME", "MME", "MME"},
    {KIND_KS, L"KS ", "KS", "KS"},
    {KIND_WDM, L"WDM", "WDM", "WDM"},
};
const SourceWords kOtherSource = {DeviceSource(0), L"---", "WDM", "other"};
constexpr SideWords kSideWords[] = {
    {DIRECTION_PLAYBACK, L"OUT", "Playback", "Output", "playback"},
    {DIRECTION_RECORDING, L"IN", "Recording", "Input", "recording"},
};
constexpr DriverStateWords kDriverStates[DRIVER_STATE_COUNT] = {
    {DRIVER_STATE_NOT_INSTALLED, "notInstalled"},
    {DRIVER_STATE_NOT_RESPONDING, "driverNotResponding"},
    {DRIVER_STATE_WRONG_VERSION, "wrongVersion"},
    {DRIVER_STATE_INSTALLATION_PROBLEM, "installationProblem"},
    {DRIVER_STATE_CHECKED, "checked"},
    {DRIVER_STATE_NOT_RUNNING, "installedNotRunning"},
    {DRIVER_STATE_NOT_ANSWERING, "installedNotAnswering"},
};
constexpr ServiceStateWords kServiceStates[] = {
    {AUDIO_SERVICE_NOT_ASKED, "not asked", "notAsked"},
    {AUDIO_SERVICE_RUNNING, "running", "running"},
    {AUDIO_SERVICE_STOPPED, "stopped", "stopped"},
    {AUDIO_SERVICE_DISABLED, "disabled", "disabled"},
    {AUDIO_SERVICE_MISSING, "missing", "missing"},
    {AUDIO_SERVICE_UNREADABLE, "not readable", "unreadable"},
};
constexpr EndpointStateWords kEndpointStates[] = {
    {STORED_STATE_ACTIVE, "active", "active"},
    {STORED_STATE_DISABLED, "disabled", "disabled"},
    {STORED_STATE_NOT_PRESENT, "not present", "notPresent"},
    {STORED_STATE_UNPLUGGED, "unplugged", "unplugged"},
    {0, "in an unknown state", "other"},
};

}  // namespace

constexpr ListedWords LISTED_WORDS[3] = {
    {LISTED_KS_INTERFACE, "a kernel-streaming interface", "ksInterface"},
    {LISTED_ENDPOINT, "an endpoint", "endpoint"},
    {LISTED_WAVE_DEVICE, "a wave device", "waveDevice"},
};

const SourceWords& sourceWords(DeviceSource source) {
    for (const SourceWords& w : kSourceWords)
        if (w.source == source) return w;
    return kOtherSource;
}

const SideWords& sideWords(Direction side) { return kSideWords[side == DIRECTION_RECORDING ? 1 : 0]; }

const char* driverStateJsonName(DriverState state) {
    return state >= 0 && state < DRIVER_STATE_COUNT ? kDriverStates[state].jsonName : "unknown";
}

const ServiceStateWords& serviceStateWords(AudioServiceState state) {
    for (const ServiceStateWords& w : kServiceStates)
        if (w.state == state) return w;
    return kServiceStates[0];
}

const EndpointStateWords& endpointStateWords(uint32_t deviceState) {
    for (const EndpointStateWords& w : kEndpointStates)
        if (w.state == (deviceState & 0xF)) return w;
    return kEndpointStates[sizeof(kEndpointStates) / sizeof(kEndpointStates[0]) - 1];
}

void formatTestDateLine(const SYSTEMTIME& date, const char* checkerVersion, char* line, size_t size) {
    _snprintf(line, size, "TEST DATE: %04i/%02i/%02i - %02i:%02i:%02i (Checker Version %s)", date.wYear, date.wMonth,
              date.wDay, date.wHour, date.wMinute, date.wSecond, checkerVersion);
    line[size - 1] = 0;
}

namespace {

template <typename Row, size_t N>
constexpr bool inEnumerationOrder(const Row (&rows)[N], int (*value)(const Row&)) {
    for (size_t i = 0; i < N; ++i)
        if (value(rows[i]) != int(i)) return false;
    return true;
}
constexpr int findingKindOf(const FindingDescriptor& row) { return row.kind; }
constexpr int causeOf(const CauseDescriptor& row) { return row.cause; }

const FindingDescriptor kUnknownFinding = {FINDING_KIND_COUNT, "unknown", "", false};

// Appends a text to a line, cut to its capacity.
void put(wchar_t* text, size_t capacity, size_t* at, const wchar_t* part) {
    while (*part && *at + 1 < capacity) text[(*at)++] = *part++;
    text[*at] = 0;
}
void putNarrow(wchar_t* text, size_t capacity, size_t* at, const char* part) {
    wchar_t wide[NARROW_LINE_UNITS];
    widenLine(part ? part : "", wide);
    put(text, capacity, at, wide);
}

// The lists that hold a driver's devices (LISTED_ bits), in words.
void listWords(ListedIn listed, wchar_t* text, size_t capacity) {
    size_t at = 0;
    text[0] = 0;
    for (const ListedWords& l : LISTED_WORDS) {
        if (!(listed & l.list)) continue;
        if (at) put(text, capacity, &at, L", ");
        putNarrow(text, capacity, &at, l.words);
    }
}

}  // namespace

constexpr int fixActionOf(const FixActionDescriptor& row) { return row.action; }
constexpr int fixOutcomeOf(const FixOutcomeDescriptor& row) { return row.outcome; }
constexpr int fixNoteOf(const FixNoteDescriptor& row) { return row.note; }
static_assert(inEnumerationOrder(FIX_ACTION_DESCRIPTORS, fixActionOf), "one row per fix action, in order");
static_assert(inEnumerationOrder(FIX_OUTCOME_DESCRIPTORS, fixOutcomeOf), "one row per fix outcome, in order");
static_assert(inEnumerationOrder(FIX_NOTE_DESCRIPTORS, fixNoteOf), "one row per fix note, in order");
constexpr int driverStateOf(const DriverStateWords& row) { return row.state; }
static_assert(inEnumerationOrder(kDriverStates, driverStateOf), "one name per driver state, in order");
static_assert(inEnumerationOrder(FINDING_DESCRIPTORS, findingKindOf), "one finding row per kind, in order");
static_assert(inEnumerationOrder(CAUSE_DESCRIPTORS, causeOf), "one cause row per cause, in order");

const FindingDescriptor& findingDescriptor(FindingKind kind) {
    return kind >= 0 && kind < FINDING_KIND_COUNT ? FINDING_DESCRIPTORS[kind] : kUnknownFinding;
}

const CauseDescriptor& causeDescriptor(Cause cause) {
    return CAUSE_DESCRIPTORS[cause >= 0 && cause < CAUSE_COUNT ? cause : CAUSE_UNKNOWN];
}

void formatFound(const Diagnosis& why, wchar_t* text, size_t capacity) {
    text[0] = 0;
    const WatchedEntry* e = why.entry;
    switch (why.evidence) {
    case EVIDENCE_STORED_NAME:
        if (e) copyText(text, e->name, capacity);
        break;
    case EVIDENCE_STORED_ICON:
        if (e) copyText(text, e->icon, capacity);
        break;
    case EVIDENCE_ENDPOINT_STATE:
        if (e) copyText(text, (e->known & ENTRY_HAS_NAME) && e->name[0] ? e->name : e->endpointGuid, capacity);
        break;
    case EVIDENCE_VERSION:
        _snwprintf(text, capacity, L"%08X", unsigned(why.value));
        break;
    default:
        break;
    }
    text[capacity - 1] = 0;
    makeLineSafe(text);
}

void fillCauseText(const char* pattern, const Diagnosis& why, const char* driver, wchar_t* text, size_t capacity) {
    size_t at = 0;
    text[0] = 0;
    for (const char* p = pattern ? pattern : ""; *p;) {
        wchar_t part[ICON_PATH_SIZE] = L"";
        const char* end = *p == '{' ? strchr(p, '}') : NULL;
        const size_t length = end ? size_t(end - p + 1) : 0;
        if (length == 8 && strncmp(p, "{driver}", 8) == 0) {
            putNarrow(text, capacity, &at, driver);
        } else if (length == 7 && strncmp(p, "{value}", 7) == 0) {
            _snwprintf(part, ICON_PATH_SIZE, why.evidence == EVIDENCE_INTEGRITY ? L"%d" : L"%u", why.value);
            put(text, capacity, &at, part);
        } else if (length == 10 && strncmp(p, "{expected}", 10) == 0) {
            copyText(part, why.expected, EXPECTED_TEXT_SIZE);
            put(text, capacity, &at, part);
        } else if (length == 7 && strncmp(p, "{found}", 7) == 0) {
            formatFound(why, part, ICON_PATH_SIZE);
            put(text, capacity, &at, part[0] ? part : L"the device");
        } else if (length == 5 && strncmp(p, "{tab}", 5) == 0) {
            // The Sound settings' tab of the entry's side.
            putNarrow(text, capacity, &at, sideWords(why.entry ? why.entry->direction : DIRECTION_PLAYBACK).word);
        } else if (length == 8 && strncmp(p, "{device}", 8) == 0) {
            const WatchedEntry* e = why.entry;
            put(text, capacity, &at, !e ? L"the device" : (e->known & ENTRY_HAS_NAME) && e->name[0] ? e->name : e->endpointGuid);
        } else {
            part[0] = wchar_t(static_cast<unsigned char>(*p));
            part[1] = 0;
            if (*p & 0x80) putNarrow(text, capacity, &at, "?");  // the table is ASCII
            else put(text, capacity, &at, part);
            ++p;
            continue;
        }
        p += length;
    }
    makeLineSafe(text);
}

bool evidenceFromWindows(EvidenceKind evidence) {
    switch (evidence) {
    case EVIDENCE_DEVICE_NODE:
    case EVIDENCE_NODE_COUNT:
    case EVIDENCE_SERVICE:
    case EVIDENCE_ENDPOINT_STATE:
    case EVIDENCE_STORED_NAME:
    case EVIDENCE_STORED_ICON:
        return true;
    default:
        return false;
    }
}

namespace {

// Device Manager's own sentence for a problem code, as its General tab shows it.
const struct {
    uint32_t code;
    const char* sentence;
} kProblemSentences[] = {
    {1, "This device is not configured correctly."},
    {3, "The driver for this device might be corrupted, or your system may be running low on memory or other "
        "resources."},
    {10, "This device cannot start."},
    {12, "This device cannot find enough free resources that it can use."},
    {14, "This device cannot work properly until you restart your computer."},
    {18, "Reinstall the drivers for this device."},
    {19, "Windows cannot start this hardware device because its configuration information (in the registry) is "
         "incomplete or damaged."},
    {21, "Windows is removing this device."},
    {22, "This device is disabled."},
    {24, "This device is not present, is not working properly, or does not have all its drivers installed."},
    {28, "The drivers for this device are not installed."},
    {31, "This device is not working properly because Windows cannot load the drivers required for this device."},
    {37, "Windows cannot initialize the device driver for this hardware."},
    {39, "Windows cannot load the device driver for this hardware. The driver may be corrupted or missing."},
    {43, "Windows has stopped this device because it has reported problems."},
    {45, "Currently, this hardware device is not connected to the computer."},
    {52, "Windows cannot verify the digital signature for the drivers required for this device. A recent hardware or "
         "software change might have installed a file that is signed incorrectly or damaged, or that might be "
         "malicious software from an unknown source."},
};

// "ROOT\MEDIA\0000, ROOT\MEDIA\0003": every kept node of the row that says what the deciding one
// says (its problem code, or its wait for a restart), the deciding one first.
void nodesSaying(const Diagnosis& why, const RowEvidence* row, wchar_t* text, size_t capacity) {
    size_t at = 0;
    text[0] = 0;
    if (!why.node) return;
    put(text, capacity, &at, why.node->instanceId);
    for (int32_t i = 0; row && i < row->keptNodes && i < ROW_EVIDENCE_CAPACITY; ++i) {
        const DeviceNodeRecord& n = *row->nodes[i];
        if (wcscmp(n.instanceId, why.node->instanceId) == 0 || !nodesSayTheSame(n, *why.node)) continue;
        put(text, capacity, &at, L", ");
        put(text, capacity, &at, n.instanceId);
    }
}

}  // namespace

void formatEvidence(const Diagnosis& why, const char* hardwareId, const RowEvidence* row, wchar_t* text,
                    size_t capacity) {
    wchar_t found[ICON_PATH_SIZE];
    formatFound(why, found, ICON_PATH_SIZE);
    switch (why.evidence) {
    case EVIDENCE_DEVICE_NODE: {
        wchar_t nodes[REPORT_NODES_TEXT_SIZE];
        nodesSaying(why, row, nodes, REPORT_NODES_TEXT_SIZE);
        const char* sentence = NULL;
        for (const auto& p : kProblemSentences)
            if (p.code == why.value) sentence = p.sentence;
        if (!why.value) _snwprintf(text, capacity, L"Device Manager: %ls waits for a restart", nodes);
        else if (sentence) _snwprintf(text, capacity, L"Device Manager: %ls: \"%hs (Code %u)\"", nodes, sentence, why.value);
        else _snwprintf(text, capacity, L"Device Manager: %ls has problem code %u", nodes, why.value);
        break;
    }
    case EVIDENCE_NODE_COUNT:
        _snwprintf(text, capacity, L"Device Manager: %u present devices carry the hardware ID %hs", why.value,
                   hardwareId ? hardwareId : "");
        break;
    case EVIDENCE_SERVICE: {
        const char* audio = serviceStateWords(why.services.audio).word;
        if (why.services.endpointBuilder == AUDIO_SERVICE_NOT_ASKED)
            _snwprintf(text, capacity, L"Windows Audio service: %hs", audio);
        else
            _snwprintf(text, capacity, L"Windows Audio service: %hs; Windows Audio Endpoint Builder service: %hs",
                       audio, serviceStateWords(why.services.endpointBuilder).word);
        break;
    }
    case EVIDENCE_ENDPOINT_STATE:
        _snwprintf(text, capacity, L"Sound settings: %ls is %hs (DeviceState 0x%08X)", found,
                   endpointStateWords(why.value).word, why.value);
        break;
    case EVIDENCE_STORED_NAME:
        _snwprintf(text, capacity, L"Sound settings: the device is named \"%ls\"", found);
        break;
    case EVIDENCE_STORED_ICON:
        _snwprintf(text, capacity, L"Sound settings: the device's icon is \"%ls\"", found);
        break;
    case EVIDENCE_VERSION:
        _snwprintf(text, capacity, L"Version found: %ls; this checker expects %ls", found, why.expected);
        break;
    case EVIDENCE_NO_VERSION_ANSWER:
        _snwprintf(text, capacity, L"The driver does not answer: its version request got no answer in time");
        break;
    case EVIDENCE_FILTER_SILENT:
        _snwprintf(text, capacity, L"The driver does not answer: its kernel-streaming filter stopped answering during "
                                   L"the test");
        break;
    case EVIDENCE_LISTED: {
        wchar_t lists[128];
        listWords(why.listed, lists, 128);
        _snwprintf(text, capacity, L"The driver does not answer: Windows lists its devices (%ls), but it gave no version",
                   lists);
        break;
    }
    case EVIDENCE_INTEGRITY:
        _snwprintf(text, capacity, L"Initialization value: %d", int(why.value));
        break;
    default:
        _snwprintf(text, capacity, L"nothing that explains it");
        break;
    }
    text[capacity - 1] = 0;
    makeLineSafe(text);
}

const FixActionDescriptor& fixActionDescriptor(FixAction action) {
    return FIX_ACTION_DESCRIPTORS[action >= 0 && action < FIX_ACTION_COUNT ? action : FIX_START_SERVICE];
}
const FixOutcomeDescriptor& fixOutcomeDescriptor(FixOutcome outcome) {
    return FIX_OUTCOME_DESCRIPTORS[outcome >= 0 && outcome < FIX_OUTCOME_COUNT ? outcome : FIX_PLANNED];
}
const FixNoteDescriptor& fixNoteDescriptor(FixNote note) {
    return FIX_NOTE_DESCRIPTORS[note >= 0 && note < FIX_NOTE_COUNT ? note : FIX_NOTE_NONE];
}

namespace {

const char* serviceDisplayName(const wchar_t* name) {
    return wcscmp(name, ENDPOINT_BUILDER_SERVICE_NAME) == 0 ? "Windows Audio Endpoint Builder" : "Windows Audio";
}

const char* rowName(int32_t row) { return row >= 0 && row < DRIVER_CATALOG_SIZE ? DRIVER_CATALOG[row].displayName : ""; }

}  // namespace

void formatFixWords(const FixRecord& fix, wchar_t* text, size_t capacity) {
    size_t at = 0;
    text[0] = 0;
    for (const char* p = fixActionDescriptor(fix.action).words; *p;) {
        const char* part = NULL;
        size_t length = 0;
        if (strncmp(p, "{driver}", 8) == 0) part = rowName(fix.row), length = 8;
        else if (strncmp(p, "{side}", 6) == 0) part = sideWords(fix.side).word, length = 6;
        else if (strncmp(p, "{service}", 9) == 0) part = serviceDisplayName(fix.target), length = 9;
        if (part) {
            putNarrow(text, capacity, &at, part);
            p += length;
            continue;
        }
        const wchar_t c[2] = {wchar_t(static_cast<unsigned char>(*p++)), 0};
        put(text, capacity, &at, c);
    }
}

void formatFixBefore(const FixRecord& fix, wchar_t* text, size_t capacity) {
    text[0] = 0;
    switch (fix.action) {
    case FIX_START_SERVICE:
        _snwprintf(text, capacity, L"%hs", serviceStateWords(fix.serviceBefore).word);
        break;
    case FIX_ENABLE_DEVICE:
    case FIX_RESTART_DEVICE:
        if (fix.problemCode) _snwprintf(text, capacity, L"problem code %lu", (unsigned long)fix.problemCode);
        else _snwprintf(text, capacity, L"not answering");
        break;
    default:
        copyText(text, fix.before, capacity);
        break;
    }
    text[capacity - 1] = 0;
    makeLineSafe(text);
}

void formatFixAfter(const FixRecord& fix, wchar_t* text, size_t capacity) {
    text[0] = 0;
    switch (fix.action) {
    case FIX_START_SERVICE: {
        // Once tried, what the service manager says now; before, what the fix sets.
        const bool tried = fix.outcome != FIX_PLANNED && fix.outcome != FIX_NEEDS_ADMINISTRATOR;
        const bool automatic = tried ? fix.startTypeChanged && !fix.startTypeRestored
                                     : fix.serviceBefore == AUDIO_SERVICE_DISABLED;
        _snwprintf(text, capacity, L"%hs%ls", serviceStateWords(tried ? fix.serviceAfter : AUDIO_SERVICE_RUNNING).word,
                   automatic ? L", starts automatically" : L"");
        break;
    }
    case FIX_ENABLE_DEVICE:
        _snwprintf(text, capacity, L"enabled");
        break;
    case FIX_RESTART_DEVICE:
        _snwprintf(text, capacity, L"started again");
        break;
    default:
        copyText(text, fix.after, capacity);
        break;
    }
    text[capacity - 1] = 0;
    makeLineSafe(text);
}

void formatFixReason(const FixRecord& fix, wchar_t* text, size_t capacity) {
    text[0] = 0;
    if (fix.outcome != FIX_NOT_DONE) return;
    if (fix.note != FIX_NOTE_NONE) {
        _snwprintf(text, capacity, L"%hs", fixNoteDescriptor(fix.note).words);
    } else {
        wchar_t message[256];
        windowsMessage(fix.error, message, 256);
        _snwprintf(text, capacity, L"Windows says: %ls (error %lu)", message, (unsigned long)fix.error);
    }
    text[capacity - 1] = 0;
}

void formatFixOutcome(const FixRecord& fix, bool stillFound, wchar_t* text, size_t capacity) {
    wchar_t reason[512];
    formatFixReason(fix, reason, 512);
    const char* words = fixOutcomeDescriptor(fix.outcome).words;
    if (reason[0]) _snwprintf(text, capacity, L"%hs (%ls)", words, reason);
    else if (stillFound) _snwprintf(text, capacity, L"%hs, but the test after it still finds the problem", words);
    else _snwprintf(text, capacity, L"%hs", words);
    text[capacity - 1] = 0;
}
