#include <gtest/gtest.h>

#include <string.h>
#include <wchar.h>

#include <string>

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

// Another maker's ID written in look-alike characters must not narrow to one of ours: the code
// page's best-fit table would turn each of these into a plain letter.
TEST(ToNarrow, NeverMapsACharacterToALookAlike) {
    struct Case {
        const wchar_t* wide;
        const char* narrow;
    } cases[] = {
        {L"\xFF28\xFF41\xFF4C\xFF56\xFF41\xFF4E\xFF45VSOWDM", "???????VSOWDM"},  // fullwidth letters
        {L"H\x0101lvaneVSOWDM", "H?lvaneVSOWDM"},                            // a with macron
        {L"\x210B" L"alvaneVSOWDM", "?alvaneVSOWDM"},                        // script capital H
        {L"HalvaneVSOWDM\x212A", "HalvaneVSOWDM?"},                          // Kelvin sign
        {L"HalvaneVSOWDM", "HalvaneVSOWDM"},
    };
    for (const Case& c : cases) {
        char narrow[128];
        toNarrow(c.wide, narrow, sizeof(narrow));
        EXPECT_STREQ(c.narrow, narrow);
    }
}

TEST(CopyText, CutsOnWholeCharacters) {
    const wchar_t pair[] = L"ab\xD83D\xDE00";  // a, b and one character of two units
    wchar_t out[8];
    wmemset(out, L'x', 8);
    EXPECT_EQ(4u, copyText(out, pair, 5));
    EXPECT_EQ(std::wstring(pair), out);
    EXPECT_EQ(2u, copyText(out, pair, 4));  // the pair does not fit: neither half is kept
    EXPECT_STREQ(L"ab", out);
    EXPECT_EQ(2u, copyText(out, pair, 3));
    EXPECT_STREQ(L"ab", out);
    EXPECT_EQ(0u, copyText(out, nullptr, 8));
    EXPECT_STREQ(L"", out);
    // A lone first half at the end of the text is the text's own, and stays.
    EXPECT_EQ(3u, copyText(out, L"ab\xD83D", 8));
    EXPECT_EQ(2u, wholeCharacterLength(pair, 3));
    EXPECT_EQ(4u, wholeCharacterLength(pair, 4));
}

TEST(MakeLineSafe, ControlCharactersAndLoneHalvesBecomeQuestionMarks) {
    struct Case {
        std::wstring text, safe;
    } cases[] = {
        {L"C:\\icon.ico\r\nOUT MME Fake", L"C:\\icon.ico??OUT MME Fake"},
        {std::wstring(L"a\x1b[31mb\bc\td\x7f\x1f") , L"a?[31mb?c?d??"},
        {L"\xD83D\xDE00 ok \x00E9", L"\xD83D\xDE00 ok \x00E9"},  // whole characters stay
        {L"x\xD83Dy\xDE00z", L"x?y?z"},                             // lone halves do not
        {L"end\xD83D", L"end?"},
        // C1 controls, next line (U+0085) among them, and the line and paragraph separators end
        // a line in some readers; their neighbours do not.
        {L"a\u0080b\u0085c\u009F|\u00A0~", L"a?b?c?|\u00A0~"},
        {L"a\u2028b\u2029c\u2027\u202A", L"a?b?c\u2027\u202A"},
    };
    for (Case& c : cases) {
        std::wstring text = c.text;
        makeLineSafe(&text[0]);
        EXPECT_EQ(c.safe, text);
    }
}

}  // namespace
