#include "layout/layout.h"

#include <gtest/gtest.h>

#include "support/fifo_files.h"
#include "support/temp_folder.h"

namespace {

bool SameSlot(const TPhotoSlot& a, const TPhotoSlot& b) {
    return a.width == b.width && a.height == b.height && a.widthIn == b.widthIn &&
           a.heightIn == b.heightIn && a.cx == b.cx && a.cy == b.cy && a.hny == b.hny &&
           a.bny == b.bny && a.r == b.r;
}

bool SameLayout(const TLayout& a, const TLayout& b) {
    const TPaperInfo &p = a.paper, &q = b.paper;
    if (p.dpi != q.dpi || p.width != q.width || p.height != q.height || p.photo_ct != q.photo_ct ||
        p.photo_ct_per_person != q.photo_ct_per_person || p.fontsize != q.fontsize ||
        p.font != q.font || p.text != q.text || p.bg_img_name != q.bg_img_name ||
        a.haarTop != b.haarTop || a.haarBottom != b.haarBottom)
        return false;
    for (int i = 0; i < kMaxPhotoSlots; ++i)
        if (!SameSlot(a.slots[i], b.slots[i])) return false;
    return true;
}

class LayoutFile : public testing::Test {
  protected:
    // Loads `text` (written as is) over the built-in layout.
    bool Load(const std::string& text) {
        layout = DefaultLayout();
        return LoadLayoutFile(folder.Write("test.ini", text), layout);
    }
    TempFolder folder;
    TLayout layout;
};

}  // namespace

TEST(DefaultLayout, LSizeWithFourPhotos) {
    const TLayout d = DefaultLayout();
    EXPECT_EQ(d.paper.dpi, 300);
    EXPECT_EQ(d.paper.width, 1051);
    EXPECT_EQ(d.paper.height, 1500);
    EXPECT_EQ(d.paper.photo_ct, 4);
    EXPECT_EQ(d.paper.photo_ct_per_person, 4);
    EXPECT_EQ(d.paper.fontsize, 40);
    EXPECT_EQ(d.paper.font, "ＭＳ ゴシック");
    EXPECT_EQ(d.paper.text, "");
    EXPECT_EQ(d.haarTop, 30);
    EXPECT_EQ(d.haarBottom, 7);
    const int centres[4][2] = {{301, 366}, {750, 366}, {301, 935}, {750, 935}};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(SameSlot(d.slots[i], TPhotoSlot{378, 496, 354, 472, centres[i][0],
                                                    centres[i][1], 59, 118, 0.0f}));
    EXPECT_TRUE(SameSlot(d.slots[4], TPhotoSlot{}));
    EXPECT_EQ(UpdateFrameLimits(d), (FrameLimits{378, 496, 1890, 2480, 378, 496}));
}

TEST(FrameLimitsOfLayout, LargestWidthAndHeightOfPlacesInUse) {
    TLayout l;
    l.paper.photo_ct = 2;
    l.slots[0].width = 300, l.slots[0].height = 500;
    l.slots[1].width = 400, l.slots[1].height = 100;
    l.slots[2].width = 999, l.slots[2].height = 999;  // beyond photo_ct
    EXPECT_EQ(UpdateFrameLimits(l), (FrameLimits{400, 500, 2000, 2500, 400, 500}));
    l.paper.photo_ct = -1;
    EXPECT_EQ(UpdateFrameLimits(l), FrameLimits{});
    l.paper.photo_ct = 1;
    l.slots[0].width = -5;  // negative sizes count as none
    EXPECT_EQ(UpdateFrameLimits(l), (FrameLimits{0, 500, 0, 2500, 0, 500}));
}

TEST_F(LayoutFile, OnlyAPhotoCountGivesZeroPlaces) {
    EXPECT_FALSE(Load("[Paper]\r\nphoto_ct=2\r\n"));
    EXPECT_EQ(layout.paper.photo_ct, 2);
    EXPECT_EQ(layout.paper.photo_ct_per_person, 2);
    EXPECT_EQ(layout.paper.width, 0);
    EXPECT_EQ(layout.paper.dpi, 300);
    EXPECT_TRUE(SameSlot(layout.slots[0], TPhotoSlot{}));
    EXPECT_TRUE(SameSlot(layout.slots[1], TPhotoSlot{}));
    EXPECT_EQ(UpdateFrameLimits(layout), FrameLimits{});
}

