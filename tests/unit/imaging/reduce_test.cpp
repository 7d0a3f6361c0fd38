#include "imaging/reduce.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "reference/reduce_reference.h"
#include "support/bitmap_compare.h"

namespace {

Bitmap RandomBitmap(int width, int height, unsigned seed, int maxValue = 255) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(0, maxValue);
    Bitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.SetPixel(x, y,
                       {std::uint8_t(value(random)), std::uint8_t(value(random)),
                        std::uint8_t(value(random))});
    return b;
}

double Mean(const Bitmap& b) {
    double sum = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Stride(); ++x) sum += b.Row(y)[x];
    return sum / (static_cast<double>(b.Stride()) * b.Height());
}

// ---- Refusals, in the order they are tested, with their texts ----

struct RefusalCase {
    int sw, sh, w, h;
    int code;
    std::string text;
};

class ReduceRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(ReduceRefusal, ResultAndText) {
    const RefusalCase& c = GetParam();
    const Bitmap source(c.sw, c.sh, {9, 8, 7});
    Bitmap target(3, 3, {1, 2, 3});
    const Bitmap before = target;
    std::string text = "left over from the last call";
    EXPECT_EQ(ReduceHighQuality(source, target, c.w, c.h, text), c.code);
    EXPECT_EQ(text, c.text);
    if (c.code != 0) {
        EXPECT_EQ(target, before);  // a refusal leaves the target alone
    } else {                        // reduced, or a copy of the source at its size
        EXPECT_EQ(target.Width(), c.w);
        EXPECT_EQ(target.Height(), c.h);
    }
}

const std::string kTooLargeTail = "\n最大サイズは幅　9800px　高さ9800pxです。";

INSTANTIATE_TEST_SUITE_P(
    Table, ReduceRefusal,
    testing::Values(
        RefusalCase{3000, 2000, 3000, 1000, -10,
                    "比率が違うので高画質圧縮を中断しました。(幅 3000  高さ1000)"},
        // the ratio test comes before the enlargement test
        RefusalCase{400, 300, 400, 200, -10,
                    "比率が違うので高画質圧縮を中断しました。(幅 400  高さ200)"},
        RefusalCase{400, 300, 800, 600, -15, "拡大なので高画質圧縮を中断しました。"},
        RefusalCase{400, 300, 400, 299, -15, "拡大なので高画質圧縮を中断しました。"},
        RefusalCase{3000, 2000, 3000, 2000, 0,
                    "画像サイズが同じなので高画質圧縮を中断しました。(幅 3000  高さ2000)"},
        // equal sizes are reported before the size limits
        RefusalCase{9900, 2, 9900, 2, 0,
                    "画像サイズが同じなので高画質圧縮を中断しました。(幅 9900  高さ2)"},
        RefusalCase{
            10000, 80, 3000, 24, -12,
            "元画像が大きすぎるので高画質圧縮を中断しました。(幅 10000  高さ80)" + kTooLargeTail},
        RefusalCase{
            19602, 2, 9801, 1, -12,
            "元画像が大きすぎるので高画質圧縮を中断しました。(幅 19602  高さ2)" + kTooLargeTail},
        // too large a target is reported before the enlargement
        RefusalCase{9800, 98, 9900, 99, -13,
                    "縮小後画像が大きすぎるので高画質圧縮を中断しました。(幅 9900  高さ99)" +
                        kTooLargeTail},
        RefusalCase{5000, 500, 40, 4, -14,
                    "縮小率が大きすぎるので高画質圧縮を中断しました。最大1/100です。"},
        RefusalCase{100, 5000, 1, 40, -14,
                    "縮小率が大きすぎるので高画質圧縮を中断しました。最大1/100です。"},
        RefusalCase{5000, 500, 50, 5, 0, ""}, RefusalCase{4000, 3000, 3000, 2250, 0, ""},
        RefusalCase{300, 200, 100, 68, 0, ""},
        // empty pictures are refused instead of dividing by zero
        RefusalCase{0, 0, 10, 10, -15, "拡大なので高画質圧縮を中断しました。"},
        RefusalCase{40, 30, 0, 0, -14,
                    "縮小率が大きすぎるので高画質圧縮を中断しました。最大1/100です。"}));

