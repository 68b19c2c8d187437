#include <gtest/gtest.h>

#include <string.h>

#include "base/text.h"

namespace {

TEST(ToNarrow, CopiesCutsAndTerminates) {
    char buffer[8];
    memset(buffer, 'x', sizeof(buffer));
    toNarrow(L"abc", buffer, sizeof(buffer));
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(0, buffer[7]);  // the rest was zeroed

    toNarrow(L"abcdefghij", buffer, sizeof(buffer));
    EXPECT_STREQ("abcdefg", buffer);

    memset(buffer, 'x', sizeof(buffer));
    toNarrow(L"", buffer, sizeof(buffer));
    EXPECT_EQ(0, buffer[0]);
    EXPECT_EQ('x', buffer[1]);  // an empty text only ends the buffer's text

    toNarrow(L"caf\x00E9 \x4E2D", buffer, sizeof(buffer));
    EXPECT_STREQ("caf\xE9 ?", buffer);  // outside the ANSI code page: the default character
}

}  // namespace
