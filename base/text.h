// Text helpers shared by every layer: copies that are cut on whole characters, the ANSI copy of
// a wide text, making outside text safe for one report line, and the ASCII-only
// case-insensitive comparison the checks and the registry store use.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The halves of a UTF-16 surrogate pair.
inline bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Copies at most capacity - 1 units of the text and a terminator, never ending the copy between
// the two halves of a surrogate pair. Returns the units copied.
size_t copyText(wchar_t* destination, const wchar_t* text, size_t capacity);
// The length a text cut to `units` units has when it must not split a surrogate pair.
size_t wholeCharacterLength(const wchar_t* text, size_t units);

// The ANSI copy of a wide text, cut to the buffer of `size` bytes on a whole character and
// always terminated. A character the code page lacks becomes its default character: it is
// never mapped to a different one that looks alike.
void toNarrow(const wchar_t* wide, char* narrow, int size);
// Both forms of a name into a record's field pair of `size` units each: the text cut on a whole
// character (copyText), then the ANSI copy of what was kept.
void copyTextAndNarrow(const wchar_t* text, wchar_t* wide, char* narrow, int size);

// Makes a text that came from outside the program (a driver, the registry) safe for one line
// of the report: control characters (U+0000 to U+001F, U+007F to U+009F), the line and paragraph
// separators (U+2028, U+2029) and lone surrogate halves become '?', so that a text can neither
// end a line nor start a new one in any reader.
void makeLineSafe(wchar_t* text);

// Windows' own message for an error code, in the user's language, as one line (without its line
// ending, made line-safe); "error N" where Windows has no message for it.
void windowsMessage(uint32_t error, wchar_t* text, size_t capacity);

// The text ends in the tail, compared as equalIgnoringAsciiCase does (a file name's extension).
bool endsWithIgnoringAsciiCase(const wchar_t* text, const wchar_t* tail);

// Equal when A-Z and a-z are taken as the same and every other character matches exactly (no
// locale), as stricmp and wcsicmp do in the default locale. A wide text may be compared with a
// narrow one of ASCII characters (a hardware ID of the catalogue).
inline uint32_t characterValue(char c) { return static_cast<unsigned char>(c); }
inline uint32_t characterValue(wchar_t c) { return static_cast<uint16_t>(c); }
template <typename CharA, typename CharB>
bool equalIgnoringAsciiCase(const CharA* a, const CharB* b) {
    for (;; ++a, ++b) {
        uint32_t ca = characterValue(*a), cb = characterValue(*b);
        if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
        if (ca != cb) return false;
        if (ca == 0) return true;
    }
}
