#include "imaging/photo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/jpeg.h"
#include "support/fifo_files.h"
#include "support/temp_folder.h"

namespace {

// A smooth picture: the JPEG round trip keeps it close and small.
Bitmap Gradient(int width, int height) {
    Bitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.SetPixel(
                x, y,
                {std::uint8_t(40 + 150 * x / width), std::uint8_t(60 + 120 * y / height), 150});
    return b;
}

class LoadPhotoTest : public testing::Test {
  protected:
    std::string WriteJpeg(const std::string& name, int width, int height) {
        const std::string path = folder.Dir() + name;
        EXPECT_EQ(EncodeJpegFile(path, Gradient(width, height), 90), 0);
        return path;
    }
    LoadOutcome Load(const std::string& path, bool reduceLarge = true) {
        return LoadPhoto(images, path, LoadOptions{reduceLarge},
                         [this](const std::string& text) { statusTexts.push_back(text); });
    }
    TempFolder folder;
    WorkingImages images;
    std::vector<std::string> statusTexts;
};

// ---- Sizes ----

struct SizeCase {
    int width, height;
    bool reduced;
    PixelSize size;  // after loading
};

class LoadSize : public testing::TestWithParam<SizeCase> {};

TEST_P(LoadSize, ReducesTheLongSideTo3000) {
    const SizeCase& c = GetParam();
    const bool reduced = NeedsLoadReduction(c.width, c.height, LoadOptions{});
    EXPECT_EQ(reduced, c.reduced);
    const PixelSize size =
        reduced ? LoadReducedSize(c.width, c.height) : PixelSize{c.width, c.height};
    EXPECT_EQ(size, c.size);
    EXPECT_FALSE(NeedsLoadReduction(c.width, c.height, LoadOptions{false}));
}

INSTANTIATE_TEST_SUITE_P(Table, LoadSize,
                         testing::Values(SizeCase{3000, 2000, true, {3000, 2000}},
                                         SizeCase{3001, 2001, true, {3000, 2000}},
                                         SizeCase{4000, 3000, true, {3000, 2250}},
                                         SizeCase{2000, 4500, true, {1333, 3000}},
                                         SizeCase{2999, 2999, false, {2999, 2999}},
                                         SizeCase{3000, 3000, true, {3000, 3000}},
                                         // a sliver keeps at least one pixel
                                         SizeCase{9001, 2, true, {3000, 1}}));

TEST(LowResolution, MessageCarriesTheSize) {
    EXPECT_EQ(LowResolutionMessage(640, 480),
              "画像解像度が低いので作成画像が荒れる可能性があります。\n\n"
              "横ピクセル数:640 縦ピクセル数: 480");
}

// ---- Loading files ----

TEST_F(LoadPhotoTest, LargePhotoIsReducedAndSquared) {
    const std::string path = WriteJpeg("large.jpg", 3001, 2001);
    const LoadOutcome outcome = Load(path);
    ASSERT_EQ(outcome.code, 0);
    EXPECT_TRUE(outcome.reduced);
    EXPECT_FALSE(outcome.lowResolution);
    EXPECT_EQ(images.fileName, path);
    EXPECT_EQ(statusTexts, std::vector<std::string>{"画像を縮小しています..."});
    ASSERT_EQ(images.trim.Width(), 3000);
    ASSERT_EQ(images.trim.Height(), 2000);
    EXPECT_EQ(images.temp2, images.trim);
    ASSERT_EQ(images.source.Width(), 3000);
    ASSERT_EQ(images.source.Height(), 3000);
    for (int x : {0, 1500, 2999}) {
        EXPECT_EQ(images.source.Pixel(x, 499), kBlack);
        EXPECT_EQ(images.source.Pixel(x, 500), images.trim.Pixel(x, 0));
        EXPECT_EQ(images.source.Pixel(x, 2499), images.trim.Pixel(x, 1999));
        EXPECT_EQ(images.source.Pixel(x, 2500), kBlack);
    }
}

TEST_F(LoadPhotoTest, LargePhotoIsKeptWhenTheOptionIsOff) {
    const LoadOutcome outcome = Load(WriteJpeg("large.jpg", 3001, 2001), false);
    ASSERT_EQ(outcome.code, 0);
    EXPECT_FALSE(outcome.reduced);
    EXPECT_TRUE(statusTexts.empty());
    EXPECT_EQ(images.trim.Width(), 3001);
    EXPECT_EQ(images.source.Width(), 3001);
}

TEST_F(LoadPhotoTest, RefusedReductionFallsBackToAPlainStretch) {
    // Wider than the reduction accepts: stretched to 3000 x 15 instead.
    const std::string path = WriteJpeg("wide.jpg", 10000, 50);
    Bitmap decoded;
    ASSERT_EQ(DecodeJpegFile(path, decoded), 0);
    ASSERT_EQ(Load(path).code, 0);
    Bitmap expected(3000, 15);
    StretchDraw(decoded, expected);
    EXPECT_EQ(images.trim, expected);
}

TEST_F(LoadPhotoTest, LowResolutionWarningUpTo640x480) {
    EXPECT_TRUE(Load(WriteJpeg("vga.jpg", 640, 480)).lowResolution);
    EXPECT_FALSE(Load(WriteJpeg("wider.jpg", 641, 480)).lowResolution);
}

TEST_F(LoadPhotoTest, SquarePhotoIsItsOwnSquare) {
    ASSERT_EQ(Load(WriteJpeg("square.jpg", 64, 64)).code, 0);
    EXPECT_EQ(images.source, images.trim);
}

TEST_F(LoadPhotoTest, SameFileIsRestoredFromMemory) {
    const std::string path = WriteJpeg("photo.jpg", 120, 80);
    ASSERT_EQ(Load(path).code, 0);
    const Bitmap loaded = images.trim;
    images.trim.Fill(kPureRed);    // the crop overwrote it
    images.source.Fill(kPureRed);  // a rotation replaced the square
    std::filesystem::remove(path);
    const LoadOutcome outcome = Load(path);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_TRUE(outcome.restored);
    EXPECT_FALSE(outcome.lowResolution);  // no second warning
    EXPECT_EQ(images.trim, loaded);
    EXPECT_EQ(images.source, Bitmap(120, 120, kPureRed));  // nothing else rebuilt
}

TEST_F(LoadPhotoTest, FailuresByCode) {
    ASSERT_EQ(Load(WriteJpeg("photo.jpg", 120, 80)).code, 0);
    const Bitmap previousSquare = images.source;
    EXPECT_EQ(Load("").code, 1);
    const LoadOutcome missing = Load(folder.Dir() + "missing.jpg");
    EXPECT_EQ(missing.code, -1);
    // A photo gone since it was listed says so: a batch reports it with this.
    EXPECT_EQ(missing.errorReason, "ファイルが見つかりません");
    EXPECT_EQ(images.fileName, folder.Dir() + "photo.jpg");  // untouched so far

    const LoadOutcome broken = Load(folder.Write("text.jpg", "not a picture"));
    EXPECT_EQ(broken.code, -2);
    EXPECT_FALSE(broken.errorReason.empty());
    EXPECT_EQ(images.fileName, "");
    EXPECT_EQ(images.trim, Bitmap(1, 1));
    EXPECT_EQ(images.temp2.Width(), 120);
    EXPECT_EQ(images.source, previousSquare);
}

TEST_F(LoadPhotoTest, EmptyNameNeverRestoresAnEarlierPhoto) {
    ASSERT_EQ(Load(WriteJpeg("photo.jpg", 120, 80)).code, 0);
    ASSERT_EQ(Load(folder.Write("bad.jpg", "x")).code, -2);  // file name now empty
    EXPECT_EQ(Load("").code, 1);
    EXPECT_EQ(images.trim, Bitmap(1, 1));
}

// ---- Working images reused from photo to photo ----

// The square from its definition: black, with the photo drawn centred.
Bitmap SquareByDefinition(const Bitmap& photo) {
    const int m = std::max(photo.Width(), photo.Height());
    Bitmap square(m, m, kBlack);
    Draw(photo, square, (m - photo.Width()) / 2, (m - photo.Height()) / 2);
    return square;
}

TEST(BuildSquareImage, BlackMarginsAroundThePhotoWhateverTheSquareHeldBefore) {
    for (const auto& [w, h] :
         {std::pair{7, 3}, std::pair{3, 8}, std::pair{5, 5}, std::pair{1, 2}, std::pair{2, 1}}) {
        const Bitmap photo = Gradient(w, h);
        Bitmap square(20, 20, kPureRed);  // larger and not black: nothing may show through
        BuildSquareImage(photo, square);
        EXPECT_EQ(square, SquareByDefinition(photo)) << w << " x " << h;
    }
}

// Each photo gives the same working images whether they are fresh or have
// held larger, smaller or differently shaped photos before.
TEST_F(LoadPhotoTest, EveryPhotoLoadsAsIntoFreshImages) {
    const std::vector<std::string> paths = {
        WriteJpeg("large.jpg", 3001, 2001), WriteJpeg("tall.jpg", 90, 160),
        WriteJpeg("wide.jpg", 160, 90), WriteJpeg("large_tall.jpg", 1500, 3100),
        WriteJpeg("tiny.jpg", 3, 2)};
    for (const std::string& path : paths) {
        ASSERT_EQ(Load(path).code, 0) << path;
        WorkingImages fresh;
        ASSERT_EQ(LoadPhoto(fresh, path, LoadOptions{}).code, 0);
        EXPECT_EQ(images.trim, fresh.trim) << path;
        EXPECT_EQ(images.temp2, fresh.temp2) << path;
        EXPECT_EQ(images.source, fresh.source) << path;
        EXPECT_EQ(images.source, SquareByDefinition(images.trim)) << path;
    }
}

// Once the images have held a photo of some size, the next photo of that
// size takes no new memory: its pages are already there.
TEST_F(LoadPhotoTest, PhotoAfterPhotoReusesTheSameMemory) {
    const std::string first = WriteJpeg("first.jpg", 3200, 2400);
    const std::string second = WriteJpeg("second.jpg", 2400, 3200);
    ASSERT_EQ(Load(first).code, 0);
    ASSERT_EQ(Load(second).code, 0);
    const std::uint8_t* memory[] = {images.trim.Data(), images.temp2.Data(), images.source.Data(),
                                    images.decoded.Data()};
    ASSERT_EQ(Load(first).code, 0);
    ASSERT_EQ(Load(second).code, 0);
    EXPECT_EQ(images.trim.Data(), memory[0]);
    EXPECT_EQ(images.temp2.Data(), memory[1]);
    EXPECT_EQ(images.source.Data(), memory[2]);
    EXPECT_EQ(images.decoded.Data(), memory[3]);
}

}  // namespace