// ---- Worked examples ----

TEST(ReduceHighQuality, TwoByTwoToOneWeighsByCoveredHundredths) {
    // Column and row weights 100 and 99: 10000, 9900, 9900, 9801 (total 39601).
    Bitmap source(2, 2);
    source.SetPixel(0, 0, {255, 0, 0});
    source.SetPixel(1, 0, {0, 255, 0});
    source.SetPixel(0, 1, {0, 0, 255});
    source.SetPixel(1, 1, {200, 200, 200});
    Bitmap target;
    std::string text;
    ASSERT_EQ(ReduceHighQuality(source, target, 1, 1, text), 0);
    const int total = 39601;
    EXPECT_EQ(target.Pixel(0, 0), (Rgb{std::uint8_t((255 * 10000 + 200 * 9801) / total),
                                       std::uint8_t((255 * 9900 + 200 * 9801) / total),
                                       std::uint8_t((255 * 9900 + 200 * 9801) / total)}));
}

TEST(ReduceHighQuality, RowsStartingBelowTheSourceStayBlack) {
    // 300 x 200 to 100 x 68: the factor 3 serves both axes; row 66 is clamped to
    // the source's bottom row, row 67 starts below it.
    const Rgb colour{120, 130, 140};
    Bitmap source(300, 200, colour), target;
    std::string text;
    ASSERT_EQ(ReduceHighQuality(source, target, 100, 68, text), 0);
    for (int x = 0; x < 100; ++x) {
        EXPECT_EQ(target.Pixel(x, 0), colour);
        EXPECT_EQ(target.Pixel(x, 66), colour);
        EXPECT_EQ(target.Pixel(x, 67), kBlack);
    }
}

TEST(ReduceHighQuality, NearlyBlackBecomesBlackInsideTheBorderOnly) {
    const Rgb dark{9, 0, 0};  // brightness 9 x 28 / 255 = 0
    Bitmap source(40, 40, dark), target;
    std::string text;
    ASSERT_EQ(ReduceHighQuality(source, target, 10, 10, text), 0);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool border = x == 0 || y == 0 || x == 9 || y == 9;
            EXPECT_EQ(target.Pixel(x, y), border ? dark : kBlack) << x << "," << y;
        }
}

TEST(ReduceHighQuality, ConstantPictureStaysConstant) {
    const Rgb colour{201, 17, 99};
    for (auto [sw, sh, w, h] : std::vector<std::array<int, 4>>{{4000, 3000, 3000, 2250},
                                                               {97, 31, 25, 8},
                                                               {1000, 1000, 10, 10},
                                                               {3001, 2001, 2999, 1999}}) {
        Bitmap source(sw, sh, colour), target;
        std::string text;
        ASSERT_EQ(ReduceHighQuality(source, target, w, h, text), 0) << sw << "x" << sh;
        EXPECT_EQ(target, Bitmap(w, h, colour)) << sw << "x" << sh << " to " << w << "x" << h;
    }
}

TEST(ReduceHighQuality, MeanSurvivesWithinOneLevel) {
    const Bitmap source = RandomBitmap(400, 300, 7);
    Bitmap target;
    std::string text;
    ASSERT_EQ(ReduceHighQuality(source, target, 300, 225, text), 0);
    EXPECT_NEAR(Mean(target), Mean(source), 1.0);
}

TEST(ReduceHighQuality, SameSizeGivesTheTargetTheSourceSize) {
    const Bitmap source = RandomBitmap(30, 20, 3);
    Bitmap target(5, 5);
    std::string text;
    EXPECT_EQ(ReduceHighQuality(source, target, 30, 20, text), 0);
    EXPECT_EQ(target, source);
}

TEST(ReduceHighQuality, ReducesInPlaceLikeIntoAnotherBitmap) {
    Bitmap picture = RandomBitmap(211, 97, 11);
    Bitmap separate;
    std::string text;
    ASSERT_EQ(ReduceHighQuality(picture, separate, 101, 46, text), 0);
    ASSERT_EQ(ReduceHighQuality(picture, picture, 101, 46, text), 0);
    EXPECT_EQ(picture, separate);
}

