// Every layout file that ships beside the program loads and makes sense.
#include <gtest/gtest.h>

#include <cctype>

#include "layout/layout.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

namespace {

std::vector<std::string> ShippedLayouts() {
    const std::string data = (SourceDir() / "data").string() + "/";
    std::vector<std::string> paths;
    ListLayoutFiles(data, paths);
    ListLayoutFiles(data + "Frame/", paths);
    return paths;
}

int Px(int dpi, int mm) {
    return dpi * mm * 10 / 254;
}

}  // namespace

class ShippedLayout : public testing::TestWithParam<std::string> {};

TEST_P(ShippedLayout, LoadsWithPlacesOnTheSheet) {
    TLayout l = DefaultLayout();
    ASSERT_TRUE(LoadLayoutFile(GetParam(), l));
    const TPaperInfo& p = l.paper;
    EXPECT_EQ(p.dpi, 300);
    ASSERT_LE(p.photo_ct, kMaxPhotoSlots);
    ASSERT_GT(p.photo_ct_per_person, 0);
    EXPECT_EQ(p.photo_ct % p.photo_ct_per_person, 0) << "a sheet holds whole persons";
    // The caption's font cell ends 1.5 font sizes below a photo; the scale
    // starts half a centimetre above the bottom edge.
    const int scaleTop = p.height - Px(p.dpi, 10) / 2;
    for (int i = 0; i < p.photo_ct; ++i) {
        const TPhotoSlot& s = l.slots[i];
        SCOPED_TRACE("place " + std::to_string(i));
        EXPECT_GE(s.cx - s.width / 2, 0);
        EXPECT_LE(s.cx + s.width / 2, p.width);
        EXPECT_GE(s.cy - s.height / 2, 0);
        EXPECT_LE(s.cy + s.height / 2 + p.fontsize * 3 / 2, scaleTop);
        EXPECT_TRUE(s.widthIn > 0 && s.widthIn < s.width);
        EXPECT_TRUE(s.heightIn > 0 && s.heightIn < s.height);
        EXPECT_EQ(s.r, 0.0f);
        // The head starts inside the cut photo and fills half to 85 % of it.
        const int head = s.height - s.hny - s.bny;
        EXPECT_GT(s.hny, (s.height - s.heightIn) / 2);
        EXPECT_GT(s.bny, (s.height - s.heightIn) / 2);
        EXPECT_GT(head * 100, s.heightIn * 50);
        EXPECT_LT(head * 100, s.heightIn * 85);
        EXPECT_EQ(s.width, l.slots[0].width) << "one photo size per sheet";
        EXPECT_EQ(s.height, l.slots[0].height);
    }
}

INSTANTIATE_TEST_SUITE_P(Data, ShippedLayout, testing::ValuesIn(ShippedLayouts()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             // The ASCII part of the file name, e.g. "24x30mm_L_9".
                             std::string name;
                             for (char c : LayoutDisplayName(info.param))
                                 if (std::isalnum(static_cast<unsigned char>(c)) || c == '_')
                                     name += c;
                             return name + "_" + std::to_string(info.index);
                         });

TEST(ShippedLayouts, ListedInTheProgramFolderAndFrame) {
    const std::vector<std::string> paths = ShippedLayouts();
    EXPECT_GE(paths.size(), 7u);
    int inFrame = 0;
    for (const std::string& p : paths) inFrame += p.find("/Frame/") != std::string::npos;
    EXPECT_GE(inFrame, 1);
}

TEST(ShippedLayouts, TheFourUpFileIsTheBuiltInLayout) {
    TLayout fromFile;
    ASSERT_TRUE(LoadLayoutFile((SourceDir() / "data" / "30x40mm_L判_4枚.ini").string(), fromFile));
    const TLayout builtIn = DefaultLayout();
    EXPECT_EQ(fromFile.paper.width, builtIn.paper.width);
    EXPECT_EQ(fromFile.paper.height, builtIn.paper.height);
    EXPECT_EQ(fromFile.paper.font, builtIn.paper.font);
    EXPECT_EQ(UpdateFrameLimits(fromFile), UpdateFrameLimits(builtIn));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(fromFile.slots[i].cx, builtIn.slots[i].cx);
        EXPECT_EQ(fromFile.slots[i].cy, builtIn.slots[i].cy);
        EXPECT_EQ(fromFile.slots[i].hny, builtIn.slots[i].hny);
        EXPECT_EQ(fromFile.slots[i].bny, builtIn.slots[i].bny);
        EXPECT_EQ(fromFile.slots[i].widthIn, builtIn.slots[i].widthIn);
    }
}

TEST(ShippedLayouts, WrittenInShiftJis) {
    for (const std::string& path : ShippedLayouts()) {
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(path, bytes));
        EXPECT_FALSE(bytes.starts_with("\xEF\xBB\xBF")) << path;
        EXPECT_NE(bytes.find("\r\n"), std::string::npos) << path;
        IniFile ini;
        ASSERT_TRUE(ini.Parse(bytes));
        EXPECT_EQ(ini.GetString("Paper", "font"), "ＭＳ ゴシック") << path;
    }
}
