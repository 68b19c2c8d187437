#include "inventory/ks_interfaces.h"

#include <wchar.h>

const DeviceRecord* findKsInterface(const DeviceInventory& inventory, const wchar_t* name, int direction) {
    const RecordList& list = inventory.ksInterfaces;
    const bool capture = direction == 1;
    for (uint32_t i = 1; i <= recordCount(list); ++i) {
        const DeviceRecord* r = recordAt(list, i);
        if (((r->kind & KS_CAPTURE_FLAG) != 0) != capture) continue;
        if (wcscmp(r->driverNameW, name) == 0 || wcscmp(r->pinNameW, name) == 0) return r;
    }
    return NULL;
}
