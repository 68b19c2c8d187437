// The kernel-streaming interface map of the inventory (ksInterfaces) and its lookups.
#pragma once

#include "inventory/device_inventory.h"

// The first ksInterfaces record of the direction (1 recording: capture alias; else render alias)
// whose driverNameW or pinNameW equals the name exactly; null when none.
const DeviceRecord* findKsInterface(const DeviceInventory& inventory, const wchar_t* name, int direction);
