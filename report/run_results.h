// The results of one test run: what the report says, before it is text. The test run fills it;
// the text report and the JSON report render it.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "base/device_record.h"
#include "base/system_identification.h"
#include "checks/driver_catalog.h"
#include "checks/driver_result.h"
#include "fixes/fix_plan.h"

// What the test after a fix finds of the problem the fix was for.
enum FixConfirmation : int32_t {
    FIX_NOT_CONFIRMED = 0,  // not done, or done pending a restart: the test cannot tell yet
    FIX_CONFIRMED = 1,      // gone
    FIX_STILL_FOUND = 2,    // Windows said it was done, and the test still finds it
};

enum Conclusion : int32_t {
    CONCLUSION_OK = 0,              // nothing bad detected
    CONCLUSION_ERRORS_DETECTED = 1,
};

// The device lists and the findings point into the inventory of the pass the run read, so a
// result is rendered before the next collection pass.
struct RunResults {
    const char* checkerVersion;
    SYSTEMTIME testDate;  // UTC
    OsIdentification os;
    bool is64BitWindows;
    MachineIdentity machine;
    int32_t initValue;  // result of the integrity check of the program's own file
    Diagnosis integrity;  // CAUSE_CHECKER_DAMAGED when that check failed (it counts no error)
    bool evidenceGathered;  // the pass read the evidence below and the rows'
    AudioServices services;
    int32_t errorTotal;
    Conclusion conclusion;
    const RecordList* recordingDevices;  // in report order
    const RecordList* playbackDevices;
    const RecordList* silentFilters;  // kernel-streaming filters that stopped answering in the pass
    DriverResult drivers[DRIVER_CATALOG_SIZE];  // in catalogue order
    // The fixes made since the test before, which this one tests again; null when none were. For
    // each fix Windows said was done, whether this test still finds what it fixed.
    const FixList* fixes;
    FixConfirmation confirmed[FIXES_CAPACITY];
    // Windows needs a restart: a cause of a row or finding, or a fix of those above, says so.
    bool restartNeeded;
};
