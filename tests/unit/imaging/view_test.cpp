#include "imaging/view.h"

#include <gtest/gtest.h>

#include <string>

#include "imaging/reduce.h"

namespace {

// ---- Side and fit ----

struct FitCase {
    int clientW, clientH, zoomIndex;
    int imageW, imageH;
    ViewFit expected;
};

class ViewFitTable : public testing::TestWithParam<FitCase> {};

TEST_P(ViewFitTable, SideSizeAndPlace) {
    const FitCase& c = GetParam();
    const int side = ViewSide(c.clientW, c.clientH, c.zoomIndex, ZoomPercentForIndex(c.zoomIndex));
    EXPECT_EQ(FitImageInView(c.imageW, c.imageH, side), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ViewFitTable,
    testing::Values(FitCase{800, 530, 0, 3000, 2000, {530, 353, 0, 88, 530, 3000}},
                    FitCase{800, 530, 3, 3000, 2000, {1060, 706, 0, 177, 1060, 3000}},
                    FitCase{800, 530, 3, 400, 300, {1060, 795, 0, 132, 1060, 400}},
                    FitCase{530, 800, 0, 2000, 3000, {353, 530, 88, 0, 530, 3000}},
                    FitCase{800, 530, 2, 3000, 3000, {795, 795, 0, 0, 795, 3000}},
                    FitCase{800, 530, 1, 1, 1000, {0, 636, 318, 0, 636, 1000}},
                    // no item selected: the side is not scaled
                    FitCase{800, 530, -1, 3000, 2000, {530, 353, 0, 88, 530, 3000}}));

TEST(ZoomPercentForIndex, ItemsAndEverythingElse) {
    const int expected[] = {100, 100, 120, 150, 200, 300, 400, 100};
    for (int index = -1; index <= 6; ++index)
        EXPECT_EQ(ZoomPercentForIndex(index), expected[index + 1]) << index;
}

// ---- The view picture ----

Bitmap Pattern(int width, int height) {
    Bitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.SetPixel(x, y, {std::uint8_t(x * 7 + 20), std::uint8_t(y * 5 + 30), 77});
    return b;
}

TEST(BuildViewImage, ReducesAndCentresOnBlack) {
    const Bitmap image = Pattern(300, 200);
    Bitmap view, scratch, reduced;
    std::string text;
    ASSERT_EQ(BuildViewImage(image, 53, view, scratch, text), 0);
    ASSERT_EQ(ReduceHighQuality(image, reduced, 53, 35, text), 0);
    Bitmap expected(53, 53, kBlack);
    Draw(reduced, expected, 0, 9);
    EXPECT_EQ(view, expected);
}

TEST(BuildViewImage, EnlargesByPlainStretch) {
    const Bitmap image = Pattern(40, 30);
    Bitmap view, scratch, stretched(106, 79);
    std::string text;
    ASSERT_EQ(BuildViewImage(image, 106, view, scratch, text), 0);
    StretchDraw(image, stretched);
    Bitmap expected(106, 106, kBlack);
    Draw(stretched, expected, 0, 13);
    EXPECT_EQ(view, expected);
}

TEST(BuildViewImage, SameSizeShowsTheImageUnchanged) {
    const Bitmap image = Pattern(60, 60);
    Bitmap view, scratch(5, 5);
    std::string text;
    ASSERT_EQ(BuildViewImage(image, 60, view, scratch, text), 0);
    EXPECT_EQ(view, image);
}

// ---- Coordinates ----

struct PointCase {
    int x, y, scrollX, scrollY, viewW, viewH;
    ViewPoint expected;
};

class SquareToControlTable : public testing::TestWithParam<PointCase> {};

TEST_P(SquareToControlTable, OneMoreThanTheScaleThenClamped) {
    const PointCase& c = GetParam();
    EXPECT_EQ(SquareToControl(c.x, c.y, 530, 3000, c.scrollX, c.scrollY, c.viewW, c.viewH),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, SquareToControlTable,
    testing::Values(PointCase{0, 0, 0, 0, 530, 530, {1, 1}},
                    PointCase{1500, 600, 0, 0, 530, 530, {266, 107}},
                    PointCase{1500, 600, 100, 50, 530, 530, {166, 57}},
                    PointCase{0, 0, 10, 20, 530, 530, {0, 0}},          // below 0
                    PointCase{3000, 3000, 0, 0, 530, 530, {529, 529}},  // past the side
                    PointCase{2995, 2995, 0, 0, 530, 530, {530, 530}},  // equal: kept
                    PointCase{100, 100, 0, 0, 0, 0, {0, 0}}));          // no view

TEST(ZoomFrame, ScalesEveryValueByTheZoomChange) {
    EXPECT_EQ(ZoomFrame({100, 80, 90, 120}, 150, 100), (ViewRect{150, 120, 135, 180}));
    EXPECT_EQ(ZoomFrame({150, 120, 135, 180}, 120, 150), (ViewRect{120, 96, 108, 144}));
    EXPECT_EQ(ZoomLength(91, 100, 120), 75);
}

TEST(CropFrame, LimitsAndNewFrameFromTheLayout) {
    const CropFrameLimits limits =
        CropFrameLimitsFor(413, 531, 5 * 413, 5 * 531, 530, 3000, 530, 530);
    EXPECT_EQ(limits, (CropFrameLimits{364, 469, 72, 93, 530, 530}));
    EXPECT_EQ(NewCropFrame(limits), (ViewRect{229, 218, 72, 93}));
}

// Photos smaller than the layout's places: the limits and the new frame stay
// inside the view with the layout's aspect (378 x 496), however small the photo.
struct TinyPhotoCase {
    int photoSide;  // M
    CropFrameLimits limits;
};

class TinyPhotoFrame : public testing::TestWithParam<TinyPhotoCase> {};

TEST_P(TinyPhotoFrame, LimitsAndFrameStayInsideTheView) {
    const CropFrameLimits limits =
        CropFrameLimitsFor(378, 496, 5 * 378, 5 * 496, 530, GetParam().photoSide, 530, 530);
    EXPECT_EQ(limits, GetParam().limits);
    const ViewRect frame = NewCropFrame(limits);
    EXPECT_GE(frame.left, 0);
    EXPECT_GE(frame.top, 0);
    EXPECT_LE(frame.left + frame.width, 530);
    EXPECT_LE(frame.top + frame.height, 530);
}

INSTANTIATE_TEST_SUITE_P(
    View, TinyPhotoFrame,
    testing::Values(TinyPhotoCase{1, {403, 530, 403, 530, 530, 530}},    // 200 340 x 262 880 asked
                    TinyPhotoCase{4, {403, 530, 403, 530, 530, 530}},    // 50 085 x 65 720
                    TinyPhotoCase{496, {403, 530, 403, 530, 530, 530}},  // minimum exactly the view
                    TinyPhotoCase{600, {403, 530, 333, 438, 530, 530}},  // minimum fits
                    TinyPhotoCase{3000, {333, 438, 66, 87, 530, 530}}));  // nothing to bring in

TEST(CropFrame, AbsurdLimitsOfAnUncheckedLayoutStayInsideTheView) {
    const CropFrameLimits limits =
        CropFrameLimitsFor(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 530, 1, 530, 400);
    EXPECT_EQ(limits, (CropFrameLimits{400, 400, 400, 400, 530, 400}));
}

}  // namespace
