#include "frame/auto_frame_view.h"

#include <gtest/gtest.h>

namespace {

struct PlaceCase {
    const char* what;
    PixelRect box;
    int frameH;
    AutoFrameView view;
    ViewRect frame;  // worked out by hand
};

void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.what;
}

class AutoFrameInView : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(AutoFrameInView, HandComputed) {
    const PlaceCase& c = GetParam();
    AutoFramePlacement placed;
    ASSERT_TRUE(PlaceAutoFrameInView(c.box, c.frameH, c.view, placed));
    EXPECT_EQ(placed.frame, c.frame);
}

// The default layout's smallest frame, 378 x 496, in its own aspect.
INSTANTIATE_TEST_SUITE_P(
    Table, AutoFrameInView,
    ::testing::Values(
        // 1:1. vh = max(401, 497) = 497; cy = 401, vtop = 153; vw = max(378 x 497 / 496
        // = 378, 379) = 379; cx = 451, vleft = 262.
        PlaceCase{"smallest frame wins, one pixel more",
                  {300, 200, 600, 600},
                  400,
                  {1000, 1000, 0, 0, 1000, 1000, 378, 496, 378, 496},
                  {262, 153, 379, 497}},
        // 1:1 on a 500 view. vh 601 > 500: shrunk to 500 high, 378 x 500 / 496 = 381
        // wide, centred again on cx 201: vleft 11.
        PlaceCase{"taller than the view",
                  {100, 0, 300, 600},
                  600,
                  {500, 500, 0, 0, 500, 500, 378, 496, 378, 496},
                  {11, 0, 381, 500}},
        // D / M = 1/2, scrolled by (10, 20). vh = max(201, 249) = 249; cy = 201, vtop =
        // 77 - 20; vw = max(378 x 249 / 496 = 189, 190) = 190; cx = 226, vleft = 131 - 10.
        PlaceCase{"half scale, scrolled",
                  {300, 200, 600, 600},
                  400,
                  {500, 1000, 10, 20, 500, 500, 378, 496, 378, 496},
                  {121, 57, 190, 249}},
        // Past the right edge: moved back to 1000 - 379.
        PlaceCase{"past the right edge",
                  {900, 200, 1000, 600},
                  400,
                  {1000, 1000, 0, 0, 1000, 1000, 378, 496, 378, 496},
                  {621, 153, 379, 497}},
        // Past the left edge: pulled to 0. The top is not: cy 51 - 248 stays -197
        // (the cut takes the part inside the picture).
        PlaceCase{"past the left and top",
                  {0, 0, 50, 100},
                  100,
                  {1000, 1000, 0, 0, 1000, 1000, 378, 496, 378, 496},
                  {0, -197, 379, 497}}));

TEST(AutoFrameInView, DegenerateScaleOrAspectPlacesNothing) {
    AutoFramePlacement placed;
    const PixelRect box{0, 0, 10, 10};
    EXPECT_FALSE(PlaceAutoFrameInView(box, 10, {1, 0, 0, 0, 10, 10, 1, 1, 1, 1}, placed));
    EXPECT_FALSE(PlaceAutoFrameInView(box, 10, {1, 1, 0, 0, 10, 10, 1, 1, 0, 1}, placed));
    EXPECT_FALSE(PlaceAutoFrameInView(box, 10, {1, 1, 0, 0, 10, 10, 1, 1, 1, 0}, placed));
}

}  // namespace
