#include "sheet/caption.h"

#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "support/temp_folder.h"

namespace {

// ---- Modes and file-name captions --------------------------------------------

TEST(CaptionMode, ComparedExactly) {
    EXPECT_EQ(CaptionModeOf("FILENAMELIST"), CaptionMode::FileNameList);
    EXPECT_EQ(CaptionModeOf("FILENAME"), CaptionMode::FileName);
    for (const char* other : {"", "filename", "FileName", "filenamelist", "Name", " FILENAME",
                              "FILENAME ", "FILENAMELISTS"})
        EXPECT_EQ(CaptionModeOf(other), CaptionMode::None) << "'" << other << "'";
}

struct FileNameCase {
    const char* path;
    const char* caption;
};
class FileNameCaptionTest : public testing::TestWithParam<FileNameCase> {};
TEST_P(FileNameCaptionTest, CutBeforeTheFirstDot) {
    EXPECT_EQ(FileNameCaption(GetParam().path), GetParam().caption);
}
INSTANTIATE_TEST_SUITE_P(
    Names, FileNameCaptionTest,
    testing::Values(FileNameCase{"/p/photo.01.jpg", "photo"}, FileNameCase{"/p/.jpg", ""},
                    FileNameCase{"/p/IMG_0001.JPG", "IMG_0001"},
                    FileNameCase{"/p.d/README", ""},  // no dot in the name itself
                    FileNameCase{"/写真/山田 太郎.jpg", "山田 太郎"}, FileNameCase{"a.b", "a"}));

// ---- The name list ------------------------------------------------------------

std::vector<std::string> Fields(std::string_view line) {
    return SplitNameListLine(line);
}
using V = std::vector<std::string>;

TEST(NameListLine, SplittingRules) {
    EXPECT_EQ(Fields("img001.jpg,Class 3"), (V{"img001.jpg", "Class", "3"}));
    EXPECT_EQ(Fields("img001.jpg,\"Class 3\""), (V{"img001.jpg", "Class 3"}));
    EXPECT_EQ(Fields("  a , b\t,c"), (V{"a", "b", "c"}));  // blanks around commas
    EXPECT_EQ(Fields("a,,c"), (V{"a", "", "c"}));          // empty field
    EXPECT_EQ(Fields("a,"), (V{"a", ""}));                 // trailing comma
    EXPECT_EQ(Fields(",b"), (V{"", "b"}));                 // leading comma
    EXPECT_EQ(Fields("a , , b"), (V{"a", "", "b"}));
    EXPECT_EQ(Fields("\"a,b\",\"say \"\"hi\"\"\""), (V{"a,b", "say \"hi\""}));
    EXPECT_EQ(Fields("a,\"\""), (V{"a", ""}));  // quoted empty
    EXPECT_EQ(Fields("a,\"open to the end"), (V{"a", "open to the end"}));
    EXPECT_EQ(Fields("\x01\x1f"
                     "a\x1f"
                     "b"),
              (V{"a", "b"}));  // control bytes separate
    EXPECT_EQ(Fields("single"), (V{"single"}));
    EXPECT_EQ(Fields(""), V{});
    EXPECT_EQ(Fields("   "), V{});
}

// A double-byte character is taken whole: "ソ" (83 5C), "表" (95 5C) and "ー"
// (81 5B) keep their second bytes, and a half-width katakana byte is a plain
// character.
TEST(NameListLine, DoubleByteCharactersAreNeverSplit) {
    const std::string line = Utf8ToCp932("ソ表.jpg,ーｱ表,x");
    const V fields = SplitNameListLine(line);
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(Cp932ToUtf8(fields[0]), "ソ表.jpg");
    EXPECT_EQ(Cp932ToUtf8(fields[1]), "ーｱ表");
    // A lead byte cut off by the end of the line stays in its field.
    EXPECT_EQ(SplitNameListLine("a,b\x83"), (V{"a", "b\x83"}));
}

struct LookupCase {
    const char* name;
    const char* list;      // UTF-8, stored as CP932
    const char* fileName;  // the photo
    const char* caption;
};
class NameListLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(NameListLookup, CaptionOfThePhoto) {
    const LookupCase& c = GetParam();
    const NameList list = ParseNameList(Utf8ToCp932(c.list));
    EXPECT_EQ(CaptionFor(CaptionMode::FileNameList, std::string("/photos/") + c.fileName, list),
              c.caption);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, NameListLookup,
    testing::Values(
        LookupCase{"unquotedSpaceEndsTheField", "img001.jpg,Class 3\r\n", "img001.jpg", "Class"},
        LookupCase{"quotedKeepsTheSpace", "img001.jpg,\"Class 3\"\r\n", "img001.jpg", "Class 3"},
        LookupCase{"firstLineWins", "a.jpg,First\r\na.jpg,Second\r\n", "a.jpg", "First"},
        LookupCase{"firstLineWinsWhenEmpty", "a.jpg,\r\na.jpg,Second\r\n", "a.jpg", ""},
        LookupCase{"caseSensitive", "IMG001.JPG,Upper\n", "img001.jpg", ""},
        LookupCase{"noEntry", "b.jpg,B\n", "a.jpg", ""},
        LookupCase{"oneFieldIsNoEntry", "a.jpg\na.jpg,Later\n", "a.jpg", "Later"},
        LookupCase{"japanese", "山田.jpg,山田 太郎\r\n", "山田.jpg", "山田"},
        LookupCase{"crOnlyLines", "x.jpg,X\ra.jpg,A\r", "a.jpg", "A"},
        LookupCase{"lfOnlyLines", "x.jpg,X\na.jpg,A", "a.jpg", "A"},
        LookupCase{"blankLinesBetween", "\r\n\r\n  \r\na.jpg , A \r\n", "a.jpg", "A"},
        LookupCase{"quotedFileName", "\"my photo.jpg\",\"Mine, really\"\n", "my photo.jpg",
                   "Mine, really"}),
    [](const testing::TestParamInfo<LookupCase>& i) { return std::string(i.param.name); });

TEST(NameList, Utf8WithByteOrderMarkIsReadAsUtf8) {
    const NameList list = ParseNameList("\xEF\xBB\xBF山田.jpg,山田\n");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].fileName, "山田.jpg");
    EXPECT_EQ(list[0].caption, "山田");
}

