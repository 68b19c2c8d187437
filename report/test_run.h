// One test run: the device lists, one section per catalogued driver, and the closing block with
// the conclusion, appended to the log.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "base/log_buffer.h"
#include "inventory/device_inventory.h"
#include "base/system_identification.h"

const size_t DEVICE_LINE_SIZE = 2048;

struct TestRunContext {
    LogBuffer* log;
    const DeviceInventory* inventory;
    const OsIdentification* os;
    int32_t is64BitWindows;
    int32_t initValue;  // result of the integrity check of the program's own file
};

// One device line; direction 1 is the recording side ("IN"), any other the playback side.
void formatDeviceLine(const DeviceRecord& record, Direction direction, wchar_t* line, size_t size);

// Writes one report and returns the error total. A collection pass must have just run.
int32_t runTest(const TestRunContext& context);

// "Operating System: <class> <32Bits|64Bits> Build: <build>"
void formatOsLine(const OsIdentification& os, int32_t is64BitWindows, char* line, size_t size);
