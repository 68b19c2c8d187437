// The text report of a test run, as the log view shows it and "-o" writes it: the device lists,
// one section per catalogued driver, and the closing block with the conclusion.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "base/log_buffer.h"
#include "report/run_results.h"

const size_t DEVICE_LINE_SIZE = 2048;
const size_t REPORT_LINE_SIZE = 2048;  // wide units of a driver's or a finding's line

// Appends the whole report of the results to the log.
void appendTextReport(const RunResults& results, LogBuffer* log);

// A fix's line ("FIX Enable the Halvane Vesso A device (ROOT\MEDIA\0000): problem code 22 ->
// enabled: done"), without the line ending, in REPORT_LINE_SIZE units, with what the run after
// it found of its problem. A run's fixes have a line each before its report.
void formatFixLine(const FixRecord& fix, FixConfirmation confirmed, wchar_t* line);

// One driver's section: its "CHECKING" line, then for a checked driver a line per finding and
// the total.
void appendDriverSection(const DriverResult& driver, LogBuffer* log);

// One device line; DIRECTION_RECORDING is "IN", the playback side "OUT".
void formatDeviceLine(const DeviceRecord& record, Direction direction, wchar_t* line, size_t size);
// The hardware ID as the report shows it: converted from the ANSI code page, at most 127
// characters, never read past the record's field. `text` holds 128 units.
void formatHardwareId(const DeviceRecord& record, wchar_t* text);
// "Operating System: <class> <32Bits|64Bits> Build: <build>"
void formatOsLine(const OsIdentification& os, bool is64BitWindows, char* line, size_t size);
// The release class as the OS line names it ("WIN 10"), "unknown" outside the classes.
const char* osClassName(OsClass osClass);

// A driver's "CHECKING" line and a finding's "*ERROR" line, exactly as the log holds them
// (without the line ending), in REPORT_LINE_SIZE units. A finding without a line of its own
// (the capture-only interface) gives false and an empty line.
void formatDriverLine(const DriverResult& driver, wchar_t* line);
bool formatFindingLine(const Finding& finding, wchar_t* line);
// What a finding's line says of it, without the value: "MME Input - Bad Pin Name", "WDM Playback
// Device not listed.", in `capacity` units; empty for a finding without a line.
void formatFindingLabel(const Finding& finding, wchar_t* label, size_t capacity);
