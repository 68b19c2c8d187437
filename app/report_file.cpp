#include "app/report_file.h"

#include <wchar.h>

#include "app/safe_file.h"
#include "base/text.h"

namespace {

// The text goes out in pieces, so that a log of any length needs no allocation that could fail.
const int kChunkUnits = 4096;
// A UTF-16 unit never takes more than 3 bytes of UTF-8 (a pair takes 4 for its 2 units).
const int kChunkBytes = 3 * kChunkUnits;

// Copies up to kChunkUnits units of text into chunk, never splitting a surrogate pair and
// putting U+FFFD for an unpaired surrogate: XP's converter would drop or encode those where later
// versions replace them. Returns how many units of text it took; *count gets the units copied.
size_t takeChunk(const wchar_t* text, size_t remaining, wchar_t* chunk, int* count) {
    size_t taken = 0;
    int n = 0;
    while (n < kChunkUnits && taken < remaining) {
        const wchar_t c = text[taken];
        if (isHighSurrogate(c) && taken + 1 < remaining && isLowSurrogate(text[taken + 1])) {
            if (n + 2 > kChunkUnits) break;
            chunk[n++] = c;
            chunk[n++] = text[taken + 1];
            taken += 2;
            continue;
        }
        chunk[n++] = isHighSurrogate(c) || isLowSurrogate(c) ? wchar_t(0xFFFD) : c;
        ++taken;
    }
    *count = n;
    return taken;
}

// A text as UTF-8.
bool writePart(HANDLE file, const wchar_t* text) {
    wchar_t chunk[kChunkUnits];
    char bytes[kChunkBytes];
    size_t remaining = text ? wcslen(text) : 0;
    while (remaining > 0) {
        int units = 0;
        const size_t taken = takeChunk(text, remaining, chunk, &units);
        const int size = WideCharToMultiByte(CP_UTF8, 0, chunk, units, bytes, kChunkBytes, NULL, NULL);
        if (size <= 0 || !writeAll(file, bytes, DWORD(size))) return false;
        text += taken;
        remaining -= taken;
    }
    return true;
}

// The UTF-8 text with its byte-order mark.
bool writeUtf8(HANDLE file, void* context) {
    const ReportText& text = *static_cast<const ReportText*>(context);
    static const unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};
    return writeAll(file, kByteOrderMark, sizeof(kByteOrderMark)) && writePart(file, text.log) &&
           writePart(file, text.whatToDo);
}

bool putBytes(const void* bytes, size_t size, void* file) {
    return writeAll(static_cast<HANDLE>(file), bytes, DWORD(size));
}

bool writeJson(HANDLE file, void* context) {
    return writeJsonDocument(*static_cast<const JsonRuns*>(context), putBytes, file);
}

}  // namespace

SafeFileResult writeReportFile(const wchar_t* path, const ReportText& text) {
    const FileContent content = {writeUtf8, const_cast<ReportText*>(&text)};
    return replaceFileSafely(path, content);
}

SafeFileResult writeJsonReportFile(const wchar_t* path, const JsonRuns& runs) {
    const FileContent content = {writeJson, const_cast<JsonRuns*>(&runs)};
    return replaceFileSafely(path, content);
}

bool isJsonReportPath(const wchar_t* path) { return endsWithIgnoringAsciiCase(path, L".json"); }

SafeFileResult writeReport(const wchar_t* path, const ReportText& text, const JsonRuns& runs) {
    return isJsonReportPath(path) ? writeJsonReportFile(path, runs) : writeReportFile(path, text);
}
