// What the check of one catalogued driver found: its state, the version it reported, and one
// finding per problem, in the order the report lists them. The report renders it; nothing here
// is text of the report.
#pragma once

#include <stdint.h>

#include "base/device_record.h"
#include "inventory/device_inventory.h"

// The outcome of a driver's version request and interface lookup.
enum DriverState : int32_t {
    DRIVER_STATE_NOT_INSTALLED = 0,          // no control device, or it answered version 0
    DRIVER_STATE_NOT_RESPONDING = 1,         // the control device did not answer in time
    DRIVER_STATE_WRONG_VERSION = 2,
    DRIVER_STATE_INSTALLATION_PROBLEM = 3,   // no kernel-streaming interface with its hardware ID
    DRIVER_STATE_CHECKED = 4,                // its devices were looked up in every list
    // No version, but Windows has a present device node of it with a problem code.
    DRIVER_STATE_NOT_RUNNING = 5,
    // No version, no problem code, but its devices are in a list.
    DRIVER_STATE_NOT_ANSWERING = 6,
    DRIVER_STATE_COUNT = 7,
};

enum FindingKind : int32_t {
    FINDING_BAD_DRIVER_NAME = 0,
    FINDING_BAD_PIN_NAME = 1,
    FINDING_BAD_PIN_ICON = 2,
    FINDING_SAME_HARDWARE_ID = 3,
    FINDING_SAME_ICON = 4,
    FINDING_SAME_ENDPOINT_GUID = 5,
    FINDING_SAME_DRIVER_STRING = 6,
    FINDING_NOT_LISTED = 7,
    FINDING_NOT_RESPONDING = 8,       // its filter was found but stopped answering in the pass
    FINDING_CAPTURE_ONLY_INTERFACE = 9,  // no render interface: one error, no line of its own
    FINDING_KIND_COUNT = 10,
};

// Why a row or a finding is what it is, as far as what Windows keeps decides it.
enum Cause : int32_t {
    CAUSE_NONE = 0,                 // a row that is fine
    CAUSE_UNKNOWN = 1,              // the evidence does not decide
    CAUSE_ENDPOINT_DISABLED = 2,
    CAUSE_ENDPOINT_NOT_PRESENT = 3,
    CAUSE_ENDPOINT_UNPLUGGED = 4,
    CAUSE_RENAMED_BY_USER = 5,
    CAUSE_ICON_CHANGED_BY_USER = 6,
    CAUSE_AUDIO_SERVICE_NOT_RUNNING = 7,
    CAUSE_DRIVER_DISABLED = 8,
    CAUSE_DRIVER_NOT_STARTED = 9,
    CAUSE_SIGNATURE_NOT_VERIFIED = 10,
    CAUSE_RESTART_NEEDED = 11,
    CAUSE_INSTALLED_TWICE = 12,
    CAUSE_OLDER_DRIVER = 13,
    CAUSE_NEWER_DRIVER = 14,
    CAUSE_DRIVER_NOT_ANSWERING = 15,
    CAUSE_CHECKER_DAMAGED = 16,     // the run's own: the integrity check of the checker's file
    CAUSE_COUNT = 17,
};

// The kind of evidence that decided a cause; the values it names are in the Diagnosis.
enum EvidenceKind : int32_t {
    EVIDENCE_NONE = 0,
    EVIDENCE_DEVICE_NODE = 1,       // node: its problem code (value) and status
    EVIDENCE_NODE_COUNT = 2,        // value: present device nodes with the hardware ID
    EVIDENCE_SERVICE = 3,           // services: both services' states
    EVIDENCE_ENDPOINT_STATE = 4,    // entry: its DeviceState (value)
    EVIDENCE_STORED_NAME = 5,       // entry: the name the store holds; expected: the driver's
    EVIDENCE_STORED_ICON = 6,       // entry: the icon the store holds; expected: the tail it should end in
    EVIDENCE_VERSION = 7,           // value: the version found; expected: the version the checker takes
    EVIDENCE_NO_VERSION_ANSWER = 8, // the version request got no answer in time
    EVIDENCE_FILTER_SILENT = 9,     // its kernel-streaming filter stopped answering in the pass
    EVIDENCE_LISTED = 10,           // listed: the lists that hold it while it gives no version
    EVIDENCE_INTEGRITY = 11,        // value: the integrity check's result
};

// Where a row's devices are listed (EVIDENCE_LISTED).
enum ListedIn : uint32_t {
    LISTED_NOWHERE = 0,
    LISTED_KS_INTERFACE = 1,
    LISTED_ENDPOINT = 2,
    LISTED_WAVE_DEVICE = 4,
};
DEFINE_ENUM_FLAG_OPERATORS(ListedIn)

enum { EXPECTED_TEXT_SIZE = 128 };

// A cause and what decided it. The pointers are into the inventory's evidence, read before the
// next collection pass.
struct Diagnosis {
    Cause cause;
    EvidenceKind evidence;
    uint32_t value;
    AudioServices services;  // EVIDENCE_SERVICE
    ListedIn listed;         // EVIDENCE_LISTED
    const DeviceNodeRecord* node;
    const WatchedEntry* entry;
    wchar_t expected[EXPECTED_TEXT_SIZE];  // the name, icon or version to put back; empty if none
};

// One error of a driver. The texts point into the records of the inventory the check read (or
// are null where the finding has none), so a result is read before the next collection pass.
struct Finding {
    FindingKind kind;
    const DeviceRecord* device;   // the device the finding is about; null for one not listed
    DeviceSource source;
    Direction side;
    const wchar_t* value;         // the value found, as the device holds it
    const char* narrowValue;      // its ANSI form, for the findings the report prints in ANSI
    const wchar_t* otherName;     // the other device that shares the value
    Diagnosis why;
};

// A checked driver has at most one capture-only finding and 6 + 3 + 6 per side.
enum { DRIVER_FINDINGS_CAPACITY = 32 };

// What Windows keeps of a row's devices (pointers into the inventory's evidence): every node and
// entry of the row counted, the node that decides, and for each side the entry that does; the
// nodes and entries the pass kept, for the report and the fixes; where its devices are listed.
enum { ROW_EVIDENCE_CAPACITY = 32 };
struct RowEvidence {
    bool gathered;  // false: the pass read none (the lists were made by hand)
    int32_t nodeCount;     // present or not, also those the pass did not keep
    int32_t presentNodes;
    const DeviceNodeRecord* deciding;  // its problem code, or its wait for a restart, decides; null
    int32_t keptNodes;
    const DeviceNodeRecord* nodes[ROW_EVIDENCE_CAPACITY];
    int32_t entryCount;    // both sides, also those the pass did not keep
    const EntrySummary* sides[2];  // by Direction; null when the pass summed none up
    int32_t keptEntries;
    const WatchedEntry* entries[ROW_EVIDENCE_CAPACITY];
    ListedIn listed;
};

struct DriverResult {
    const char* displayName;      // the catalogue's texts, which live as long as the program
    const char* hardwareId;
    uint32_t expectedVersion;
    DriverState state;
    uint32_t version;             // as reported; 0 when the driver gave none
    uint32_t problemCode;         // of its device node Windows did not start (DRIVER_STATE_NOT_RUNNING)
    const wchar_t* interfaceName; // the kernel-streaming interface's name, for a checked driver
    int32_t errors;               // what the row adds to the error total
    int32_t findingCount;
    Finding findings[DRIVER_FINDINGS_CAPACITY];
    RowEvidence evidence;
    Diagnosis why;  // CAUSE_NONE for a row that is fine
};
