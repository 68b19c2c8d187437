// The fixes the checker makes for the causes a test found, each one small, documented Windows
// call on the catalogued drivers' own things only: the two audio services, the drivers' present
// device nodes, and the name and icon values of their endpoints' store entries. A plan is decided
// from a test's results (fix_plan.cpp) and carried out on consent (fix_apply.cpp); each fix then
// holds what became of it. Nothing here is text of the report.
#pragma once

#include <stdint.h>

#include "base/device_record.h"
#include "checks/driver_catalog.h"
#include "checks/driver_result.h"
#include "sources/services/audio_services.h"

enum FixAction : int32_t {
    FIX_START_SERVICE = 0,   // an audio service: a disabled one set to start automatically, then started
    FIX_ENABLE_DEVICE = 1,   // a device node of the driver that is disabled, enabled
    FIX_RESTART_DEVICE = 2,  // a device node whose driver did not start or does not answer, started again
    FIX_RESTORE_NAME = 3,    // an endpoint's name in the Sound settings put back to the driver's
    FIX_RESTORE_ICON = 4,    // an endpoint's icon put back to the driver's icon file
    FIX_ACTION_COUNT = 5,
};

enum FixOutcome : int32_t {
    FIX_PLANNED = 0,             // not tried
    FIX_DONE = 1,
    FIX_NOT_DONE = 2,            // Windows refused it (error), or see the note
    FIX_NEEDS_ADMINISTRATOR = 3, // the checker did not run with an administrator's rights: nothing was tried
    FIX_RESTART_NEEDED = 4,      // done; Windows needs a restart to finish it
    FIX_OUTCOME_COUNT = 5,
};

// Why a fix was not done where Windows gave no error of its own.
enum FixNote : int32_t {
    FIX_NOTE_NONE = 0,
    FIX_NOTE_TIMED_OUT = 1,          // the call did not end within its deadline
    FIX_NOTE_CHANGED_SINCE_TEST = 2, // the value is no longer what the test found: nothing was written
    FIX_NOTE_NOT_THE_DRIVERS = 3,    // the node or entry no longer carries the driver's hardware ID
    FIX_NOTE_NO_THREAD = 4,          // no thread could be started for the call
    FIX_NOTE_COUNT = 5,
};

enum {
    FIX_TARGET_SIZE = 200,  // a device instance ID, an endpoint GUID or a service name
    FIX_TEXT_SIZE = ICON_PATH_SIZE,
    FIXES_CAPACITY = 48,    // two services, four nodes and two names and icons per row
    FIX_NODES_PER_ROW = 4,
};

struct FixRecord {
    FixAction action;
    int32_t row;     // the catalogue row; -1 for a service
    Direction side;  // an endpoint's (name, icon)
    wchar_t target[FIX_TARGET_SIZE];
    // A service: its state before and after, and whether its start type went from disabled to
    // automatic (and was put back when the start was refused).
    AudioServiceState serviceBefore;
    AudioServiceState serviceAfter;
    bool startTypeChanged;
    bool startTypeRestored;
    uint32_t problemCode;  // a device node: its problem code when the test read it (0: none)
    // A name or icon: the value the test found, and the driver's, which the fix writes.
    wchar_t before[FIX_TEXT_SIZE];
    wchar_t after[FIX_TEXT_SIZE];
    FixOutcome outcome;
    FixNote note;
    uint32_t error;  // Windows' error where it refused; 0
};

struct FixList {
    int32_t count;
    FixRecord fixes[FIXES_CAPACITY];
    // A cause only a restart of Windows fixes: the window offers one, a hidden run only says so.
    bool restartNeeded;
};

// The fixes for the causes of the rows (in catalogue order) and their findings: the audio
// services that are down (the endpoint builder first, a missing one never), then each row's
// present device nodes that are disabled, or did not start or do not answer, then each of its
// endpoints renamed or given another icon by the user (an icon only where the driver's icon file
// is found on a local drive of this machine). Every other cause has no fix; its steps stand.
// osClass and is64BitWindows name the driver's icon file; evidence pointers are read now, so the
// plan outlives the pass.
void planFixes(const DriverResult (&drivers)[DRIVER_CATALOG_SIZE], const AudioServices& services, OsClass osClass,
               bool is64BitWindows, FixList* plan);

// What the user agrees to, without naming a target: a bit per kind of fix and row (and side),
// so that a checker started elevated to apply them decides its own targets again from its own
// test and applies no more than was agreed.
uint64_t fixAgreementBit(const FixRecord& fix);
uint64_t fixAgreement(const FixList& plan);
// Leaves only the fixes agreed to, in order.
void keepAgreedFixes(uint64_t agreed, FixList* plan);