// The result goes into the target's own memory: nothing it held before, in
// a larger or a smaller picture, may show through, black rows and skipped
// columns included (300 x 200 to 100 x 68 leaves the last row black).
TEST(ReduceHighQuality, TargetMemoryIsWhollyRewritten) {
    for (const auto& [sw, sh, w, h] :
         {std::tuple{211, 97, 101, 46}, std::tuple{300, 200, 100, 68}}) {
        const Bitmap source = RandomBitmap(sw, sh, 5);
        Bitmap fresh;
        std::string text;
        ASSERT_EQ(ReduceHighQuality(source, fresh, w, h, text), 0);
        for (const auto& [tw, th] : {std::pair{500, 400}, std::pair{3, 2}}) {
            Bitmap used(tw, th, kPureRed);
            ASSERT_EQ(ReduceHighQuality(source, used, w, h, text), 0);
            EXPECT_EQ(used, fresh) << sw << "x" << sh << " into a " << tw << "x" << th;
        }
    }
}

TEST(ReduceHighQuality, YieldsBetweenBandsFromTheCallingThread) {
    const Bitmap source(2000, 1500, {50, 60, 70});
    Bitmap target;
    std::string text;
    int calls = 0;
    bool otherThread = false;
    const auto caller = std::this_thread::get_id();
    ASSERT_EQ(ReduceHighQuality(source, target, 1500, 1125, text,
                                [&] {
                                    ++calls;
                                    otherThread |= std::this_thread::get_id() != caller;
                                }),
              0);
    EXPECT_GE(calls, 2);
    EXPECT_LT(calls, 1125);  // bands, not single rows or pixels
    EXPECT_FALSE(otherThread);
}

// ---- Against the literal reference ----

struct Sizes {
    int sw, sh, w, h;
};

std::vector<Sizes> DifferentialSizes() {
    std::vector<Sizes> sizes = {{2, 2, 1, 1},
                                {3, 2, 2, 1},
                                {9, 9, 1, 1},
                                {10, 9, 9, 8},
                                {10, 10, 9, 9},
                                {17, 13, 9, 7},
                                {101, 97, 2, 2},
                                {101, 1, 100, 1},
                                {1, 101, 1, 100},
                                {211, 139, 3, 2},
                                {300, 200, 100, 68},
                                {300, 200, 100, 65},
                                {1000, 1000, 10, 10},
                                {997, 991, 10, 10},
                                {5000, 500, 50, 5},
                                {3001, 7, 2999, 6},
                                {3001, 2001, 1499, 1000},
                                {3001, 5, 31, 1},
                                {400, 300, 300, 225},
                                {631, 419, 530, 352},
                                {641, 480, 640, 479}};
    // Every target size near the proportional one for a few awkward sources,
    // refusals included (the results must agree on those too).
    for (auto [sw, sh] : std::vector<std::pair<int, int>>{{31, 17}, {97, 89}, {127, 61}})
        for (int w = 1; w <= sw; w += 3)
            for (int dh = -1; dh <= 1; ++dh) sizes.push_back({sw, sh, w, w * sh / sw + dh});
    return sizes;
}

TEST(ReduceHighQuality, MatchesTheLiteralReference) {
    unsigned seed = 1;
    int reduced = 0;
    for (const Sizes& s : DifferentialSizes()) {
        // Full range, nearly black (the black rule) and bright (the sums' range).
        for (int maxValue : {255, 12}) {
            const Bitmap source = RandomBitmap(s.sw, s.sh, seed++, maxValue);
            Bitmap fast(2, 2, kWhite), reference(2, 2, kWhite);
            std::string text;
            const int fastCode = ReduceHighQuality(source, fast, s.w, s.h, text);
            const int referenceCode = ReduceHighQualityReference(source, reference, s.w, s.h);
            ASSERT_EQ(fastCode, referenceCode)
                << s.sw << "x" << s.sh << " to " << s.w << "x" << s.h;
            ASSERT_TRUE(fast == reference)
                << s.sw << "x" << s.sh << " to " << s.w << "x" << s.h << " max " << maxValue;
            reduced += fastCode == 0 && s.w != s.sw;
        }
    }
    EXPECT_GT(reduced, 60);  // most of the table is reduced, not refused
}

