#include <gtest/gtest.h>

#include <thread>
#include <utility>

#include "platform/jpeg.h"
#include "support/fifo_files.h"
#include "unit/jpeg/jpeg_test_util.h"

namespace {

Bitmap DecodeOk(const std::string& name) {
    Bitmap b;
    std::string error;
    EXPECT_EQ(DecodeJpegFile(DataFile(name), b, &error), 0) << name << ": " << error;
    return b;
}

// Progressive scans and restart markers only rearrange the same coefficients.
class SameCoefficients : public testing::TestWithParam<const char*> {};

TEST_P(SameCoefficients, DecodeExactlyLikeTheBaselineFile) {
    const Bitmap reference = DecodeOk("jpeg_baseline_reference.jpg");
    ASSERT_EQ(reference.Width(), 96);
    ASSERT_EQ(reference.Height(), 64);
    EXPECT_TRUE(DecodeOk(GetParam()) == reference);
}

INSTANTIATE_TEST_SUITE_P(Jpeg, SameCoefficients,
                         testing::Values("jpeg_progressive.jpg", "jpeg_restart_markers.jpg"));

TEST(JpegDecode, GreyFileGivesEqualChannelsFollowingTheLuminance) {
    const Bitmap grey = DecodeOk("jpeg_grey.jpg");
    const Bitmap colour = DecodeOk("jpeg_baseline_reference.jpg");
    ASSERT_EQ(grey.Width(), colour.Width());
    ASSERT_EQ(grey.Height(), colour.Height());
    double diff = 0;
    for (int y = 0; y < grey.Height(); ++y)
        for (int x = 0; x < grey.Width(); ++x) {
            const Rgb g = grey.Pixel(x, y), c = colour.Pixel(x, y);
            ASSERT_TRUE(g.r == g.g && g.g == g.b) << x << "," << y;
            diff += std::abs(g.r - (299 * c.r + 587 * c.g + 114 * c.b) / 1000);
        }
    EXPECT_LT(diff / (grey.Width() * grey.Height()), 3.0);
}

// Bands of 40 x 10: red, green, blue, white, black, written as Adobe YCCK.
TEST(JpegDecode, AdobeCmykGivesTheRightColours) {
    const Bitmap b = DecodeOk("jpeg_cmyk_adobe.jpg");
    ASSERT_EQ(b.Width(), 40);
    ASSERT_EQ(b.Height(), 50);
    const Rgb expected[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {0, 0, 0}};
    for (int band = 0; band < 5; ++band) {
        const Rgb got = b.Pixel(20, band * 10 + 5);
        EXPECT_NEAR(got.r, expected[band].r, 8) << "band " << band;
        EXPECT_NEAR(got.g, expected[band].g, 8) << "band " << band;
        EXPECT_NEAR(got.b, expected[band].b, 8) << "band " << band;
    }
}

struct BrokenFile {
    const char* name;
    const char* reason;
};

class BrokenJpeg : public testing::TestWithParam<BrokenFile> {};

// The rows go straight into the caller's bitmap, so a failure cannot leave
// it as it was; it must never hand back half a picture either.
TEST_P(BrokenJpeg, FailsWithItsReasonAndLeavesTheBitmapEmpty) {
    Bitmap b(300, 200, kPureRed);
    const std::size_t capacity = b.Capacity();
    std::string error;
    EXPECT_EQ(DecodeJpegFile(DataFile(GetParam().name), b, &error), -2);
    EXPECT_EQ(error, GetParam().reason);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Capacity(), capacity);  // kept for the next photo
}

INSTANTIATE_TEST_SUITE_P(
    Jpeg, BrokenJpeg,
    testing::Values(
        BrokenFile{"jpeg_zero_bytes.jpg", "ファイルが空です"},
        BrokenFile{"jpeg_truncated.jpg", "JPEGファイルが途中で切れています"},
        BrokenFile{"jpeg_png_renamed.jpg", "JPEGファイルではありません"},
        BrokenFile{"jpeg_huge_dimensions.jpg", "画像サイズが大きすぎます"},
        BrokenFile{"jpeg_garbage_after_header.jpg", "JPEGファイルのデータが壊れています"},
        // 704 valid scans of a 64 x 64 picture: every scan walks
        // the whole picture, so a large one would take minutes.
        BrokenFile{"jpeg_progressive_704_scans.jpg", "JPEGファイルのスキャン数が多すぎます"}));

TEST(JpegDecode, EveryPrefixOfAFileFailsCleanly) {
    const std::vector<std::uint8_t> bytes = ReadBytes(DataFile("jpeg_baseline_reference.jpg"));
    ASSERT_GT(bytes.size(), 100u);
    for (std::size_t n = 0; n + 2 < bytes.size(); n += 7) {
        Bitmap b;
        std::string error;
        EXPECT_EQ(DecodeJpegMemory(bytes.data(), n, b, &error), -2) << n;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(b.Empty());
    }
}

TEST(JpegDecode, NamedPipeIsNotReadAsAPhoto) {
    TempFolder t;
    const std::string fifo = MakeFifo(t, "x.jpg");
    ASSERT_FALSE(fifo.empty());
    int result = 0;
    std::string error;
    Bitmap b;
    EXPECT_TRUE(ReturnsWithoutBlocking(fifo, [&] { result = DecodeJpegFile(fifo, b, &error); }));
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, "ファイルを開けません");
}

