#include "core/Ascii.h"

#include <gtest/gtest.h>

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
