#include "report/text_report.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "base/text.h"
#include "report/descriptors.h"

namespace {


void appendDevices(LogBuffer* log, const RecordList* list, Direction direction) {
    const uint32_t count = list ? recordCount(*list) : 0;
    char line[64];
    _snprintf(line, sizeof(line), direction == DIRECTION_RECORDING ? "INPUT DEVICE: %i" : "OUTPUT DEVICE: %i",
              int(count));
    line[sizeof(line) - 1] = 0;
    appendNarrow(log, line);
    appendNarrow(log, REPORT_SEPARATOR);
    wchar_t deviceLine[DEVICE_LINE_SIZE];
    for (uint32_t i = 1; i <= count; ++i) {
        formatDeviceLine(*recordAt(*list, i), direction, deviceLine, DEVICE_LINE_SIZE);
        appendWide(log, deviceLine);
    }
    appendNarrow(log, " ");
}

// A line whose variable parts are ANSI text is made in the ANSI code page, then widened as the
// log widens every narrow line; names from drivers and the registry must not break the line,
// also where a byte of the code page widens to a C1 control (0x81 in code page 1252).
void narrowLine(wchar_t* line, const char* format, ...) {
    char narrow[NARROW_LINE_UNITS];
    va_list args;
    va_start(args, format);
    _vsnprintf(narrow, sizeof(narrow), format, args);
    va_end(args);
    narrow[sizeof(narrow) - 1] = 0;
    widenLine(narrow, line);  // NARROW_LINE_UNITS <= REPORT_LINE_SIZE
    makeLineSafe(line);
}
void wideLine(wchar_t* line, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    _vsnwprintf(line, REPORT_LINE_SIZE, format, args);
    va_end(args);
    line[REPORT_LINE_SIZE - 1] = 0;
    makeLineSafe(line);
}

}  // namespace

const char* osClassName(OsClass osClass) {
    switch (osClass) {
    case OS_BEFORE_XP: return "< XP";
    case OS_XP: return "WIN XP";
    case OS_SERVER_2003: return "WIN Server 2003";
    case OS_VISTA: return "WIN VISTA";
    case OS_WIN7: return "WIN 7";
    case OS_WIN8: return "WIN 8";
    case OS_WIN81: return "WIN 8.1";
    case OS_WIN10: return "WIN 10";
    case OS_AFTER_WIN10: return "> WIN10";
    default: return "unknown";
    }
}

void formatHardwareId(const DeviceRecord& record, wchar_t* text) {
    ZeroMemory(text, 128 * sizeof(wchar_t));
    const int bytes = int(strnlen(record.hardwareId, sizeof(record.hardwareId)));
    if (bytes > 0 && !MultiByteToWideChar(CP_ACP, 0, record.hardwareId, bytes, text, 127)) {
        ZeroMemory(text, 128 * sizeof(wchar_t));
        MultiByteToWideChar(CP_ACP, 0, record.hardwareId, bytes < 127 ? bytes : 127, text, 127);
    }
    text[127] = 0;
}

void formatDeviceLine(const DeviceRecord& record, Direction direction, wchar_t* line, size_t size) {
    if (!line || size == 0) return;
    const wchar_t* word = sideWords(direction).deviceLine;
    const wchar_t* tag = sourceWords(record.kind).tag;
    wchar_t hardwareId[128];
    formatHardwareId(record, hardwareId);
    if (record.kind == KIND_KS)
        _snwprintf(line, size, L"%ls %ls %ls | %ls | %ls", word, tag, record.pinNameW, hardwareId, record.driverNameW);
    else
        _snwprintf(line, size, L"%ls %ls %ls | %ls | %ls | ICON: %ls ", word, tag, record.pinNameW, hardwareId,
                   record.mmDeviceGuid, record.iconPath);
    line[size - 1] = 0;
    // Names, IDs and paths come from drivers and the registry: whatever they hold, the device
    // stays one line of the report.
    makeLineSafe(line);
}

void formatOsLine(const OsIdentification& os, bool is64BitWindows, char* line, size_t size) {
    if (!line || size == 0) return;
    _snprintf(line, size, "Operating System: %s %s Build: %i", osClassName(os.osClass),
              is64BitWindows ? "64Bits" : "32Bits", int(os.osBuild));
    line[size - 1] = 0;
}

void formatDriverLine(const DriverResult& driver, wchar_t* line) {
    const unsigned version = unsigned(driver.version);
    switch (driver.state) {
    case DRIVER_STATE_NOT_RESPONDING:
        narrowLine(line, "CHECKING %s : Driver Not Responding", driver.displayName);
        break;
    case DRIVER_STATE_WRONG_VERSION:
        narrowLine(line,
                   "CHECKING %s (version %08X): Bad version number (or the driver is not updated, or this "
                   "RududuZedadid is not updated)",
                   driver.displayName, version);
        break;
    case DRIVER_STATE_INSTALLATION_PROBLEM:
        narrowLine(line, "CHECKING %s (version %08X): Installation Problem Detected", driver.displayName, version);
        break;
    case DRIVER_STATE_CHECKED:
        wideLine(line, L"CHECKING %ls (version %08X)", driver.interfaceName, version);
        break;
    case DRIVER_STATE_NOT_RUNNING:
        narrowLine(line, "CHECKING %s : Installed but not running (problem code %u)", driver.displayName,
                   unsigned(driver.problemCode));
        break;
    case DRIVER_STATE_NOT_ANSWERING:
        narrowLine(line, "CHECKING %s : Installed but not answering", driver.displayName);
        break;
    default:
        narrowLine(line, "CHECKING %s : Not Installed", driver.displayName);
        break;
    }
}

