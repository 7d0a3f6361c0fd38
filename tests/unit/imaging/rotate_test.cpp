#include "imaging/rotate.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "reference/rotate_reference.h"
#include "support/bitmap_compare.h"

namespace {

// ---- Against the literal version ----

struct SizeCase {
    int sw, sh, tw, th;
    const char* path;  // what the row exercises
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.sw << "x" << c.sh << " -> " << c.tw << "x" << c.th << " (" << c.path << ")";
}

class RotateMatchesReference : public testing::TestWithParam<std::tuple<SizeCase, int>> {};

TEST_P(RotateMatchesReference, BitForBit) {
    const auto& [size, angle] = GetParam();
    for (Picture kind : {Picture::Noise, Picture::Edges, Picture::Checker}) {
        const Bitmap source = MakePicture(kind, size.sw, size.sh, size.sw * 31 + angle);
        Bitmap expected(size.tw, size.th, kWhite), actual(size.tw, size.th, kWhite);
        ASSERT_EQ(RotateBitmapReference(source, expected, angle), 0);
        ASSERT_EQ(RotateBitmap(source, actual, angle), 0);
        EXPECT_EQ(FirstDifference(expected, actual), "") << "picture " << int(kind);
    }
}

INSTANTIATE_TEST_SUITE_P(
    AwkwardSizes, RotateMatchesReference,
    testing::Combine(
        testing::Values(SizeCase{1, 1, 1, 1, "one pixel, single-pixel mode"},
                        SizeCase{2, 2, 2, 2, "single-pixel mode, even halves"},
                        SizeCase{9, 9, 9, 9, "largest single-pixel target"},
                        SizeCase{10, 9, 10, 9, "smallest weighted target, by width"},
                        SizeCase{9, 10, 9, 10, "smallest weighted target, by height"},
                        SizeCase{7, 5, 9, 9, "single pixels, target larger than source"},
                        SizeCase{13, 7, 13, 13, "odd sides, square target as the view uses"},
                        SizeCase{1, 12, 12, 12, "one-column source: only the middle column weighs"},
                        SizeCase{12, 2, 12, 12, "two-row source: no interior row"},
                        SizeCase{40, 30, 20, 20, "target smaller than source"},
                        SizeCase{3001, 3, 3001, 7, "long rows, several bands of columns"},
                        SizeCase{5, 3001, 9, 3001, "single-pixel width, weighted by height"},
                        SizeCase{301, 211, 301, 301, "photo-like, many bands"}),
        testing::Values(0, 1, 900, 1799, 2700, 3599, -1, 7201)));

// ---- The worked examples ----

TEST(Rotate, QuarterTurnStandsALandscapePhotoUprightInTheMiddle) {
    const Bitmap photo = MakePicture(Picture::Noise, 3000, 2000, 5);
    Bitmap square(3000, 3000, kWhite);
    ASSERT_EQ(RotateBitmap(photo, square, 900), 0);

    // The upper right corner of the turned photo comes from around its upper
    // left corner: the turn is clockwise.
    int sum[3] = {0, 0, 0};
    const int weights[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            for (int ch = 0; ch < 3; ++ch) sum[ch] += weights[y][x] * photo.Row(y)[x * 3 + ch];
    const Rgb corner{std::uint8_t(sum[2] / 16), std::uint8_t(sum[1] / 16),
                     std::uint8_t(sum[0] / 16)};
    EXPECT_EQ(square.Pixel(2499, 0), corner);
    EXPECT_EQ(square.Pixel(2999, 0), kBlack);
    // Black margins left and right of the middle 2000 columns, none inside.
    for (int y : {0, 1500, 2999}) {
        EXPECT_EQ(square.Pixel(100, y), kBlack) << y;
        EXPECT_EQ(square.Pixel(2900, y), kBlack) << y;
    }
    int blackInside = 0;
    for (int y = 0; y < 3000; y += 7)
        for (int x = 502; x < 2498; x += 5) blackInside += square.Pixel(x, y) == kBlack;
    EXPECT_LT(blackInside, 5);  // only noise that happens to average to black
}

TEST(Rotate, NineByNineCopiesPixelsTenByNineAlreadyWeighs) {
    const Bitmap small = MakePicture(Picture::Checker, 9, 9);
    Bitmap target(9, 9, kWhite);
    ASSERT_EQ(RotateBitmap(small, target, 0), 0);
    EXPECT_EQ(FirstDifference(small, target), "");

    const Bitmap wider = MakePicture(Picture::Checker, 10, 9);
    Bitmap weighted(10, 9, kWhite);
    ASSERT_EQ(RotateBitmap(wider, weighted, 0), 0);
    EXPECT_NE(weighted.Pixel(4, 4), wider.Pixel(4, 4));
    // a white pixel of the checker with four (0, 0, 1) neighbours: 4 x 255 +
    // 4 x 2 x 0 + 4 x 1 x 255 = 2040 over 16 for red
    EXPECT_EQ(weighted.Pixel(5, 4), (Rgb{127, 127, 128}));
}

// The border weights must be left out together with their pixels: a
// constant picture stays constant wherever the source is hit.
TEST(Rotate, ConstantPictureStaysConstantIncludingItsBorders) {
    const Rgb colour{90, 150, 210};
    const Bitmap flat(31, 30, colour);
    Bitmap target(31, 30, kWhite);
    ASSERT_EQ(RotateBitmap(flat, target, 0), 0);
    EXPECT_EQ(FirstDifference(flat, target), "");
    for (int angle : {1, 450, 900, 1800, 2700}) {
        ASSERT_EQ(RotateBitmap(flat, target, angle), 0);
        int hit = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 31; ++x) {
                const Rgb c = target.Pixel(x, y);
                if (c == kBlack) continue;
                ++hit;
                ASSERT_EQ(c, colour) << angle << " at " << x << "," << y;
            }
        EXPECT_GT(hit, 500) << angle;
    }
}

// ---- Refusals ----

struct RefusalCase {
    int sw, sh, tw, th, code;
};

class RotateRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(RotateRefusal, CodeAndTargetUntouched) {
    const RefusalCase& c = GetParam();
    const Bitmap source(c.sw, c.sh, {10, 20, 30});
    Bitmap target(c.tw, c.th, {1, 2, 3});
    const Bitmap before = target;
    EXPECT_EQ(RotateBitmap(source, target, 450), c.code);
    EXPECT_EQ(RotateBitmapReference(source, target, 450), c.code);
    if (c.code != 0) {
        EXPECT_EQ(target, before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RotateRefusal,
    testing::Values(RefusalCase{1, 1, 19601, 1, kRotateTargetTooLarge},
                    RefusalCase{1, 1, 1, 19601, kRotateTargetTooLarge},
                    RefusalCase{1, 1, 19600, 1, 0},
                    // the target is tested first
                    RefusalCase{1, 9801, 19601, 1, kRotateTargetTooLarge},
                    // a source column longer than the grid's would be read out of bounds
                    RefusalCase{1, 9801, 1, 1, kRotateSourceTooLarge},
                    RefusalCase{19601, 1, 1, 1, kRotateSourceTooLarge},
                    RefusalCase{19600, 1, 3, 3, 0}, RefusalCase{1, 9800, 3, 3, 0},
                    // nothing to sample: all black, no failure
                    RefusalCase{0, 0, 12, 12, 0}));

// ---- Calls ----

TEST(Rotate, SourceMayBeTheTarget) {
    Bitmap picture = MakePicture(Picture::Ramp, 64, 64);
    Bitmap expected(64, 64);
    ASSERT_EQ(RotateBitmapReference(picture, expected, 123), 0);
    ASSERT_EQ(RotateBitmap(picture, picture, 123), 0);
    EXPECT_EQ(FirstDifference(expected, picture), "");
}

TEST(Rotate, YieldsBetweenBandsFromTheCallingThread) {
    const Bitmap photo = MakePicture(Picture::Ramp, 2000, 1500);
    Bitmap square(2000, 2000);
    std::vector<std::thread::id> callers;
    ASSERT_EQ(
        RotateBitmap(photo, square, 50, [&] { callers.push_back(std::this_thread::get_id()); }), 0);
    EXPECT_GE(callers.size(), 4u);
    for (const auto& id : callers) EXPECT_EQ(id, std::this_thread::get_id());
}

// The yield runs the window's events, which may start another rotation on
// the same thread; the outer one must still come out right.
TEST(Rotate, AnotherRotationInsideTheYieldLeavesTheOuterIntact) {
    const Bitmap photo = MakePicture(Picture::Noise, 1200, 900, 3);
    Bitmap expected(1200, 1200), actual(1200, 1200);
    ASSERT_EQ(RotateBitmapReference(photo, expected, 2703), 0);
    const Bitmap other = MakePicture(Picture::Edges, 1100, 1000, 4);
    int inner = 0;
    ASSERT_EQ(RotateBitmap(photo, actual, 2703,
                           [&] {
                               Bitmap scratch(1100, 1100);
                               inner += RotateBitmap(other, scratch, 17) == 0;
                           }),
              0);
    EXPECT_GT(inner, 0);
    EXPECT_EQ(FirstDifference(expected, actual), "");
}

}  // namespace
