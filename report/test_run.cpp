#include "report/test_run.h"

#include <stdio.h>
#include <string.h>

#include "base/product.h"
#include "base/text.h"
#include "checks/driver_checks.h"

namespace {

const char* const kClassNames[] = {"< XP", "WIN XP", "WIN Server 2003", "WIN VISTA", "WIN 7",
                                   "WIN 8", "WIN 8.1", "WIN 10", "> WIN10"};


const char kSeparator[] = "------------------------------------------------------------------";

const wchar_t* sourceTag(uint32_t kind) {
    switch (kind & KIND_MASK) {
    case KIND_KS: return L"KS ";
    case KIND_MME: return L"MME";
    case KIND_WDM: return L"WDM";
    default: return L"---";
    }
}

void appendLines(LogBuffer* log, const RecordList& list, Direction direction) {
    char count[64];
    _snprintf(count, sizeof(count), direction == DIRECTION_RECORDING ? "INPUT DEVICE: %i" : "OUTPUT DEVICE: %i",
              int(recordCount(list)));
    count[sizeof(count) - 1] = 0;
    appendNarrow(log, count);
    appendNarrow(log, kSeparator);
    wchar_t line[DEVICE_LINE_SIZE];
    for (uint32_t i = 1; i <= recordCount(list); ++i) {
        formatDeviceLine(*recordAt(list, i), direction, line, DEVICE_LINE_SIZE);
        appendWide(log, line);
    }
    appendNarrow(log, " ");
}

}  // namespace

void formatDeviceLine(const DeviceRecord& record, Direction direction, wchar_t* line, size_t size) {
    if (!line || size == 0) return;
    const wchar_t* word = direction == DIRECTION_RECORDING ? L"IN" : L"OUT";
    // At most 127 characters, and never a byte read past the record's field, terminated or not.
    wchar_t hardwareId[128];
    ZeroMemory(hardwareId, sizeof(hardwareId));
    const int bytes = int(strnlen(record.hardwareId, sizeof(record.hardwareId)));
    if (bytes > 0 && !MultiByteToWideChar(CP_ACP, 0, record.hardwareId, bytes, hardwareId, 127)) {
        ZeroMemory(hardwareId, sizeof(hardwareId));
        MultiByteToWideChar(CP_ACP, 0, record.hardwareId, bytes < 127 ? bytes : 127, hardwareId, 127);
    }
    hardwareId[127] = 0;
    if ((record.kind & KIND_MASK) == KIND_KS)
        _snwprintf(line, size, L"%ls %ls %ls | %ls | %ls", word, sourceTag(record.kind), record.pinNameW, hardwareId,
                   record.driverNameW);
    else
        _snwprintf(line, size, L"%ls %ls %ls | %ls | %ls | ICON: %ls ", word, sourceTag(record.kind), record.pinNameW,
                   hardwareId, record.mmDeviceGuid, record.iconPath);
    line[size - 1] = 0;
    // Names, IDs and paths come from drivers and the registry: whatever they hold, the device
    // stays one line of the report.
    makeLineSafe(line);
}

int32_t runTest(const TestRunContext& context) {
    LogBuffer* log = context.log;
    appendLines(log, context.inventory->inputDevices, DIRECTION_RECORDING);
    appendLines(log, context.inventory->outputDevices, DIRECTION_PLAYBACK);
    appendNarrow(log, kSeparator);

    int32_t total = 0;
    const CheckContext check = {log, context.inventory, context.os->osClass};
    // All drivers at once: drivers that do not answer share one wait instead of adding theirs.
    DriverVersionAnswer answers[DRIVER_CATALOG_SIZE];
    askCatalogVersions(answers);
    for (int i = 0; i < DRIVER_CATALOG_SIZE; ++i) {
        DriverCatalogEntry row = DRIVER_CATALOG[i];
        wchar_t recordingIcon[128], playbackIcon[128];
        if (row.driverFileBase) {
            driverIconReference(row.driverFileBase, DIRECTION_RECORDING, context.os->osClass, context.is64BitWindows, recordingIcon);
            driverIconReference(row.driverFileBase, DIRECTION_PLAYBACK, context.os->osClass, context.is64BitWindows, playbackIcon);
            row.recordingIcon = recordingIcon;
            row.playbackIcon = playbackIcon;
        }
        total += checkDriver(row, answers[i], check);
    }

    appendNarrow(log, kSeparator);
    char line[1024];
    _snprintf(line, sizeof(line), "Initialization value: %i", int(context.initValue));
    line[sizeof(line) - 1] = 0;
    appendNarrow(log, line);
    SYSTEMTIME now;
    GetSystemTime(&now);  // UTC, so that reports from anywhere compare
    _snprintf(line, sizeof(line), "TEST DATE: %04i/%02i/%02i - %02i:%02i:%02i (Checker Version %s)", now.wYear,
              now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, PRODUCT_VERSION);
    line[sizeof(line) - 1] = 0;
    appendNarrow(log, line);
    formatOsLine(*context.os, context.is64BitWindows, line, sizeof(line));
    appendNarrow(log, line);
    if (total > 0)
        _snprintf(line, sizeof(line), "CONCLUSION: %i error detected (You may consider re-installing audio drivers)",
                  int(total));
    else
        _snprintf(line, sizeof(line), "CONCLUSION: OK (nothing bad detected)");
    line[sizeof(line) - 1] = 0;
    appendNarrow(log, line);
    return total;
}

void formatOsLine(const OsIdentification& os, int32_t is64BitWindows, char* line, size_t size) {
    if (!line || size == 0) return;
    const char* name = os.osClass >= 0 && os.osClass <= OS_AFTER_WIN10 ? kClassNames[os.osClass] : "unknown";
    _snprintf(line, size, "Operating System: %s %s Build: %i", name, is64BitWindows ? "64Bits" : "32Bits",
              int(os.osBuild));
    line[size - 1] = 0;
}
