// Text helpers shared by every layer: the ANSI copy of a wide text and the ASCII-only
// case-insensitive comparison the checks and the registry store use.
#pragma once

#include <stddef.h>

// The ANSI copy of a wide text, cut to the buffer of `size` bytes and always terminated.
void toNarrow(const wchar_t* wide, char* narrow, int size);

// Equal when A-Z and a-z are taken as the same and every other character matches exactly (no
// locale), as stricmp and wcsicmp do in the default locale.
template <typename Char>
bool equalIgnoringAsciiCase(const Char* a, const Char* b) {
    for (;; ++a, ++b) {
        Char ca = *a, cb = *b;
        if (ca >= 'A' && ca <= 'Z') ca = Char(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = Char(cb - 'A' + 'a');
        if (ca != cb) return false;
        if (ca == 0) return true;
    }
}