void formatFindingLabel(const Finding& finding, wchar_t* label, size_t capacity) {
    label[0] = 0;
    const FindingDescriptor& descriptor = findingDescriptor(finding.kind);
    if (!descriptor.hasLine) return;
    const SideWords& side = sideWords(finding.side);
    if (finding.kind == FINDING_NOT_LISTED || finding.kind == FINDING_NOT_RESPONDING)
        _snwprintf(label, capacity, L"%hs %hs %hs", sourceWords(finding.source).word, side.word, descriptor.words);
    else
        _snwprintf(label, capacity, L"%hs %hs - %hs", sourceWords(finding.source).word, side.port, descriptor.words);
    label[capacity - 1] = 0;
}

bool formatFindingLine(const Finding& finding, wchar_t* line) {
    line[0] = 0;
    wchar_t label[REPORT_LINE_SIZE];
    formatFindingLabel(finding, label, REPORT_LINE_SIZE);
    if (!label[0]) return false;
    switch (finding.kind) {
    case FINDING_NOT_LISTED:
    case FINDING_NOT_RESPONDING:
        wideLine(line, L"   *ERROR %ls", label);
        return true;
    case FINDING_BAD_DRIVER_NAME:
    case FINDING_BAD_PIN_NAME:
        // The label is ASCII words: made in the code page, it is the same line.
        narrowLine(line, "   *ERROR %ls: %s", label, finding.narrowValue);
        return true;
    case FINDING_BAD_PIN_ICON:
        wideLine(line, L"   *ERROR %ls: %ls", label, finding.value);
        return true;
    default:
        wideLine(line, L"   *ERROR %ls: %ls", label, finding.otherName);
        return true;
    }
}

void appendDriverSection(const DriverResult& driver, LogBuffer* log) {
    wchar_t line[REPORT_LINE_SIZE];
    formatDriverLine(driver, line);
    appendWide(log, line);
    if (driver.state != DRIVER_STATE_CHECKED) return;
    for (int32_t i = 0; i < driver.findingCount && i < DRIVER_FINDINGS_CAPACITY; ++i)
        if (formatFindingLine(driver.findings[i], line)) appendWide(log, line);
    if (driver.errors > 0) {
        wideLine(line, L"   *ERROR TOTAL FOUND: %i", int(driver.errors));
        appendWide(log, line);
    }
}

void formatFixLine(const FixRecord& fix, FixConfirmation confirmed, wchar_t* line) {
    wchar_t words[REPORT_LINE_SIZE], before[FIX_TEXT_SIZE], after[FIX_TEXT_SIZE], outcome[REPORT_LINE_SIZE];
    wchar_t target[FIX_TARGET_SIZE];
    formatFixWords(fix, words, REPORT_LINE_SIZE);
    formatFixBefore(fix, before, FIX_TEXT_SIZE);
    formatFixAfter(fix, after, FIX_TEXT_SIZE);
    formatFixOutcome(fix, confirmed == FIX_STILL_FOUND, outcome, REPORT_LINE_SIZE);
    copyText(target, fix.target, FIX_TARGET_SIZE);
    makeLineSafe(target);
    wideLine(line, L"FIX %ls (%ls): %ls -> %ls: %ls", words, target, before, after, outcome);
}

void appendTextReport(const RunResults& results, LogBuffer* log) {
    for (int32_t i = 0; results.fixes && i < results.fixes->count && i < FIXES_CAPACITY; ++i) {
        wchar_t line[REPORT_LINE_SIZE];
        formatFixLine(results.fixes->fixes[i], results.confirmed[i], line);
        appendWide(log, line);
    }
    appendDevices(log, results.recordingDevices, DIRECTION_RECORDING);
    appendDevices(log, results.playbackDevices, DIRECTION_PLAYBACK);
    appendNarrow(log, REPORT_SEPARATOR);

    for (const DriverResult& driver : results.drivers) appendDriverSection(driver, log);

    appendNarrow(log, REPORT_SEPARATOR);
    char narrow[NARROW_LINE_UNITS];
    _snprintf(narrow, sizeof(narrow), "Initialization value: %i", int(results.initValue));
    narrow[sizeof(narrow) - 1] = 0;
    appendNarrow(log, narrow);
    formatTestDateLine(results.testDate, results.checkerVersion, narrow, sizeof(narrow));
    appendNarrow(log, narrow);
    formatOsLine(results.os, results.is64BitWindows, narrow, sizeof(narrow));
    appendNarrow(log, narrow);
    if (results.conclusion == CONCLUSION_ERRORS_DETECTED)
        _snprintf(narrow, sizeof(narrow),
                  "CONCLUSION: %i error detected (You may consider re-installing audio drivers)",
                  int(results.errorTotal));
    else
        _snprintf(narrow, sizeof(narrow), "CONCLUSION: OK (nothing bad detected)");
    narrow[sizeof(narrow) - 1] = 0;
    appendNarrow(log, narrow);
}
