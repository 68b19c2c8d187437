#include "support/records.h"

#include <string.h>

#include "base/text.h"

DeviceRecord makeRecord(const RecordFields& fields) {
    DeviceRecord r;
    ZeroMemory(&r, sizeof(r));
    r.index = fields.index;
    r.kind = fields.kind;
    r.ksAliases = fields.ksAliases;
    r.channels = fields.channels;
    lstrcpynW(r.pinNameW, fields.name.c_str(), PIN_NAME_SIZE);
    toNarrow(r.pinNameW, r.pinName, PIN_NAME_SIZE);
    lstrcpynW(r.driverNameW, fields.driverName.c_str(), DRIVER_NAME_SIZE);
    toNarrow(r.driverNameW, r.driverName, DRIVER_NAME_SIZE);
    lstrcpynA(r.hardwareId, fields.hardwareId.c_str(), HARDWARE_ID_SIZE);
    lstrcpynW(r.iconPath, fields.iconPath.c_str(), ICON_PATH_SIZE);
    lstrcpynW(r.mmDeviceGuid, fields.deviceGuid.c_str(), DEVICE_GUID_SIZE);
    return r;
}
