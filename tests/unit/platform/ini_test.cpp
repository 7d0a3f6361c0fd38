#include "platform/ini.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/temp_folder.h"

namespace {

IniFile Parsed(std::string_view text) {
    IniFile ini;
    EXPECT_TRUE(ini.Parse(text));
    return ini;
}

}  // namespace

TEST(Ini, SectionsAndKeysIgnoreCase) {
    const IniFile ini = Parsed("[PAPER]\r\nDPI=350\r\nwidthIn=12\r\n");
    EXPECT_EQ(ini.GetInt("Paper", "dpi", 0), 350);
    EXPECT_EQ(ini.GetInt("paper", "WIDTHIN", 0), 12);
    EXPECT_TRUE(ini.HasSection("pApEr"));
}

TEST(Ini, FirstSectionAndFirstKeyWin) {
    const IniFile ini = Parsed("[Paper]\ndpi=1\ndpi=2\n[Other]\nx=1\n[paper]\ndpi=3\nwidth=4\n");
    EXPECT_EQ(ini.GetInt("Paper", "dpi", 0), 1);
    // The repeated section is never read, not even for keys the first lacks.
    EXPECT_EQ(ini.GetInt("Paper", "width", -1), -1);
}

TEST(Ini, ValuesAreTrimmedAndUnquoted) {
    const IniFile ini = Parsed(
        "[S]\n"
        "  plain  =  a b  \t\n"
        "dq=\" padded \"\n"
        "sq='x'\n"
        "mixed=\"x'\n"
        "lone=\"\n"
        "empty=\"\"\n"
        "inner=a\"b\"\n"
        "twice=\"\"x\"\"\n");
    EXPECT_EQ(ini.GetString("S", "plain"), "a b");
    EXPECT_EQ(ini.GetString("S", "dq"), " padded ");
    EXPECT_EQ(ini.GetString("S", "sq"), "x");
    EXPECT_EQ(ini.GetString("S", "mixed"), "\"x'");
    EXPECT_EQ(ini.GetString("S", "lone"), "\"");
    EXPECT_EQ(ini.GetString("S", "empty", "def"), "");
    EXPECT_EQ(ini.GetString("S", "inner"), "a\"b\"");
    EXPECT_EQ(ini.GetString("S", "twice"), "\"x\"");
}

TEST(Ini, CommentsAndLinesWithoutValue) {
    const IniFile ini = Parsed(
        "dpi=7\n"  // before any section: belongs to none
        "[Paper]\n"
        "; dpi=100\n"
        "   ;width=5\n"
        "height=300 ; no end-of-line comments\n"
        "photo_ct\n"
        "text=a=b\n"
        "=orphan\n"
        "[broken\n"
        "fontsize=9\n");
    EXPECT_EQ(ini.GetInt("Paper", "dpi", -1), -1);
    EXPECT_EQ(ini.GetInt("Paper", "width", -1), -1);
    EXPECT_EQ(ini.GetString("Paper", "height"), "300 ; no end-of-line comments");
    EXPECT_EQ(ini.GetInt("Paper", "height", -1), -1);
    EXPECT_EQ(ini.GetString("Paper", "photo_ct", "none"), "none");
    EXPECT_EQ(ini.GetString("Paper", "text"), "a=b");
    // A header without its bracket starts no section.
    EXPECT_EQ(ini.GetInt("Paper", "fontsize", -1), 9);
}

TEST(Ini, LineEndsOfEveryKind) {
    const IniFile ini = Parsed("[A]\rx=1\ry=2\n\n[B]\r\nz=3");
    EXPECT_EQ(ini.GetInt("A", "x", 0), 1);
    EXPECT_EQ(ini.GetInt("A", "y", 0), 2);
    EXPECT_EQ(ini.GetInt("B", "z", 0), 3);
}

TEST(Ini, ValuesAreCutTo2047Characters) {
    const IniFile ini = Parsed("[S]\nascii=" + std::string(3000, 'a') + "\n");
    EXPECT_EQ(ini.GetString("S", "ascii"), std::string(2047, 'a'));
    std::string kana;
    for (int i = 0; i < 2100; ++i) kana += "\x83\x5C";  // ソ in CP932
    const IniFile jp = Parsed("[S]\nkana=" + kana + "\n");
    std::string expected;
    for (int i = 0; i < 2047; ++i) expected += "ソ";
    EXPECT_EQ(jp.GetString("S", "kana"), expected);
}

TEST(Ini, Cp932NamesAndValues) {
    IniFile ini;
    ASSERT_TRUE(ini.Load(TestDataPath("cp932_section_names.ini")));
    // 表 and ソ end in 0x5C and ゾ in 0x5D (']'): none of them splits a name.
    EXPECT_EQ(ini.GetString("表示", "ソフト"), "予定表～①");
    EXPECT_EQ(ini.GetString("ゾーン", "name"), "ＭＳ ゴシック");
    EXPECT_EQ(ini.GetInt("Paper", "dpi", 0), 300);
}

