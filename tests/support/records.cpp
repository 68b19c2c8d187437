#include "support/records.h"

#include <string.h>

DeviceRecord makeRecord(const RecordSpec& spec) {
    DeviceRecord r;
    ZeroMemory(&r, sizeof(r));
    r.index = spec.index;
    r.kind = spec.kind;
    r.channels = spec.channels;
    lstrcpynW(r.pinNameW, spec.name.c_str(), PIN_NAME_SIZE);
    toNarrow(r.pinNameW, r.pinName, PIN_NAME_SIZE);
    lstrcpynW(r.driverNameW, spec.driverName.c_str(), DRIVER_NAME_SIZE);
    toNarrow(r.driverNameW, r.driverName, DRIVER_NAME_SIZE);
    lstrcpynA(r.hardwareId, spec.hardwareId.c_str(), HARDWARE_ID_SIZE);
    lstrcpynW(r.iconPath, spec.iconPath.c_str(), ICON_PATH_SIZE);
    lstrcpynW(r.mmDeviceGuid, spec.deviceGuid.c_str(), DEVICE_GUID_SIZE);
    return r;
}
