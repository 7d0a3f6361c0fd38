#include "cli/photo_geometry.h"

#include <gtest/gtest.h>

namespace {

struct MapCase {
    const char* what;
    PhotoGeometry g;
    PixelRect square;
    PixelRect photo;  // worked out by hand
};

void PrintTo(const MapCase& c, std::ostream* os) {
    *os << c.what;
}

class SquareToPhoto : public ::testing::TestWithParam<MapCase> {};

TEST_P(SquareToPhoto, HandComputed) {
    const MapCase& c = GetParam();
    EXPECT_EQ(SquareRectToPhoto(c.g, c.square), c.photo);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SquareToPhoto,
    ::testing::Values(
        // 400 x 300: square 400, 50 rows of black above; nothing reduced.
        MapCase{"padding only", {400, 300, 1, 400, 300}, {100, 60, 200, 160}, {100, 10, 200, 110}},
        // 4000 x 3000 reduced to 3000 x 2250, 375 rows above; x 4/3, y 3000/2250.
        MapCase{"reduced, whole photo",
                {4000, 3000, 1, 3000, 2250},
                {0, 375, 3000, 2625},
                {0, 0, 4000, 3000}},
        // 1 -> 1.33 -> 1, 2 -> 2.67 -> 3, 376 -> 1.33 -> 1, 377 -> 2.67 -> 3.
        MapCase{"reduced, rounding", {4000, 3000, 1, 3000, 2250}, {1, 376, 2, 377}, {1, 1, 3, 3}},
        // The frame reaches 375 rows into the black: -375 x 4/3 = -500.
        MapCase{"into the padding",
                {4000, 3000, 1, 3000, 2250},
                {0, 0, 3000, 3000},
                {0, -500, 4000, 3500}},
        // Stored 4000 x 3000 turned by EXIF 6: upright 3000 x 4000, reduced 2250 x 3000,
        // 375 columns of black at the left.
        MapCase{"EXIF 6", {4000, 3000, 6, 2250, 3000}, {375, 0, 2625, 3000}, {0, 0, 3000, 4000}},
        // (1500 - 375) x 3000 / 2250 = 1500; 1500 x 4000 / 3000 = 2000.
        MapCase{"EXIF 8, a point inside",
                {4000, 3000, 8, 2250, 3000},
                {1500, 1500, 1500, 1500},
                {1500, 2000, 1500, 2000}},
        // 374 -> -1 x 4/3 = -1.33 -> -1.
        MapCase{"EXIF 5, just left of the photo",
                {4000, 3000, 5, 2250, 3000},
                {374, 0, 374, 0},
                {-1, 0, -1, 0}},
        // EXIF 3 (upside down) keeps the sides.
        MapCase{"EXIF 3", {4000, 3000, 3, 3000, 2250}, {0, 375, 3000, 2625}, {0, 0, 4000, 3000}},
        // The short side was truncated (3001 x 3000 / 4001 = 2250): its edge still
        // maps to the full 3001 rows.
        MapCase{"truncated short side",
                {4001, 3001, 1, 3000, 2250},
                {0, 375, 3000, 2625},
                {0, 0, 4001, 3001}},
        // A square photo: no padding, nothing reduced.
        MapCase{"square", {500, 500, 1, 500, 500}, {7, 9, 300, 400}, {7, 9, 300, 400}}));

TEST(UprightSize, OrientationsFiveToEightSwapTheSides) {
    for (int orientation = 0; orientation <= 9; ++orientation) {
        const PhotoGeometry g{4000, 3000, orientation, 0, 0};
        const bool swapped = orientation >= 5 && orientation <= 8;
        EXPECT_EQ(UprightWidth(g), swapped ? 3000 : 4000) << orientation;
        EXPECT_EQ(UprightHeight(g), swapped ? 4000 : 3000) << orientation;
    }
}

}  // namespace
