#include "imaging/sharpen.h"

#include <gtest/gtest.h>

#ifdef _OPENMP
#include <omp.h>
#endif

#include <algorithm>
#include <iterator>
#include <random>
#include <thread>
#include <vector>

#include "reference/sharpen_reference.h"
#include "support/bitmap_compare.h"

namespace sharpen_internal {

void PrintTo(Path path, std::ostream* os) {
    *os << (path == Path::Portable ? "portable" : path == Path::Avx2 ? "AVX2" : "AVX-512");
}

}  // namespace sharpen_internal

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

// Rows are taken in bands, each cut among the workers: the rows at every cut
// must be read as they were before the neighbouring rows were overwritten,
// whatever the number of workers (more workers than rows in a band included).
class SharpenWorkers : public testing::TestWithParam<int> {};

TEST_P(SharpenWorkers, CutsBetweenBandsAndWorkersMatchTheReference) {
#ifdef _OPENMP
    const int before = omp_get_max_threads();
    omp_set_num_threads(GetParam());
#else
    if (GetParam() > 1) GTEST_SKIP() << "built without OpenMP";
#endif
    for (const SizeCase size :
         {SizeCase{3001, 700, "three bands"}, SizeCase{65536, 6, "tiny bands"}}) {
        Bitmap expected = MakePicture(Picture::Noise, size.w, size.h, 5);
        Bitmap actual = expected;
        SharpenBitmapReference(expected);
        ASSERT_EQ(SharpenBitmap(actual), 0);
        EXPECT_EQ(FirstDifference(expected, actual), "") << size.path;
    }
#ifdef _OPENMP
    omp_set_num_threads(before);
#endif
}

INSTANTIATE_TEST_SUITE_P(Counts, SharpenWorkers, testing::Values(1, 2, 3, 7));

// ---- Every instruction path the processor has ----

using sharpen_internal::Path;

// Runs each case on one path (skipped where the processor lacks it) and lifts
// the cap afterwards.
class SharpenPath : public testing::TestWithParam<Path> {
  protected:
    void SetUp() override {
        if (sharpen_internal::LimitPath(GetParam()) != GetParam())
            GTEST_SKIP() << "the processor lacks these instructions";
    }
    void TearDown() override { sharpen_internal::LimitPath(Path::Avx512); }
};

// Colours where the arithmetic has its edges: black, white (brightness 256),
// pure blue (kept), nearly pure blue, brightness 0 without being black, one
// full channel, scattered among random ones.
Bitmap AwkwardPicture(int width, int height, unsigned seed) {
    static const Rgb kColours[] = {{0, 0, 0},   {255, 255, 255}, {0, 0, 255}, {0, 0, 254},
                                   {0, 0, 1},   {1, 0, 255},     {255, 0, 0}, {0, 255, 0},
                                   {0, 1, 255}, {254, 254, 254}};
    Bitmap picture = MakePicture(Picture::Noise, width, height, seed);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (random() % 3 == 0) picture.SetPixel(x, y, kColours[random() % std::size(kColours)]);
    return picture;
}

// Widths on both sides of one and two vector steps (32 pixels of interior) and
// of the 16- and 32-pixel lanes, so that every tail and the overlapping last
// step are met.
TEST_P(SharpenPath, WidthsAroundTheVectorStepsMatchTheReference) {
    for (int width : {3, 17, 18, 31, 33, 34, 35, 36, 49, 50, 65, 66, 67, 97, 98, 130, 257}) {
        for (unsigned seed : {1u, 2u}) {
            Bitmap expected = AwkwardPicture(width, 5, seed * 31 + width);
            Bitmap actual = expected;
            SharpenBitmapReference(expected);
            ASSERT_EQ(SharpenBitmap(actual), 0);
            ASSERT_EQ(FirstDifference(expected, actual), "") << "width " << width;
        }
        for (Picture kind : {Picture::Edges, Picture::Ramp, Picture::Checker}) {
            Bitmap expected = MakePicture(kind, width, 4);
            Bitmap actual = expected;
            SharpenBitmapReference(expected);
            ASSERT_EQ(SharpenBitmap(actual), 0);
            ASSERT_EQ(FirstDifference(expected, actual), "")
                << "width " << width << " picture " << int(kind);
        }
    }
}

// Each row of a 258-wide picture holds one grey and the brightness sweeps all
// levels: every divisor meets every sharpened brightness.
TEST_P(SharpenPath, EveryBrightnessMatchesTheReference) {
    Bitmap expected(258, 258);
    for (int y = 0; y < 258; ++y)
        for (int x = 0; x < 258; ++x)
            expected.SetPixel(x, y,
                              {std::uint8_t((x * 7 + y) % 256), std::uint8_t(x), std::uint8_t(y)});
    Bitmap actual = expected;
    SharpenBitmapReference(expected);
    ASSERT_EQ(SharpenBitmap(actual), 0);
    EXPECT_EQ(FirstDifference(expected, actual), "");
}

// The division against exact integer division over its whole domain: every
// channel value, every brightness as divisor and every sharpened brightness
// the filter can reach for it (0 ... divisor + divisor / 2).
TEST_P(SharpenPath, RescalingIsExactOverItsWholeDomain) {
    std::vector<std::uint16_t> c, t, divisor;
    std::vector<std::uint8_t> out, exact;
    for (int d = 1; d <= 256; ++d) {
        const std::size_t count = std::size_t(d + d / 2 + 1) * 256;
        c.resize(count);
        t.resize(count);
        exact.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            c[i] = std::uint16_t(i % 256);
            t[i] = std::uint16_t(i / 256);
            exact[i] = std::uint8_t(std::min(255, c[i] * t[i] / d));
        }
        divisor.assign(count, std::uint16_t(d));
        out.assign(count, 0);
        sharpen_internal::Rescale(c.data(), t.data(), divisor.data(), int(count), out.data());
        const auto wrong = std::mismatch(exact.begin(), exact.end(), out.begin()).first;
        if (wrong != exact.end()) {
            const std::size_t i = std::size_t(wrong - exact.begin());
            FAIL() << "c " << c[i] << " t " << t[i] << " divisor " << d << ": " << int(out[i])
                   << ", exact " << int(exact[i]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, SharpenPath,
                         testing::Values(Path::Portable, Path::Avx2, Path::Avx512),
                         [](const testing::TestParamInfo<Path>& info) {
                             return info.param == Path::Portable ? "Portable"
                                    : info.param == Path::Avx2   ? "Avx2"
                                                                 : "Avx512";
                         });

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