TEST(Ini, Utf8FileWithByteOrderMark) {
    IniFile ini;
    ASSERT_TRUE(ini.Load(TestDataPath("ini_utf8_bom_japanese.ini")));
    EXPECT_EQ(ini.GetString("写真", "名前"), "山田 太郎");
    EXPECT_EQ(ini.GetInt("Paper", "width", 0), 1051);  // first section right after the mark
}

TEST(Ini, Utf16FileWithByteOrderMark) {
    static const char text[] = "\xFF\xFE[\0P\0]\0\r\0\n\0x\0=\0\x99\x51";
    const IniFile ini = Parsed(std::string_view(text, sizeof text - 1));
    EXPECT_EQ(ini.GetString("P", "x"), "写");
}

TEST(Ini, RefusesWhatIsNoIniFile) {
    IniFile ini;
    EXPECT_FALSE(ini.Parse(""));
    EXPECT_FALSE(ini.Parse("\xEF\xBB\xBF"));
    EXPECT_FALSE(ini.Parse("\xFF\xFE"));
    EXPECT_FALSE(ini.Parse(std::string_view("[Paper]\nwidth=5\n\0", 17)));
    EXPECT_EQ(ini.GetInt("Paper", "width", -1), -1);  // nothing kept from a refused text
    TempFolder t;
    EXPECT_FALSE(ini.Load(t.Dir() + "missing.ini"));
    EXPECT_FALSE(ini.Load(TestDataPath("layout_bom_only.ini")));
    EXPECT_FALSE(ini.Load(TestDataPath("layout_binary_with_nul.ini")));
    // White space only is a text without sections: an INI file that has no keys.
    EXPECT_TRUE(ini.Parse(" \r\n"));
}

TEST(Ini, MissingAndEmptyValuesGiveTheDefaults) {
    const IniFile ini = Parsed("[S]\nempty=\nbad=x\n");
    EXPECT_EQ(ini.GetString("S", "missing", "def"), "def");
    EXPECT_EQ(ini.GetString("Nope", "empty", "def"), "def");
    EXPECT_EQ(ini.GetInt("S", "empty", 42), 42);
    EXPECT_EQ(ini.GetInt("S", "bad", 42), 42);
    EXPECT_EQ(ini.GetFloat("S", "empty"), 0.0);
    EXPECT_EQ(ini.GetFloat("S", "missing"), 0.0);
    EXPECT_EQ(ini.GetFloat("S", "bad"), 0.0);
}

struct IntCase {
    const char* text;
    std::optional<int> expected;
};

class IniInt : public testing::TestWithParam<IntCase> {};

TEST_P(IniInt, Parses) {
    EXPECT_EQ(ParseIniInt(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Ini, IniInt,
    testing::Values(IntCase{"300", 300}, IntCase{" 7 ", 7}, IntCase{"-5", -5}, IntCase{"+5", 5},
                    IntCase{"007", 7}, IntCase{"0x1F", 31}, IntCase{"0X1f", 31}, IntCase{"$1F", 31},
                    IntCase{"-$10", -16}, IntCase{"-0x10", -16}, IntCase{"$FFFFFFFF", -1},
                    IntCase{"0x80000000", INT_MIN}, IntCase{"2147483647", INT_MAX},
                    IntCase{"-2147483648", INT_MIN}, IntCase{"2147483648", std::nullopt},
                    IntCase{"0x100000000", std::nullopt}, IntCase{"12abc", std::nullopt},
                    IntCase{"abc", std::nullopt}, IntCase{"0x", std::nullopt},
                    IntCase{"$", std::nullopt}, IntCase{"", std::nullopt},
                    IntCase{"-", std::nullopt}, IntCase{"--5", std::nullopt},
                    IntCase{"+-5", std::nullopt}, IntCase{"$-5", std::nullopt},
                    IntCase{"1 2", std::nullopt}, IntCase{"1.5", std::nullopt},
                    IntCase{"0x0x5", std::nullopt}));

struct FloatCase {
    const char* text;
    std::optional<double> expected;
};

class IniFloat : public testing::TestWithParam<FloatCase> {};

TEST_P(IniFloat, Parses) {
    EXPECT_EQ(ParseIniFloat(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Ini, IniFloat,
    testing::Values(FloatCase{"90", 90.0}, FloatCase{"-12.5", -12.5}, FloatCase{"+2.5", 2.5},
                    FloatCase{".5", 0.5}, FloatCase{"1e2", 100.0}, FloatCase{" 3 ", 3.0},
                    FloatCase{"abc", std::nullopt}, FloatCase{"1,5", std::nullopt},
                    FloatCase{"inf", std::nullopt}, FloatCase{"nan", std::nullopt},
                    FloatCase{"0x10", std::nullopt}, FloatCase{"", std::nullopt},
                    FloatCase{"+-1", std::nullopt}, FloatCase{"1e999", std::nullopt},
                    FloatCase{"90deg", std::nullopt}));
