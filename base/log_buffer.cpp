#include "base/log_buffer.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "base/owners.h"

void createLog(LogBuffer* log) { createLogWith(log, heapAllocate); }

void createLogWith(LogBuffer* log, void* (*allocateStorage)(size_t bytes)) {
    if (!log) return;
    memset(log, 0, sizeof(*log));
    log->capacity = LOG_CAPACITY;
    log->text = static_cast<wchar_t*>(
        allocateStorage((size_t(LOG_CAPACITY) + LOG_SPARE) * sizeof(wchar_t)));
    if (log->text) clear(log);
}

int32_t clear(LogBuffer* log) {
    if (!log) return -1;
    log->length = 0;
    log->changed = false;
    log->overflowReported = false;
    if (!log->text) return -2;
    memset(log->text, 0, (size_t(log->capacity) + LOG_SPARE) * sizeof(wchar_t));
    return 0;
}

int32_t appendWide(LogBuffer* log, const wchar_t* text) {
    if (!log) return -1;
    if (!log->text) return -2;
    if (!text) text = L"";

    const int64_t n = int64_t(wcslen(text));
    if (n > int64_t(log->capacity) - log->length) {
        if (!log->overflowReported) {
            // The notice sits behind the last whole line, in the spare area, and is not counted.
            _snwprintf(log->text + log->length, size_t(log->capacity) + LOG_SPARE - log->length,
                       L"****** Not Enough Memory in TXT Buffer (%i char / %i max)*******",
                       int(log->length), int(log->capacity));
            log->text[log->capacity + LOG_SPARE - 1] = 0;
            log->overflowReported = true;
            log->changed = true;
        }
        return -1;
    }

    memcpy(log->text + log->length, text, size_t(n + 1) * sizeof(wchar_t));
    log->length += int32_t(n);

    // The ending is decided by what the buffer now ends in, so that an empty text after a
    // complete line adds nothing and a text that brings its own LF keeps it.
    const wchar_t last = log->length >= 1 ? log->text[log->length - 1] : 0;
    const wchar_t beforeLast = log->length >= 2 ? log->text[log->length - 2] : 0;
    if (last != L'\n' && beforeLast != L'\r') {
        log->text[log->length++] = L'\r';
        log->text[log->length++] = L'\n';
    }
    log->text[log->length] = 0;
    log->changed = true;
    return 0;
}

void widenLine(const char* text, wchar_t* line) {
    memset(line, 0, NARROW_LINE_UNITS * sizeof(wchar_t));
    if (!text || !text[0]) return;
    const size_t bytes = strlen(text);
    const int limit = bytes > 0x7FFFFFFF ? 0x7FFFFFFF : int(bytes);
    if (MultiByteToWideChar(CP_ACP, 0, text, limit, line, NARROW_LINE_UNITS) == 0 &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        // Too long for one line: keep its start. No code page gives more than one UTF-16 unit
        // per byte, so 1023 bytes always fit.
        memset(line, 0, NARROW_LINE_UNITS * sizeof(wchar_t));
        MultiByteToWideChar(CP_ACP, 0, text, NARROW_LINE_UNITS - 1, line, NARROW_LINE_UNITS);
    }
    line[NARROW_LINE_UNITS - 1] = 0;
}

int32_t appendNarrow(LogBuffer* log, const char* text) {
    wchar_t line[NARROW_LINE_UNITS];
    widenLine(text, line);
    return appendWide(log, line);
}

int32_t releaseLog(LogBuffer* log) {
    if (!log) return -1;
    clear(log);
    heapRelease(log->text);
    memset(log, 0, sizeof(*log));
    return 0;
}