TEST(ReduceHighQuality, MatchesTheReferenceOnBrightPicturesAtTheStrongestReduction) {
    // 100 x 100 source pixels per target pixel: sums beyond 32 bits.
    const Bitmap source(5000, 500, kWhite);
    Bitmap fast, reference;
    std::string text;
    ASSERT_EQ(ReduceHighQuality(source, fast, 50, 5, text), 0);
    ASSERT_EQ(ReduceHighQualityReference(source, reference, 50, 5), 0);
    EXPECT_EQ(fast, reference);
    EXPECT_EQ(fast, Bitmap(50, 5, kWhite));
}

// ---- Rows as they come -------------------------------------------------------

// The rows of `source` handed over in steps of 1 ... `ahead` rows, as a
// decoder hands them out; empty when the stream refuses the sizes.
std::string StreamedDifference(const Bitmap& source, int w, int h, int ahead, unsigned seed) {
    RowStreamReduction stream;
    Bitmap streamed(3, 3, kWhite), whole;
    if (!stream.Begin(source.Width(), source.Height(), streamed, w, h, ahead)) return "refused";
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> step(1, ahead);
    int y = 0, final = 0;
    while (y < source.Height()) {
        const int end = std::min(source.Height(), y + step(random));
        for (; y < end; ++y) std::copy_n(source.Row(y), source.Stride(), stream.SourceRow(y));
        const int now = stream.RowsWritten(y);
        if (now < final) return "final rows went back";
        final = now;
    }
    if (final != h) return "not every row final at the end";
    std::string text;
    if (ReduceHighQuality(source, whole, w, h, text) != 0) return "whole reduction refused";
    return FirstDifference(whole, streamed);
}

// Spans of one to a hundred rows (taps 2, 3, 4 and beyond), a last target
// row clamped to the source, a single target row, and the load reduction's
// own factor on a strip of a 12-megapixel photo.
TEST(RowStreamReduction, EqualsTheWholeReduction) {
    const std::vector<Sizes> sizes = {
        {10, 9, 9, 8},      {17, 13, 9, 7},       {300, 200, 100, 68},   {300, 200, 100, 65},
        {997, 991, 10, 10}, {641, 480, 640, 479}, {1001, 667, 999, 665}, {3464, 400, 3000, 346},
        {5000, 500, 50, 5}, {2, 2, 1, 1}};
    unsigned seed = 1;
    for (const Sizes& s : sizes)
        for (Picture kind : {Picture::Noise, Picture::Edges, Picture::Checker})
            for (int ahead : {1, 16}) {
                const Bitmap source = MakePicture(kind, s.sw, s.sh, seed);
                EXPECT_EQ(StreamedDifference(source, s.w, s.h, ahead, seed++), "")
                    << s.sw << "x" << s.sh << " to " << s.w << "x" << s.h << " ahead " << ahead;
            }
}

// What the whole reduction refuses or copies is not streamed: the caller
// falls back to it with the whole picture.
TEST(RowStreamReduction, RefusalsAndEqualSizesAreLeftToTheWholeReduction) {
    for (const Sizes& s : std::vector<Sizes>{{400, 300, 400, 200},
                                             {400, 300, 800, 600},
                                             {3000, 2000, 3000, 2000},
                                             {9801, 3, 3000, 1},
                                             {5000, 500, 40, 4},
                                             {0, 0, 1, 1}}) {
        RowStreamReduction stream;
        Bitmap target(2, 2, kWhite);
        const Bitmap before = target;
        EXPECT_FALSE(stream.Begin(s.sw, s.sh, target, s.w, s.h, 16)) << s.sw << "x" << s.sh;
        EXPECT_EQ(target, before);
    }
}

}  // namespace
