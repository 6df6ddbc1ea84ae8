#include "core/Ascii.h"

#include <gtest/gtest.h>

#include <utility>

using namespace ORV::Core;

TEST(Ascii, UpperFoldsOnlyTheLowerCaseLetters)
{
    EXPECT_EQ(toUpperAscii('a'), 'A');
    EXPECT_EQ(toUpperAscii('z'), 'Z');
    EXPECT_EQ(toUpperAscii('m'), 'M');
    // Capitals and the neighbours of both alphabets are left alone.
    EXPECT_EQ(toUpperAscii('A'), 'A');
    EXPECT_EQ(toUpperAscii('Z'), 'Z');
    EXPECT_EQ(toUpperAscii('@'), '@');
    EXPECT_EQ(toUpperAscii('['), '[');
    EXPECT_EQ(toUpperAscii('`'), '`');
    EXPECT_EQ(toUpperAscii('{'), '{');
    EXPECT_EQ(toUpperAscii('0'), '0');
    EXPECT_EQ(toUpperAscii('_'), '_');
    EXPECT_EQ(toUpperAscii('\0'), '\0');
}

TEST(Ascii, UpperLeavesEveryByteOutsideAsciiAsItIs)
{
    for (int byte = 0x80; byte <= 0xff; ++byte) {
        char c = char(byte);
        EXPECT_EQ(toUpperAscii(c), c) << byte;
    }
    // "é" in UTF-8 and Latin-1's "ÿ" (which a Latin-1 toupper would change).
    EXPECT_EQ(toUpperAscii(std::string_view("caf\xc3\xa9")), "CAF\xc3\xa9");
    EXPECT_EQ(toUpperAscii(std::string_view("\xff")), "\xff");
}

TEST(Ascii, UpperOfTextFoldsEveryLetter)
{
    EXPECT_EQ(toUpperAscii(std::string_view("sv_Position0")), "SV_POSITION0");
    EXPECT_EQ(toUpperAscii(std::string_view("")), "");
    EXPECT_EQ(toUpperAscii(std::string_view("a@z[A`Z{")), "A@Z[A`Z{");
}

TEST(Ascii, EqualityIgnoresOnlyLetterCase)
{
    EXPECT_TRUE(equalsIgnoringCase("VertexShader", "vertexshader"));
    EXPECT_TRUE(equalsIgnoringCase("azAZ", "AZaz"));
    EXPECT_TRUE(equalsIgnoringCase("", ""));
    EXPECT_FALSE(equalsIgnoringCase("pass", "passes"));
    EXPECT_FALSE(equalsIgnoringCase("pass", "pas"));
    // Each pair differs by 0x20, as 'a' and 'A' do, but is no letter pair.
    EXPECT_FALSE(equalsIgnoringCase("@", "`"));
    EXPECT_FALSE(equalsIgnoringCase("[", "{"));
    EXPECT_FALSE(equalsIgnoringCase("\xc0", "\xe0"));
    EXPECT_FALSE(equalsIgnoringCase("a", "b"));
}

TEST(Ascii, LowerAndUpperFoldEveryByteAsTheAlphabetSays)
{
    for (int byte = 0; byte <= 0xff; ++byte) {
        const char c = char(byte);
        const bool capital = byte >= 'A' && byte <= 'Z';
        const bool small = byte >= 'a' && byte <= 'z';
        EXPECT_EQ(toLowerAscii(c), capital ? char(byte + 32) : c) << byte;
        EXPECT_EQ(toUpperAscii(c), small ? char(byte - 32) : c) << byte;
    }
}

TEST(Ascii, LessIgnoringCaseOrdersLowerCaseFormsAndPrefixesFirst)
{
    const LessIgnoringCase less;
    // Equal but for case: neither orders before the other, at both ends of the alphabet.
    for (auto [a, b] : {std::pair{"WORLDVIEW", "worldview"}, std::pair{"Z", "z"}, std::pair{"a", "A"}}) {
        EXPECT_FALSE(less(a, b)) << a << " " << b;
        EXPECT_FALSE(less(b, a)) << a << " " << b;
    }
    EXPECT_TRUE(less("World", "worldView")); // a prefix first
    EXPECT_FALSE(less("worldView", "World"));
    EXPECT_TRUE(less("abc", "ABD"));
    // '_' (0x5F) lies between the capitals and the small letters: it orders
    // before every letter, since letters compare in their small form.
    EXPECT_TRUE(less("_", "A"));
    EXPECT_FALSE(less("Z", "_"));
    // Bytes past ASCII order after it, as unsigned bytes.
    EXPECT_TRUE(less("z", "\xC4"));
}
