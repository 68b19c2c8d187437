// Why a driver's row and each of its findings are what they are: the evidence Windows keeps of
// the row's devices (device nodes, endpoint entries, the audio services) decides one cause of a
// closed set, or "unknown" where it does not decide. Never a guess.
#pragma once

#include <stdint.h>

#include "checks/driver_catalog.h"
#include "checks/driver_checks.h"
#include "checks/driver_result.h"

// The row's device nodes and store entries from the pass's evidence, and the lists that hold
// its devices.
void gatherRowEvidence(const DriverCatalogEntry& row, const DeviceInventory& inventory, RowEvidence* evidence);

// The cause a device node's problem gives (CAUSE_NONE for a node that is fine): the one reading
// that the row's line, its cause, the fixes and the JSON report all take.
Cause causeOfNode(const DeviceNodeRecord& node);

// Decides the cause of the row and of each of its findings; the row's state and findings are
// final. A row that is fine keeps CAUSE_NONE.
void decideCauses(const DriverCatalogEntry& row, const CheckContext& context, DriverResult* result);

// The run's own: a checker whose file failed its integrity check (a damaged download).
void decideIntegrity(int32_t initValue, Diagnosis* why);