TEST_F(LayoutFile, EveryKeyIsAssignedWhetherPresentOrNot) {
    layout = DefaultLayout();
    layout.paper.fontsize = 99;
    layout.paper.font = "old";
    layout.paper.text = "FILENAME";
    layout.paper.bg_img_name = "bg.jpg";
    layout.haarTop = 50;
    layout.haarBottom = 50;
    ASSERT_TRUE(LoadLayoutFile(folder.Write("a.ini",
                                            "[Paper]\nwidth=10\nheight=20\nphoto_ct=1\n"
                                            "[Layout0]\nwidth=5\n"),
                               layout));
    EXPECT_EQ(layout.paper.fontsize, 40);
    EXPECT_EQ(layout.paper.font, "ＭＳ ゴシック");
    EXPECT_EQ(layout.paper.text, "");
    EXPECT_EQ(layout.paper.bg_img_name, "");
    EXPECT_EQ(layout.haarTop, 30);
    EXPECT_EQ(layout.haarBottom, 7);
    EXPECT_TRUE(SameSlot(layout.slots[0], TPhotoSlot{5, 0, 0, 0, 0, 0, 0, 0, 0.0f}));
}

TEST_F(LayoutFile, CountAbove400IsCutAfterThePerPersonDefault) {
    std::string text =
        "[Paper]\nwidth=10\nheight=10\nphoto_ct=500\n[Layout399]\nwidth=7\n"
        "[Layout400]\nwidth=9000\n";
    EXPECT_TRUE(Load(text));
    EXPECT_EQ(layout.paper.photo_ct, 400);
    EXPECT_EQ(layout.paper.photo_ct_per_person, 500);
    EXPECT_EQ(layout.slots[399].width, 7);
    EXPECT_EQ(UpdateFrameLimits(layout).baseW, 7);  // Layout400 is never read
}

TEST_F(LayoutFile, PlacesAreNumberedFromZero) {
    std::string text = "[Paper]\nwidth=1051\nheight=1500\nphoto_ct=2\n";
    for (int i = 1; i <= 2; ++i)
        text +=
            "[Layout" + std::to_string(i) + "]\nwidth=" + std::to_string(100 * i) + "\nheight=50\n";
    EXPECT_TRUE(Load(text));
    EXPECT_TRUE(SameSlot(layout.slots[0], TPhotoSlot{}));
    EXPECT_EQ(layout.slots[1].width, 100);
    EXPECT_EQ(UpdateFrameLimits(layout).baseW, 100);  // [Layout2] unread
}

TEST_F(LayoutFile, FewerPlacesKeepTheOldOnesBeyond) {
    EXPECT_TRUE(Load("[Paper]\nwidth=10\nheight=10\nphoto_ct=1\n[Layout0]\nwidth=1\nheight=1\n"));
    EXPECT_EQ(layout.slots[0].width, 1);
    for (int i = 1; i < 4; ++i) EXPECT_TRUE(SameSlot(layout.slots[i], DefaultLayout().slots[i]));
    EXPECT_EQ(UpdateFrameLimits(layout), (FrameLimits{1, 1, 5, 5, 1, 1}));
}

TEST_F(LayoutFile, NumbersInEveryForm) {
    EXPECT_TRUE(
        Load("[PAPER]\nWidth=0x41B\nHEIGHT=$5DC\nphoto_CT=0X3\ndpi=abc\nfontsize=12abc\n"
             "[layout0]\nr=90\nwidthin=\" 354 \"\n[Layout1]\nr=abc\nhny=-5\n"
             "[Layout2]\nr=-12.5\ncx='$10'\n"));
    EXPECT_EQ(layout.paper.width, 1051);
    EXPECT_EQ(layout.paper.height, 1500);
    EXPECT_EQ(layout.paper.photo_ct, 3);
    EXPECT_EQ(layout.paper.dpi, 300);  // not a number: the default
    EXPECT_EQ(layout.paper.fontsize, 40);
    EXPECT_EQ(layout.slots[0].r, 90.0f);
    EXPECT_EQ(layout.slots[0].widthIn, 354);
    EXPECT_EQ(layout.slots[1].r, 0.0f);
    EXPECT_EQ(layout.slots[1].hny, -5);
    EXPECT_EQ(layout.slots[2].r, -12.5f);
    EXPECT_EQ(layout.slots[2].cx, 16);
}

TEST_F(LayoutFile, TextIsShiftJisOrUtf8WithMark) {
    EXPECT_TRUE(
        Load("[Paper]\nwidth=1\nheight=1\nphoto_ct=1\nfont=\x82\x6C\x82\x72 \x96\xBE\x92\xA9\n"
             "text=FILENAME\nbg_img_name=\"\x94\x77\x8C\x69.jpg\"\n"));
    EXPECT_EQ(layout.paper.font, "ＭＳ 明朝");
    EXPECT_EQ(layout.paper.text, "FILENAME");
    EXPECT_EQ(layout.paper.bg_img_name, "背景.jpg");
    EXPECT_TRUE(Load("\xEF\xBB\xBF[Paper]\nwidth=1\nheight=1\nphoto_ct=1\nfont=ＭＳ 明朝\n"));
    EXPECT_EQ(layout.paper.font, "ＭＳ 明朝");
}