TEST(JpegDecode, LongDecodeYieldsFromTheCallingThread) {
    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(EncodeJpegMemory(PhotoLike(4000, 3000), 90, bytes), 0);
    const std::thread::id caller = std::this_thread::get_id();
    int yields = 0, foreign = 0;
    Bitmap b;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(DecodeJpegMemory(bytes.data(), bytes.size(), b, nullptr,
                               [&] {
                                   ++yields;
                                   if (std::this_thread::get_id() != caller) ++foreign;
                               }),
              0);
    const auto took = std::chrono::steady_clock::now() - start;
    // Every 50 ms: a decode this long has yielded at least once.
    if (took > std::chrono::milliseconds(150)) {
        EXPECT_GE(yields, 1);
    }
    EXPECT_EQ(foreign, 0);
    EXPECT_EQ(b.Width(), 4000);
}

TEST(JpegDecode, MissingFileCannotBeOpened) {
    Bitmap b;
    std::string error;
    EXPECT_EQ(DecodeJpegFile(DataFile("no_such_file.jpg"), b, &error), -1);
    EXPECT_EQ(error, "ファイルを開けません");
}

// A header announcing 15000 x 15000 is within the side limit but over the
// pixel limit; it is refused before the picture would take 675 MB.
TEST(JpegDecode, TooManyPixelsRefusedFromTheHeader) {
    std::vector<std::uint8_t> bytes = ReadBytes(DataFile("jpeg_baseline_reference.jpg"));
    std::size_t sof = 0;
    while (!(bytes[sof] == 0xFF && bytes[sof + 1] == 0xC0)) ++sof;
    bytes[sof + 5] = bytes[sof + 7] = 15000 >> 8;
    bytes[sof + 6] = bytes[sof + 8] = 15000 & 0xFF;
    Bitmap b;
    std::string error;
    EXPECT_EQ(DecodeJpegMemory(bytes.data(), bytes.size(), b, &error), -2);
    EXPECT_EQ(error, "画像サイズが大きすぎます");
}

// ---- Decoding into a bitmap that already holds memory ----

// Whatever the bitmap held before (a larger picture, a smaller one, another
// shape) must not show through the new picture's pixels.
TEST(JpegDecodeInPlace, EarlierContentNeverShowsThrough) {
    const Bitmap fresh = DecodeOk("jpeg_baseline_reference.jpg");
    for (const auto& [w, h] :
         {std::pair{300, 300}, std::pair{96, 64}, std::pair{5, 7}, std::pair{64, 96}}) {
        Bitmap b(w, h, {1, 2, 3});
        ASSERT_EQ(DecodeJpegFile(DataFile("jpeg_baseline_reference.jpg"), b), 0);
        EXPECT_TRUE(b == fresh) << w << " x " << h;
    }
}

TEST(JpegDecodeInPlace, LargerMemoryIsReusedNotReplaced) {
    Bitmap b(400, 300, kWhite);
    const std::uint8_t* memory = b.Data();
    ASSERT_EQ(DecodeJpegFile(DataFile("jpeg_baseline_reference.jpg"), b), 0);
    EXPECT_EQ(b.Data(), memory);
}

// A yield after every band of about two million pixels, none after the last
// rows (the caller pumps after the decode anyway), and the same pixels.
TEST(JpegDecodeInPlace, YieldsBetweenBandsOfRows) {
    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(EncodeJpegMemory(PhotoLike(2000, 3000), 80, bytes), 0);
    Bitmap plain, pumped;
    ASSERT_EQ(DecodeJpegMemory(bytes.data(), bytes.size(), plain), 0);
    int yields = 0;
    const YieldFn yield = [&] { ++yields; };
    ASSERT_EQ(DecodeJpegMemory(bytes.data(), bytes.size(), pumped, nullptr, yield), 0);
    // Bands of 1048 rows yield after about 1048 and 2096; a slow machine adds
    // the decoder's timed yields on top.
    EXPECT_GE(yields, 2);
    EXPECT_TRUE(pumped == plain);
    std::vector<std::uint8_t> small;
    ASSERT_EQ(EncodeJpegMemory(PhotoLike(200, 100), 80, small), 0);
    yields = 0;
    ASSERT_EQ(DecodeJpegMemory(small.data(), small.size(), pumped, nullptr, yield), 0);
    EXPECT_EQ(yields, 0);
}

struct Dimensions {
    long long width, height;
    bool allowed;
};

class JpegLimits : public testing::TestWithParam<Dimensions> {};

TEST_P(JpegLimits, SideAndPixelLimits) {
    EXPECT_EQ(JpegDimensionsAllowed(GetParam().width, GetParam().height), GetParam().allowed);
}

INSTANTIATE_TEST_SUITE_P(Jpeg, JpegLimits,
                         testing::Values(Dimensions{1, 1, true}, Dimensions{20000, 10000, true},
                                         Dimensions{20000, 10001, false},
                                         Dimensions{20001, 1, false}, Dimensions{1, 20001, false},
                                         Dimensions{14142, 14142, true},
                                         Dimensions{14143, 14143, false}, Dimensions{0, 5, false}));

}  // namespace