TEST(NameList, LoadedFromThePhotosFolder) {
    TempFolder t;
    EXPECT_TRUE(LoadNameList(t.Dir()).empty());  // missing: no list, no message
    t.Write(kNameListFile, Utf8ToCp932("a.jpg,\"Ａ組 1番\"\r\n"));
    const NameList list = LoadNameList(t.Dir());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].caption, "Ａ組 1番");
    EXPECT_TRUE(LoadNameList("").empty());
}

TEST(Caption, ModesOtherThanTheListIgnoreIt) {
    const NameList list = ParseNameList("a.jpg,Listed\n");
    EXPECT_EQ(CaptionFor(CaptionMode::FileName, "/p/a.jpg", list), "a");
    EXPECT_EQ(CaptionFor(CaptionMode::None, "/p/a.jpg", list), "");
}

// ---- The 198-byte cut -----------------------------------------------------------

TEST(CutCaption, CountsShiftJisBytesAndNeverSplitsACharacter) {
    const std::string ascii(250, 'a');
    EXPECT_EQ(CutCaption(ascii), std::string(198, 'a'));
    std::string kanji;
    for (int i = 0; i < 120; ++i) kanji += "山";
    EXPECT_EQ(Utf8ToCp932(CutCaption(kanji)).size(), 198u);  // 99 characters
    // One byte, then double-byte characters: 1 + 98 x 2 = 197; the 99th
    // would need bytes 198 and 199, so it is left out whole.
    const std::string odd = CutCaption("a" + kanji);
    EXPECT_EQ(Utf8ToCp932(odd).size(), 197u);
    EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932(odd)), odd);
    // Half-width katakana count one byte each.
    std::string kana;
    for (int i = 0; i < 200; ++i) kana += "ｱ";
    EXPECT_EQ(Utf8ToCp932(CutCaption(kana)).size(), 198u);
    EXPECT_EQ(CutCaption("short"), "short");
    EXPECT_EQ(CutCaption(""), "");
}

// ---- Drawing -----------------------------------------------------------------------

constexpr Rgb kGrey{128, 128, 128};
const std::string kGothic = "ＭＳ ゴシック";

