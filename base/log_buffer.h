// The test log: one fixed-capacity UTF-16 text that grows line by line during a test run and
// is shown whole in the log view afterwards.
#pragma once

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

enum {
    LOG_CAPACITY = 1048576,  // characters of text the log accepts
    LOG_SPARE = 256,         // room behind the capacity for a last line ending and the overflow notice
    NARROW_LINE_UNITS = 1024,  // a narrow line keeps at most one unit less than this
};

struct LogBuffer {
    int32_t capacity;
    wchar_t* text;  // capacity + LOG_SPARE characters; null when the allocation failed
    int32_t length;
    bool changed;
    bool overflowReported;
};

void createLog(LogBuffer* log);
// createLog with the storage taken from allocateStorage, which must hand out process-heap
// blocks or null; tests use it to make the allocation fail.
void createLogWith(LogBuffer* log, void* (*allocateStorage)(size_t bytes));
int32_t clear(LogBuffer* log);
int32_t appendWide(LogBuffer* log, const wchar_t* text);
// A line in the ANSI code page, as appendWide of widenLine would add it.
int32_t appendNarrow(LogBuffer* log, const char* text);
// The wide form of a narrow line, exactly as the log takes it: converted from the ANSI code
// page and cut to NARROW_LINE_UNITS - 1 units; line holds NARROW_LINE_UNITS units.
void widenLine(const char* text, wchar_t* line);
int32_t releaseLog(LogBuffer* log);
