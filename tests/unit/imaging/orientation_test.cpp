#include "imaging/orientation.h"

#include <gtest/gtest.h>

#include <fstream>

#include "imaging/photo.h"
#include "support/exif_jpeg.h"
#include "support/temp_folder.h"

namespace {

// Where the stored top-left and top-right pixels of a w x h picture end up.
struct OrientationCase {
    int orientation;
    bool swapped;                                  // the result is h x w
    int topLeftX, topLeftY, topRightX, topRightY;  // -1 = last column / row
};

void PrintTo(const OrientationCase& c, std::ostream* os) {
    *os << "orientation " << c.orientation;
}

class Orientation : public testing::TestWithParam<OrientationCase> {};

TEST_P(Orientation, CornersLandWhereTheCameraHadThem) {
    const OrientationCase& c = GetParam();
    Bitmap photo(5, 3, kBlack);
    photo.SetPixel(0, 0, kPureRed);
    photo.SetPixel(4, 0, kPureBlue);
    ApplyExifOrientation(photo, c.orientation);
    ASSERT_EQ(photo.Width(), c.swapped ? 3 : 5);
    ASSERT_EQ(photo.Height(), c.swapped ? 5 : 3);
    const auto at = [&](int v, int last) { return v < 0 ? last : v; };
    EXPECT_EQ(photo.Pixel(at(c.topLeftX, photo.Width() - 1), at(c.topLeftY, photo.Height() - 1)),
              kPureRed);
    EXPECT_EQ(photo.Pixel(at(c.topRightX, photo.Width() - 1), at(c.topRightY, photo.Height() - 1)),
              kPureBlue);
}

INSTANTIATE_TEST_SUITE_P(Table, Orientation,
                         testing::Values(OrientationCase{0, false, 0, 0, -1, 0},  // invalid: kept
                                         OrientationCase{1, false, 0, 0, -1, 0},
                                         OrientationCase{2, false, -1, 0, 0, 0},    // mirrored
                                         OrientationCase{3, false, -1, -1, 0, -1},  // 180
                                         OrientationCase{4, false, 0, -1, -1, -1},  // flipped
                                         OrientationCase{5, true, 0, 0, 0, -1},     // transposed
                                         OrientationCase{6, true, -1, 0, -1, -1},   // 90 clockwise
                                         OrientationCase{7, true, -1, -1, -1, 0},
                                         OrientationCase{8, true, 0, -1, 0, 0},  // 90 anticlockwise
                                         OrientationCase{9, false, 0, 0, -1, 0}));

// ---- Through the photo loader ----

class ExifLoad : public testing::Test {
  protected:
    std::string Write(const std::string& name, int orientation) {
        const std::string path = folder.Dir() + name;
        const auto bytes = JpegWithSegment(CornerPicture(80, 60), ExifSegment(orientation));
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    static bool Near(Rgb a, Rgb b) {
        return std::abs(a.r - b.r) < 40 && std::abs(a.g - b.g) < 40 && std::abs(a.b - b.b) < 40;
    }
    TempFolder folder;
    WorkingImages images;
};

// A portrait taken with the phone turned right (6) or left (8) stands upright
// in every working image, before the square is built.
TEST_F(ExifLoad, TurnedPortraitsComeOutUpright) {
    struct Expect {
        int orientation;
        Rgb topLeft, topRight;
    };
    for (const Expect& e :
         {Expect{6, {0, 0, 255}, {255, 0, 0}}, Expect{8, {0, 255, 0}, {255, 255, 255}}}) {
        const std::string path =
            Write("exif" + std::to_string(e.orientation) + ".jpg", e.orientation);
        const LoadOutcome outcome = LoadPhoto(images, path, LoadOptions{});
        ASSERT_EQ(outcome.code, 0);
        ASSERT_EQ(images.trim.Width(), 60);
        ASSERT_EQ(images.trim.Height(), 80);
        EXPECT_TRUE(Near(images.trim.Pixel(2, 2), e.topLeft)) << e.orientation;
        EXPECT_TRUE(Near(images.trim.Pixel(57, 2), e.topRight)) << e.orientation;
        EXPECT_EQ(images.temp2, images.trim);
        EXPECT_EQ(images.source.Width(), 80);
        EXPECT_EQ(images.source.Pixel(5, 40), kBlack);  // margins left and right now
    }
}

TEST_F(ExifLoad, OptionOffKeepsTheStoredPixels) {
    const std::string path = Write("raw.jpg", 6);
    LoadOptions options;
    options.applyExifOrientation = false;
    ASSERT_EQ(LoadPhoto(images, path, options).code, 0);
    EXPECT_EQ(images.trim.Width(), 80);
    EXPECT_TRUE(Near(images.trim.Pixel(2, 2), {255, 0, 0}));
}

}  // namespace
