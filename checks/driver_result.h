// What the check of one catalogued driver found: its state, the version it reported, and one
// finding per problem, in the order the report lists them. The report renders it; nothing here
// is text of the report.
#pragma once

#include <stdint.h>

#include "base/device_record.h"

// The outcome of a driver's version request and interface lookup.
enum DriverState : int32_t {
    DRIVER_STATE_NOT_INSTALLED = 0,          // no control device, or it answered version 0
    DRIVER_STATE_NOT_RESPONDING = 1,         // the control device did not answer in time
    DRIVER_STATE_WRONG_VERSION = 2,
    DRIVER_STATE_INSTALLATION_PROBLEM = 3,   // no kernel-streaming interface with its hardware ID
    DRIVER_STATE_CHECKED = 4,                // its devices were looked up in every list
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
};

// One error of a driver. The texts point into the records of the inventory the check read (or
// are null where the finding has none), so a result is read before the next collection pass.
struct Finding {
    FindingKind kind;
    uint32_t source;  // KIND_MME, KIND_KS or KIND_WDM
    Direction side;
    const wchar_t* value;         // the value found, as the device holds it
    const char* narrowValue;      // its ANSI form, for the findings the report prints in ANSI
    const wchar_t* otherName;     // the other device that shares the value
};

// A checked driver has at most one capture-only finding and 6 + 3 + 6 per side.
enum { DRIVER_FINDINGS_CAPACITY = 32 };

struct DriverResult {
    const char* displayName;      // the catalogue's texts, which live as long as the program
    const char* hardwareId;
    uint32_t expectedVersion;
    DriverState state;
    uint32_t version;             // as reported; 0 when the driver gave none
    const wchar_t* interfaceName; // the kernel-streaming interface's name, for a checked driver
    int32_t errors;               // what the row adds to the error total
    int32_t findingCount;
    Finding findings[DRIVER_FINDINGS_CAPACITY];
};
