#include "app/report_file.h"

#include <wchar.h>

#include "base/owners.h"

namespace {

// The text goes out in pieces, so that a log of any length needs no allocation that could fail.
const int kChunkUnits = 4096;
// A UTF-16 unit never takes more than 3 bytes of UTF-8 (a pair takes 4 for its 2 units).
const int kChunkBytes = 3 * kChunkUnits;

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

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

bool writeAll(HANDLE file, const void* bytes, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, bytes, size, &written, NULL) && written == size;
}

// The UTF-8 text with its byte-order mark, flushed to the disk.
bool writeUtf8(HANDLE file, const wchar_t* text) {
    static const unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};
    if (!writeAll(file, kByteOrderMark, sizeof(kByteOrderMark))) return false;
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
    return FlushFileBuffers(file) != 0;
}

// The temporary file beside the report, named after it and this process, so that two checkers
// writing one report never share it: removed when the report does not take its place.
class TemporaryFile {
public:
    explicit TemporaryFile(const wchar_t* target) {
        // A name cut short could end up naming the report itself; such a path fails instead.
        const int length = _snwprintf(path_, kCapacity, L"%ls.%lu.tmp", target, GetCurrentProcessId());
        named_ = length > 0 && length < kCapacity;
        if (!named_) path_[0] = 0;
    }
    ~TemporaryFile() {
        if (!created_ || moved_) return;
        const DWORD error = GetLastError();  // the caller's reason, not the clean-up's
        DeleteFileW(path_);
        SetLastError(error);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    HANDLE create() {
        if (!named_) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return INVALID_HANDLE_VALUE;
        }
        HANDLE file = CreateFileW(path_, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        created_ = file != INVALID_HANDLE_VALUE;
        return file;
    }
    bool moveOver(const wchar_t* target) {
        moved_ = MoveFileExW(path_, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        return moved_;
    }

private:
    // Paths longer than MAX_PATH do not open on XP anyway; the rest is for the suffix.
    static const int kCapacity = MAX_PATH + 32;
    wchar_t path_[kCapacity];
    bool named_ = false;
    bool created_ = false;
    bool moved_ = false;
};

}  // namespace

int32_t writeReportFile(const wchar_t* path, const wchar_t* text) {
    if (!path || !path[0]) {
        SetLastError(ERROR_INVALID_NAME);
        return REPORT_FILE_NO_PATH;
    }
    // Windows refuses to replace a read-only file, Wine does not: asking first keeps it
    // unchanged on both.
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return REPORT_FILE_NOT_REPLACEABLE;
    }

    TemporaryFile temporary(path);
    Handle file(temporary.create());
    if (!file.valid()) return REPORT_FILE_CANNOT_CREATE;
    if (!writeUtf8(file.get(), text)) return REPORT_FILE_CANNOT_WRITE;
    if (!CloseHandle(file.release())) return REPORT_FILE_CANNOT_WRITE;
    if (!temporary.moveOver(path)) return REPORT_FILE_CANNOT_REPLACE;
    return REPORT_FILE_OK;
}
