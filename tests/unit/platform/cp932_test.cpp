#include "platform/cp932.h"

#include <gtest/gtest.h>

struct RoundTrip {
    const char* name;
    std::string utf8;
    std::string cp932;
};

class Cp932RoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(Cp932RoundTrip, BothWays) {
    const RoundTrip& c = GetParam();
    std::string out;
    EXPECT_TRUE(Utf8ToCp932(c.utf8, out));
    EXPECT_EQ(out, c.cp932);
    EXPECT_TRUE(Cp932ToUtf8(c.cp932, out));
    EXPECT_EQ(out, c.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Cp932, Cp932RoundTrip,
    testing::Values(
        RoundTrip{"Ascii", "C:\\a~b", "C:\\a~b"},
        RoundTrip{"SoWithBackslashTrail", "ソ", "\x83\x5C"},
        RoundTrip{"FullWidthTilde", "～", "\x81\x60"},
        RoundTrip{"FullWidthBackslash", "＼", "\x81\x5F"},
        RoundTrip{"FullWidthMinus", "－", "\x81\x7C"}, RoundTrip{"NecCircledOne", "①", "\x87\x40"},
        RoundTrip{"NecNumero", "№", "\x87\x82"}, RoundTrip{"NecKabushiki", "㈱", "\x87\x8A"},
        RoundTrip{"NecRomanOne", "Ⅰ", "\x87\x54"}, RoundTrip{"IbmKanji", "纊", "\xFA\x5C"},
        RoundTrip{"IbmSmallRoman", "ⅰ", "\xFA\x40"}, RoundTrip{"HalfWidthKana", "ｱｲ", "\xB1\xB2"},
        RoundTrip{"Font", "ＭＳ ゴシック", "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E"},
        RoundTrip{"Empty", "", ""}),
    [](const testing::TestParamInfo<RoundTrip>& info) { return info.param.name; });

// Codes with two homes decode to one character, which encodes to its
// preferred code.
TEST(Cp932, DuplicateCodesEncodeToThePreferredOne) {
    EXPECT_EQ(Cp932ToUtf8("\xED\x40"), "纊");  // NEC-selected IBM extension
    EXPECT_EQ(Utf8ToCp932(Cp932ToUtf8("\xED\x40")), "\xFA\x5C");
    EXPECT_EQ(Cp932ToUtf8("\xEE\xF9"), "￢");
    EXPECT_EQ(Utf8ToCp932("￢"), "\x81\xCA");
    EXPECT_EQ(Utf8ToCp932(Cp932ToUtf8("\xFA\x4A")), "\x87\x54");  // IBM Ⅰ goes to NEC Ⅰ
    EXPECT_EQ(Utf8ToCp932("〜"), "\x81\x60");                     // wave dash
}

TEST(Cp932, BadBytesBecomeReplacementCharacters) {
    std::string out;
    EXPECT_FALSE(Cp932ToUtf8("a\x80z", out));
    EXPECT_EQ(out, "a\uFFFDz");
    EXPECT_FALSE(Cp932ToUtf8("\xFF\xFD", out));
    EXPECT_EQ(out, "\uFFFD\uFFFD");
    // A lead byte with a bad trail loses only itself; the trail byte is read again.
    EXPECT_FALSE(Cp932ToUtf8("\x81 x", out));
    EXPECT_EQ(out, "\uFFFD x");
    // A lead byte cut off at the end.
    EXPECT_FALSE(Cp932ToUtf8("ab\x83", out));
    EXPECT_EQ(out, "ab\uFFFD");
    EXPECT_EQ(Cp932ToUtf8("\x83"), "\uFFFD");
}

TEST(Cp932, UnmappableCharactersBecomeQuestionMarks) {
    std::string out;
    EXPECT_FALSE(Utf8ToCp932("1€", out));
    EXPECT_EQ(out, "1?");
    EXPECT_FALSE(Utf8ToCp932("😀ソ", out));  // one mark for the four-byte character
    EXPECT_EQ(out, "?\x83\x5C");
    // Malformed UTF-8: one mark per bad byte, the rest converted.
    EXPECT_FALSE(
        Utf8ToCp932("a\xFF"
                    "b",
                    out));
    EXPECT_EQ(out, "a?b");
    EXPECT_FALSE(Utf8ToCp932("\xE3\x82", out));
    EXPECT_EQ(out, "??");
}

TEST(Cp932, LongTextCrossesTheConversionBuffer) {
    std::string utf8;
    for (int i = 0; i < 5000; ++i) utf8 += "写";
    const std::string cp932 = Utf8ToCp932(utf8);
    EXPECT_EQ(cp932.size(), 10000u);
    EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
}

TEST(Cp932, Utf16BothByteOrders) {
    EXPECT_EQ(Utf16ToUtf8(std::string("[\0\x99\x51", 4), false), "[写");
    EXPECT_EQ(Utf16ToUtf8(std::string("\0[\x51\x99", 4), true), "[写");
    EXPECT_EQ(Utf16ToUtf8(std::string("a\0\0\xD8", 4), false), "a\uFFFD");  // lone surrogate
    EXPECT_EQ(Utf16ToUtf8(std::string("a\0b", 3), false), "a\uFFFD");       // odd byte count
}
