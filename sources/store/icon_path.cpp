// The expansion of an endpoint's icon path: %NAME% references and the store's escapes.
#include <string.h>
#include <wchar.h>

#include "base/text.h"
#include "sources/store/endpoint_store.h"

void expandIconPath(wchar_t* text) {
    const size_t capacity = 1023;  // characters, terminator not counted
    wchar_t out[capacity + 1];
    size_t length = 0;
    const wchar_t* p = text;
    while (*p) {
        if (*p != L'%') {
            if (length >= capacity) break;
            out[length++] = *p++;
            continue;
        }
        const wchar_t next = p[1];
        if (next == 0) break;  // a final "%" is dropped
        if (next == L'%' || next == L'\'' || next == L':') {
            if (length >= capacity) break;
            out[length++] = next == L'%' ? L'%' : next == L'\'' ? L'"' : L';';
            p += 2;
            continue;
        }
        const wchar_t* close = wcschr(p + 1, L'%');
        if (!close) break;  // the text ends inside a variable name
        const size_t nameLength = size_t(close - (p + 1));
        // A name too long for any variable is dropped like an unset one.
        if (nameLength <= 511) {
            wchar_t name[512], value[512];
            memcpy(name, p + 1, nameLength * sizeof(wchar_t));
            name[nameLength] = 0;
            const DWORD n = GetEnvironmentVariableW(name, value, 512);
            if (n >= 1 && n <= 511) {
                if (length + n >= capacity + 1) break;
                memcpy(out + length, value, n * sizeof(wchar_t));
                length += n;
            }
        }
        p = close + 1;
    }
    // A cut at the capacity never leaves the first half of a character behind.
    if (length > 0 && isHighSurrogate(out[length - 1])) --length;
    out[length] = 0;
    memcpy(text, out, (length + 1) * sizeof(wchar_t));
}