TEST_F(LayoutFile, ZeroOrNegativeSizesAndCountsLoadButFail) {
    EXPECT_FALSE(Load("[Paper]\nwidth=1051\nheight=1500\nphoto_ct=-3\n[Layout0]\nwidth=1\n"));
    EXPECT_EQ(layout.paper.photo_ct, -3);
    EXPECT_EQ(layout.paper.photo_ct_per_person, -3);
    EXPECT_TRUE(SameSlot(layout.slots[0], DefaultLayout().slots[0]));  // no place read
    EXPECT_EQ(UpdateFrameLimits(layout), FrameLimits{});
    EXPECT_FALSE(Load("[Paper]\nwidth=-1051\nheight=1500\nphoto_ct=1\n"));
    EXPECT_EQ(layout.paper.width, -1051);
    EXPECT_FALSE(Load("[Paper]\nwidth=1051\nheight=0\nphoto_ct=1\n"));
}

TEST_F(LayoutFile, FirstPaperSectionWins) {
    EXPECT_FALSE(Load("[Paper]\nwidth=1051\nheight=1500\n[Paper]\nphoto_ct=4\n"));
    EXPECT_EQ(layout.paper.photo_ct, 0);
}

TEST(LayoutFileRefused, NothingChangesWithoutALayoutFile) {
    TempFolder t;
    const TLayout before = DefaultLayout();
    TLayout l = before;
    EXPECT_FALSE(LoadLayoutFile("", l));
    EXPECT_FALSE(LoadLayoutFile(t.Dir() + "missing.ini", l));
    EXPECT_FALSE(LoadLayoutFile(t.Dir(), l));  // a folder
    EXPECT_FALSE(LoadLayoutFile(t.Write("empty.ini", ""), l));
    EXPECT_FALSE(LoadLayoutFile(TestDataPath("layout_bom_only.ini"), l));
    EXPECT_FALSE(LoadLayoutFile(TestDataPath("layout_binary_with_nul.ini"), l));
    EXPECT_TRUE(SameLayout(l, before));
}

namespace {

// Sizes no sheet has: the whole file is refused and the layout stays as it
// was, so that nothing is ever sized from them.
struct AbsurdCase {
    const char* name;
    std::string text;  // or, when empty, the file of tests/data named `name`
};

class AbsurdLayout : public testing::TestWithParam<AbsurdCase> {};

std::string Paper(const std::string& paper, const std::string& place) {
    return "[Paper]\n" + paper + "\nphoto_ct=1\n[Layout0]\n" + place + "\n";
}

TEST_P(AbsurdLayout, RefusedWithTheLayoutUnchanged) {
    TempFolder t;
    const AbsurdCase& c = GetParam();
    const std::string path = c.text.empty() ? TestDataPath(c.name) : t.Write("a.ini", c.text);
    TLayout layout = DefaultLayout();
    EXPECT_FALSE(LoadLayoutFile(path, layout));
    EXPECT_TRUE(SameLayout(layout, DefaultLayout()));
}

INSTANTIATE_TEST_SUITE_P(
    Layout, AbsurdLayout,
    testing::Values(
        AbsurdCase{"layout_place_larger_than_paper.ini", ""},
        AbsurdCase{"layout_place_int_max.ini", ""},
        AbsurdCase{"PlaceWiderThanPaper",
                   Paper("width=1051\nheight=1500", "width=1052\nheight=10")},
        AbsurdCase{"PlaceTallerThanPaper",
                   Paper("width=1051\nheight=1500", "width=10\nheight=1501")},
        AbsurdCase{"PaperBeyondTheLimit", Paper("width=20001\nheight=1500", "width=10\nheight=10")},
        AbsurdCase{"PlaceBeyondTheLimitOnNoPaper", Paper("width=0\nheight=0", "width=20001")},
        AbsurdCase{"FontBeyondTheLimit",
                   Paper("width=100\nheight=100\nfontsize=30000", "width=10\nheight=10")}),
    [](const testing::TestParamInfo<AbsurdCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

TEST(LayoutFileSizes, PlacesAsLargeAsTheLargestPaperLoad) {
    TempFolder t;
    TLayout layout = DefaultLayout();
    EXPECT_TRUE(LoadLayoutFile(t.Write("a.ini", Paper("width=20000\nheight=20000\nfontsize=20000",
                                                      "width=20000\nheight=20000")),
                               layout));
    EXPECT_EQ(UpdateFrameLimits(layout).baseW, 20000);
}

TEST(LayoutFileSizes, ANamedPipeIsNoLayout) {
    TempFolder t;
    const std::string fifo = MakeFifo(t, "x.ini");
    ASSERT_FALSE(fifo.empty());
    TLayout layout = DefaultLayout();
    bool ok = true;
    EXPECT_TRUE(ReturnsWithoutBlocking(fifo, [&] { ok = LoadLayoutFile(fifo, layout); }));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(SameLayout(layout, DefaultLayout()));
}

}  // namespace
