#include "frame/frame_overlay.h"

#include <gtest/gtest.h>

namespace {

// 'R' red, 'B' blue, one string per row.
void ExpectPixels(const Bitmap& b, const std::vector<std::string>& rows) {
    ASSERT_EQ(static_cast<int>(rows.size()), b.Height());
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            EXPECT_EQ(b.Pixel(x, y), rows[y][x] == 'R' ? kPureRed : kPureBlue)
                << "(" << x << ", " << y << ")";
}

TEST(DrawFrameOverlay, RedBorderBlueInsideBottomLeftKey) {
    Bitmap b(5, 4, kBlack);
    EXPECT_EQ(DrawFrameOverlay(b, 5, 4, false), (PixelRect{0, 0, 5, 4}));
    ExpectPixels(b, {"RRRRR", "RBBBR", "RBBBR", "BRRRR"});
}

TEST(DrawFrameOverlay, ZoomVariantLiftsBottomEdge) {
    Bitmap b(5, 4, kBlack);
    EXPECT_EQ(DrawFrameOverlay(b, 5, 4, true), (PixelRect{0, 0, 5, 3}));
    ExpectPixels(b, {"RRRRR", "RBBBR", "RRRRR", "BBBBB"});
}

TEST(DrawFrameOverlay, ClippedToPicture) {
    Bitmap small(3, 2, kBlack);
    DrawFrameOverlay(small, 5, 4, false);  // larger than the picture: no fault
    ExpectPixels(small, {"RRR", "RBB"});
    Bitmap empty;
    DrawFrameOverlay(empty, 0, 0, false);
    EXPECT_TRUE(empty.Empty());
}

}  // namespace