struct Ink {
    int count = 0;
    PixelRect bounds{1 << 30, 1 << 30, -(1 << 30), -(1 << 30)};
    long long sumX = 0;
};
Ink InkOf(const Bitmap& b, Rgb background) {
    Ink ink;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Pixel(x, y) != background) {
                ++ink.count;
                ink.sumX += x;
                ink.bounds.left = std::min(ink.bounds.left, x);
                ink.bounds.top = std::min(ink.bounds.top, y);
                ink.bounds.right = std::max(ink.bounds.right, x + 1);
                ink.bounds.bottom = std::max(ink.bounds.bottom, y + 1);
            }
    return ink;
}

TEST(SheetText, WindowsFaceNamesFallBackToAJapaneseGothic) {
    for (const std::string& face : {kGothic, std::string("MS UI Gothic"), std::string("")}) {
        const std::string family = CaptionFontFamily(face);
        EXPECT_NE(family.find("Gothic"), std::string::npos) << face << " -> " << family;
    }
}

TEST(SheetText, CellHeightIsTheFontSize) {
    for (int size : {8, 12, 20, 33, 40, 41, 64, 100, 150}) {
        const int cell = CaptionCellHeight(kGothic, size);
        EXPECT_LE(cell, size) << size;
        EXPECT_GE(cell, size - 1) << size;
    }
}

TEST(SheetText, WorkedBoxUnderThePlace) {
    const PixelRect box = SheetTextBox(301, 654, 100, 40);
    EXPECT_EQ(box, (PixelRect{251, 634, 351, 674}));
    EXPECT_EQ(SheetTextBox(0, 0, 7, 5), (PixelRect{-3, -2, 4, 3}));
}

// The ink stays inside the box of the worked example (y 634 to 674), centred
// on x 301, black, over an untouched (transparent) background.
TEST(SheetText, DrawnInsideItsBoxCentredOnTheAnchor) {
    Bitmap sheet(1051, 1500, kGrey);
    ASSERT_EQ(DrawSheetText(sheet, 301, 654, "IMG_0001 山田", 40, kGothic), 0);
    const Ink ink = InkOf(sheet, kGrey);
    ASSERT_GT(ink.count, 100);
    EXPECT_GE(ink.bounds.top, 634);
    EXPECT_LE(ink.bounds.bottom, 674);
    EXPECT_NEAR(double(ink.sumX) / ink.count, 301.0, 12.0);
    EXPECT_NEAR((ink.bounds.left + ink.bounds.right) / 2.0, 301.0, 4.0);
    int black = 0;
    for (int y = 634; y < 674; ++y)
        for (int x = 0; x < 1051; ++x) black += sheet.Pixel(x, y) == kBlack;
    EXPECT_GT(black, 20);
}

TEST(SheetText, NothingForEmptyTextOrSize) {
    Bitmap sheet(200, 100, kWhite);
    const Bitmap before = sheet;
    EXPECT_EQ(DrawSheetText(sheet, 100, 50, "", 40, kGothic), 0);
    EXPECT_EQ(DrawSheetText(sheet, 100, 50, "text", 0, kGothic), 0);
    EXPECT_EQ(DrawSheetText(sheet, 100, 50, "text", -40, kGothic), 0);
    EXPECT_EQ(sheet, before);
    Bitmap empty;
    EXPECT_EQ(DrawSheetText(empty, 0, 0, "text", 40, kGothic), 0);
}

// Text wider than the sheet, or anchored at its edges, is clipped.
TEST(SheetText, ClippedAtTheSheet) {
    Bitmap sheet(120, 60, kWhite);
    EXPECT_EQ(DrawSheetText(sheet, 0, 0, std::string(300, 'W'), 40, kGothic), 0);
    EXPECT_GT(InkOf(sheet, kWhite).count, 0);
    EXPECT_EQ(DrawSheetText(sheet, 119, 59, "山田 太郎", 40, kGothic), 0);
}

// The box is as high as the font size: a small size clips tall glyphs rather
// than drawing beyond it.
TEST(SheetText, NothingOutsideTheBoxForAnySize) {
    for (int size : {10, 25, 40, 80}) {
        Bitmap sheet(400, 300, kWhite);
        DrawSheetText(sheet, 200, 150, "Ågy山|", size, kGothic);
        const Ink ink = InkOf(sheet, kWhite);
        ASSERT_GT(ink.count, 0) << size;
        EXPECT_GE(ink.bounds.top, 150 - size / 2) << size;
        EXPECT_LE(ink.bounds.bottom, 150 - size / 2 + size) << size;
    }
}

}  // namespace
