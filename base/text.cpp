#include "base/text.h"

#include <windows.h>
#include <string.h>

void toNarrow(const wchar_t* wide, char* narrow, int size) {
    if (!narrow || size <= 0) return;
    if (!wide || !wide[0]) {
        narrow[0] = 0;
        return;
    }
    memset(narrow, 0, size_t(size));
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, size, NULL, NULL);
    narrow[size - 1] = 0;
}
