#include "imaging/sharpen.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "reference/sharpen_reference.h"
#include "support/bitmap_compare.h"

namespace {

// ---- One interior pixel in a ring of equal neighbours ----

struct PixelCase {
    Rgb centre, ring, expected;
    const char* what;
};

void PrintTo(const PixelCase& c, std::ostream* os) {
    *os << c.what;
}

class SharpenPixel : public testing::TestWithParam<PixelCase> {};

TEST_P(SharpenPixel, CentreBecomes) {
    const PixelCase& c = GetParam();
    Bitmap image(3, 3, c.ring);
    image.SetPixel(1, 1, c.centre);
    ASSERT_EQ(SharpenBitmap(image), 0);
    EXPECT_EQ(image.Pixel(1, 1), c.expected);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            if (x != 1 || y != 1) {
                EXPECT_EQ(image.Pixel(x, y), c.ring) << "border " << x << "," << y;
            }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SharpenPixel,
    testing::Values(
        // (4 x 100 + 12 x 47) / 16 = 60: Y0 100, Y1 60, T = 100 - (-40 / 2) = 120
        PixelCase{{100, 100, 100}, {47, 47, 47}, {120, 120, 120}, "darker surroundings"},
        // blurred 140: T = 100 - 40 / 2 = 80
        PixelCase{{100, 100, 100}, {154, 154, 154}, {80, 80, 80}, "brighter surroundings"},
        PixelCase{{80, 80, 80}, {80, 80, 80}, {80, 80, 80}, "uniform"},
        // 151 / 255 = 0: black although the input is not
        PixelCase{{0, 0, 1}, {200, 200, 200}, {0, 0, 0}, "brightness zero"},
        PixelCase{{0, 0, 255}, {255, 255, 255}, {0, 0, 255}, "pure blue kept"},
        PixelCase{{0, 0, 254}, {255, 255, 255}, {0, 0, 187}, "nearly pure blue is filtered"},
        // T = 250 + 188 / 2 = 344: every channel clamps at 255
        PixelCase{{250, 250, 250}, {0, 0, 0}, {255, 255, 255}, "clamped high"},
        // Y1 193: T = 10 - 91 < 0
        PixelCase{{10, 10, 10}, {255, 255, 255}, {0, 0, 0}, "clamped low"},
        // hue kept: every channel scaled by T / Y0 = 38 / 51
        PixelCase{{200, 40, 30}, {20, 200, 40}, {149, 29, 22}, "colour, blue-heavy brightness"},
        // white: brightness 256 (the weights add up to 256, not 255)
        PixelCase{{255, 255, 255}, {0, 0, 0}, {255, 255, 255}, "white beside black"}));

// ---- Against the literal version ----

struct SizeCase {
    int w, h;
    const char* path;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.w << "x" << c.h << " " << c.path;
}

class SharpenMatchesReference : public testing::TestWithParam<SizeCase> {};

TEST_P(SharpenMatchesReference, BitForBit) {
    const SizeCase& size = GetParam();
    for (Picture kind : {Picture::Noise, Picture::Edges, Picture::Ramp, Picture::Checker}) {
        Bitmap expected = MakePicture(kind, size.w, size.h, size.w + 7 * size.h);
        Bitmap actual = expected;
        ASSERT_EQ(SharpenBitmapReference(expected), 0);
        ASSERT_EQ(SharpenBitmap(actual), 0);
        EXPECT_EQ(FirstDifference(expected, actual), "") << "picture " << int(kind);
    }
}

INSTANTIATE_TEST_SUITE_P(
    AwkwardSizes, SharpenMatchesReference,
    testing::Values(SizeCase{1, 1, "border only"}, SizeCase{2, 9, "border only"},
                    SizeCase{9, 2, "border only"}, SizeCase{3, 3, "one interior pixel"},
                    SizeCase{10, 9, "small"}, SizeCase{37, 23, "odd"},
                    SizeCase{3001, 4, "long rows"}, SizeCase{4, 3001, "many rows, several bands"},
                    SizeCase{401, 389, "parallel rows"}));

// Every possible divisor and numerator of the rescaling, through whole pictures:
// each row of a 258-wide picture holds one grey and the brightness sweeps all levels.
TEST(Sharpen, EveryBrightnessMatchesTheReference) {
    Bitmap expected(258, 258);
    for (int y = 0; y < 258; ++y)
        for (int x = 0; x < 258; ++x)
            expected.SetPixel(x, y,
                              {std::uint8_t((x * 7 + y) % 256), std::uint8_t(x), std::uint8_t(y)});
    Bitmap actual = expected;
    SharpenBitmapReference(expected);
    SharpenBitmap(actual);
    EXPECT_EQ(FirstDifference(expected, actual), "");
}

TEST(Sharpen, UniformPictureIsUnchanged) {
    for (Rgb colour : {Rgb{0, 0, 0}, Rgb{255, 255, 255}, Rgb{13, 200, 77}}) {
        Bitmap image(50, 40, colour);
        const Bitmap before = image;
        ASSERT_EQ(SharpenBitmap(image), 0);
        EXPECT_EQ(FirstDifference(before, image), "");
    }
}

TEST(Sharpen, YieldsBetweenBandsFromTheCallingThread) {
    Bitmap image = MakePicture(Picture::Ramp, 2000, 2000);
    std::vector<std::thread::id> callers;
    ASSERT_EQ(SharpenBitmap(image, [&] { callers.push_back(std::this_thread::get_id()); }), 0);
    EXPECT_GE(callers.size(), 3u);
    for (const auto& id : callers) EXPECT_EQ(id, std::this_thread::get_id());
}

// A sharpening started from inside the yield (the window's events) must not
// disturb the copy the outer one reads.
TEST(Sharpen, AnotherSharpeningInsideTheYieldLeavesTheOuterIntact) {
    Bitmap expected = MakePicture(Picture::Noise, 1500, 1400, 9);
    Bitmap actual = expected;
    SharpenBitmapReference(expected);
    ASSERT_EQ(SharpenBitmap(actual,
                            [] {
                                Bitmap other = MakePicture(Picture::Edges, 1600, 900, 2);
                                SharpenBitmap(other);
                            }),
              0);
    EXPECT_EQ(FirstDifference(expected, actual), "");
}

}  // namespace
