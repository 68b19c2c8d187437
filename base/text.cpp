#include "base/text.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "base/owners.h"

namespace {

// The longest prefix of the narrow text, at most `limit` bytes, that ends on a character
// boundary of the ANSI code page (only double-byte code pages, and UTF-8 where Windows is set
// to it, have characters of more than one byte).
size_t narrowBoundary(const char* narrow, size_t limit) {
    if (GetACP() == CP_UTF8) {
        size_t at = strlen(narrow) < limit ? strlen(narrow) : limit;
        while (at > 0 && (BYTE(narrow[at]) & 0xC0) == 0x80) --at;  // not inside a sequence
        return at;
    }
    CPINFO info;
    if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize < 2) return limit;
    size_t at = 0;
    while (narrow[at]) {
        const size_t width = IsDBCSLeadByte(BYTE(narrow[at])) && narrow[at + 1] ? 2 : 1;
        if (at + width > limit) break;
        at += width;
    }
    return at;
}

}  // namespace

size_t wholeCharacterLength(const wchar_t* text, size_t units) {
    if (units > 0 && isHighSurrogate(text[units - 1]) && isLowSurrogate(text[units])) --units;
    return units;
}

size_t copyText(wchar_t* destination, const wchar_t* text, size_t capacity) {
    if (!destination || capacity == 0) return 0;
    if (!text) text = L"";
    size_t length = 0;
    while (length < capacity - 1 && text[length]) ++length;
    length = wholeCharacterLength(text, length);
    memmove(destination, text, length * sizeof(wchar_t));
    destination[length] = 0;
    return length;
}

void toNarrow(const wchar_t* wide, char* narrow, int size) {
    if (!narrow || size <= 0) return;
    if (!wide || !wide[0]) {
        narrow[0] = 0;
        return;
    }
    memset(narrow, 0, size_t(size));
    // The whole text first, in a scratch area large enough for any code page; then cut on a
    // character boundary. A conversion into a buffer that is too small fails.
    const int units = int(wcslen(wide));
    // UTF-8 as the ANSI code page (an option of later Windows 10) takes no flags, and maps
    // every character as it is anyway.
    const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int needed = WideCharToMultiByte(CP_ACP, flags, wide, units, NULL, 0, NULL, NULL);
    if (needed <= 0) return;
    char stack[2048];
    HeapBlock large;
    char* scratch = needed < int(sizeof(stack)) ? stack : static_cast<char*>(large.allocate(size_t(needed) + 1));
    if (!scratch) return;
    const int written = WideCharToMultiByte(CP_ACP, flags, wide, units, scratch, needed, NULL, NULL);
    scratch[written > 0 ? written : 0] = 0;
    const size_t kept = narrowBoundary(scratch, size_t(size) - 1);
    memcpy(narrow, scratch, kept);
    narrow[kept] = 0;
}

namespace {

// C0 and C1 controls (U+0085, the next-line character, among them) and the line and paragraph
// separators: each ends a line in some reader.
bool breaksLine(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029; }

}  // namespace

void makeLineSafe(wchar_t* text) {
    if (!text) return;
    for (wchar_t* p = text; *p; ++p) {
        if (breaksLine(*p)) {
            *p = L'?';
        } else if (isHighSurrogate(*p)) {
            if (isLowSurrogate(p[1])) ++p;
            else *p = L'?';
        } else if (isLowSurrogate(*p)) {
            *p = L'?';
        }
    }
}

void copyTextAndNarrow(const wchar_t* text, wchar_t* wide, char* narrow, int size) {
    copyText(wide, text, size_t(size));
    toNarrow(wide, narrow, size);
}

bool endsWithIgnoringAsciiCase(const wchar_t* text, const wchar_t* tail) {
    const size_t length = text ? wcslen(text) : 0, tailLength = wcslen(tail);
    return length >= tailLength && equalIgnoringAsciiCase(text + length - tailLength, tail);
}

void windowsMessage(uint32_t error, wchar_t* text, size_t capacity) {
    if (capacity == 0) return;
    text[0] = 0;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                   NULL, error, 0, text, DWORD(capacity), NULL);
    size_t length = n < capacity ? n : 0;
    while (length > 0 && (text[length - 1] == L' ' || text[length - 1] == L'\r' || text[length - 1] == L'\n')) --length;
    if (length == 0) _snwprintf(text, capacity, L"error %lu", (unsigned long)error);
    else text[length] = 0;
    text[capacity - 1] = 0;
    makeLineSafe(text);
}