namespace {

TEST_F(LoadPhotoTest, PhotoTooSmallForTheSmallestFrameIsWarned) {
    const std::string path = WriteJpeg("small.jpg", 1000, 800);
    LoadOptions options;
    options.minFrameWidth = 378;
    options.minFrameHeight = 496;
    EXPECT_FALSE(LoadPhoto(images, path, options).lowResolution);
    images.fileName.clear();
    options.minFrameHeight = 1001;  // the square is 1000 x 1000
    EXPECT_TRUE(LoadPhoto(images, path, options).lowResolution);
}

TEST_F(LoadPhotoTest, OnePixelPhotoLoadsWithTheWarning) {
    const LoadOutcome outcome = Load(TestDataPath("jpeg_1x1_tiny_photo.jpg"));
    EXPECT_EQ(outcome.code, 0);
    EXPECT_TRUE(outcome.lowResolution);
    EXPECT_EQ(images.source.Width(), 1);
}

TEST_F(LoadPhotoTest, NamedPipeGetsTheNotReadableReason) {
    const std::string fifo = MakeFifo(folder, "x.jpg");
    ASSERT_FALSE(fifo.empty());
    LoadOutcome outcome;
    EXPECT_TRUE(ReturnsWithoutBlocking(fifo, [&] { outcome = Load(fifo); }));
    EXPECT_EQ(outcome.code, -2);
    EXPECT_EQ(outcome.errorReason, "ファイルを開けません");
    EXPECT_EQ(images.fileName, "");
}

}  // namespace
