#include "sheet/marks.h"

#include <gtest/gtest.h>

#include "unit/sheet/sheet_test_util.h"

namespace {

Bitmap MarkedSheet(const TLayout& layout, MarkOptions options = {}) {
    Bitmap sheet(layout.paper.width, layout.paper.height, kWhite);
    DrawCropMarks(sheet, layout, options);
    return sheet;
}

// Place 0 of the built-in layout at 300 dpi, worked out by hand from its
// size 378 x 496, finished size 354 x 472 and centre (301, 366).
PixelSet PlaceZeroCross() {
    PixelSet s;
    AddRow(s, 366, 75, 526);     // 75 .. 527, the end left out
    AddColumn(s, 301, 69, 662);  // 69 .. 663
    return s;
}
PixelSet PlaceZeroCorners() {
    // Finished rectangle x 124 .. 478, y 130 .. 602; arms of 59.
    PixelSet s;
    AddRow(s, 130, 65, 123), AddColumn(s, 124, 72, 130);   // (65,130)-(124,130)-(124,71)
    AddRow(s, 130, 479, 537), AddColumn(s, 478, 72, 130);  // (537,130)-(478,130)-(478,71)
    AddRow(s, 602, 65, 123), AddColumn(s, 124, 602, 660);  // (65,602)-(124,602)-(124,661)
    AddRow(s, 602, 479, 537), AddColumn(s, 478, 602, 660);
    return s;
}
PixelSet DefaultScale() {
    PixelSet s;
    for (int x : {230, 348, 466, 584, 702, 820}) AddColumn(s, x, 1441, 1451);
    AddRow(s, 1452, 230, 819);
    return s;
}

PixelSet Union(std::initializer_list<PixelSet> sets) {
    PixelSet all;
    for (const PixelSet& s : sets) all.insert(s.begin(), s.end());
    return all;
}

struct OptionCase {
    const char* name;
    MarkOptions options;
    bool cross, corners, scale;
};

class MarkOptionsTest : public testing::TestWithParam<OptionCase> {};

// Each kind of mark appears exactly when its option is on, pixel for pixel.
TEST_P(MarkOptionsTest, DrawsExactlyTheChosenMarks) {
    const OptionCase& c = GetParam();
    PixelSet want;
    if (c.cross) want = Union({want, PlaceZeroCross()});
    if (c.corners) want = Union({want, PlaceZeroCorners()});
    if (c.scale) want = Union({want, DefaultScale()});
    const PixelSet got = BlackPixels(MarkedSheet(DefaultLayoutWith(1), c.options));
    EXPECT_EQ(got, want) << "first difference: " << FirstDifference(got, want);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValuesAt300Dpi, MarkOptionsTest,
    testing::Values(OptionCase{"all", {true, true, true}, true, true, true},
                    OptionCase{"none", {false, false, false}, false, false, false},
                    OptionCase{"crossOnly", {true, false, false}, true, false, false},
                    OptionCase{"cornersOnly", {false, true, false}, false, true, false},
                    OptionCase{"scaleOnly", {false, false, true}, false, false, true}),
    [](const testing::TestParamInfo<OptionCase>& i) { return std::string(i.param.name); });

TEST(Marks, MillimetresTruncate) {
    EXPECT_EQ(MillimetresToPixels(300, 5), 59);
    EXPECT_EQ(MillimetresToPixels(300, 1), 11);
    EXPECT_EQ(MillimetresToPixels(300, 10), 118);
    EXPECT_EQ(MillimetresToPixels(350, 1), 13);  // 13.78
    EXPECT_EQ(MillimetresToPixels(0, 10), 0);
}

TEST(Marks, EveryPlaceGetsItsMarks) {
    const TLayout layout = DefaultLayoutWith(4);
    const Bitmap sheet = MarkedSheet(layout);
    for (int i = 0; i < 4; ++i) {
        const TPhotoSlot& s = layout.slots[i];
        EXPECT_EQ(sheet.Pixel(s.cx - 226, s.cy), kBlack) << i;             // cross, left end
        EXPECT_EQ(sheet.Pixel(s.cx - 177 - 59, s.cy - 236), kBlack) << i;  // corner arm
    }
}

// A place near the top-left corner: the cross is clamped to the sheet, the
// corners above the sheet draw their horizontal arms on row 0 and their
// vertical arms are cut off.
TEST(Marks, ClampedAtTheSheetEdges) {
    TLayout layout = DefaultLayoutWith(1);
    layout.slots[0].cx = 20;
    layout.slots[0].cy = 100;  // top = 100 - 236 < 0
    const Bitmap cross = MarkedSheet(layout, {true, false, false});
    PixelSet want;
    AddRow(want, 100, 0, 245);    // 20 + 226 = 246
    AddColumn(want, 20, 0, 396);  // 100 + 297 = 397
    EXPECT_EQ(BlackPixels(cross), want) << FirstDifference(BlackPixels(cross), want);

    const Bitmap corners = MarkedSheet(layout, {false, true, false});
    // left = 20 - 177 = -157, right = 197, top = -136 (raised to 0), bottom =
    // 336. The left corners' outer x is raised to 0, so their horizontal arms
    // run from x 0 towards -157: only their first pixel lands on the sheet.
    PixelSet top;
    top.insert({0, 0});
    AddRow(top, 0, 198, 256);  // (256,0) -> (197,0)
    top.insert({197, 0});      // the vertical arm starts at the corner and aims up
    PixelSet bottom;
    bottom.insert({0, 336});
    AddRow(bottom, 336, 198, 256);
    AddColumn(bottom, 197, 336, 394);
    const PixelSet want2 = Union({top, bottom});
    EXPECT_EQ(BlackPixels(corners), want2) << FirstDifference(BlackPixels(corners), want2);
}

TEST(Marks, CrossClampedAtTheRightAndBottomEdges) {
    TLayout layout = DefaultLayoutWith(1);
    layout.slots[0].cx = 1040;
    layout.slots[0].cy = 1400;
    const Bitmap sheet = MarkedSheet(layout, {true, false, false});
    PixelSet want;
    AddRow(want, 1400, 814, 1050);
    AddColumn(want, 1040, 1103, 1499);
    EXPECT_EQ(BlackPixels(sheet), want) << FirstDifference(BlackPixels(sheet), want);
}

TEST(Marks, ZeroFinishedSizePutsAllCornersAtTheCentre) {
    TLayout layout = DefaultLayoutWith(1);
    layout.slots[0].widthIn = layout.slots[0].heightIn = 0;
    const Bitmap sheet = MarkedSheet(layout, {false, true, false});
    PixelSet want;
    AddRow(want, 366, 242, 300), AddRow(want, 366, 302, 360);  // arms left and right
    AddColumn(want, 301, 308, 424);                            // arms up and down, vertex
    EXPECT_EQ(BlackPixels(sheet), want) << FirstDifference(BlackPixels(sheet), want);
}

// Narrower than 5 cm: x0 is negative and the ruler is cut at both sides.
TEST(Marks, ScaleOnANarrowSheetIsCut) {
    TLayout layout = DefaultLayoutWith(0);
    layout.paper.width = 500;
    layout.paper.height = 200;
    const Bitmap sheet = MarkedSheet(layout, {false, false, true});
    PixelSet want;
    for (int x : {73, 191, 309, 427}) AddColumn(want, x, 141, 151);  // x0 = -45
    AddRow(want, 152, 0, 499);
    EXPECT_EQ(BlackPixels(sheet), want) << FirstDifference(BlackPixels(sheet), want);
}

// Values a broken layout file can hold must neither crash nor take long.
TEST(Marks, AbsurdPlacesStayCheap) {
    TLayout layout = DefaultLayoutWith(3);
    layout.slots[0] = {2000000000, 2000000000, 2000000000, 2000000000, 2000000000, -2000000000};
    layout.slots[1] = {-5, -7, -9, -11, -2000000000, 2000000000};
    layout.slots[2].cx = 0x7FFFFFFF;
    layout.paper.dpi = 0x7FFFFFFF;
    Bitmap sheet(300, 200, kWhite);
    DrawCropMarks(sheet, layout, {});
    Bitmap empty;
    DrawCropMarks(empty, layout, {});
    SUCCEED();
}

}  // namespace
