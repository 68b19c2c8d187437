// Device records for tests, filled the way the sources fill them.
#pragma once

#include <string>

#include "base/device_record.h"

struct RecordFields {
    DeviceSource kind = KIND_MME;
    KsAliases ksAliases = KS_ALIAS_NONE;
    std::wstring name;         // pinNameW (pinName is its ANSI copy)
    std::string hardwareId;
    std::wstring driverName;   // driverNameW (driverName is its ANSI copy)
    std::wstring iconPath;
    std::wstring deviceGuid;   // mmDeviceGuid
    int32_t index = 0;
    uint32_t channels = 0;
};

DeviceRecord makeRecord(const RecordFields& fields);
