#include "platform/bitmap.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(Bitmap, StoresBlueGreenRedRowMajor) {
    Bitmap b(3, 2);
    b.SetPixel(2, 1, {10, 20, 30});
    const std::uint8_t* p = b.Row(1) + 2 * 3;
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    EXPECT_EQ(b.Pixel(2, 1), (Rgb{10, 20, 30}));
}

TEST(Bitmap, CopyRectClipsOnBothSides) {
    Bitmap from(4, 4), to(3, 3, kWhite);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) from.SetPixel(x, y, {std::uint8_t(x), std::uint8_t(y), 0});
    CopyRect(from, {-1, -1, 3, 3}, to, -1, 0);  // source starts outside, target too
    // Source (0,0) lands at target (0, 1); the column for source x = -1 fell off.
    EXPECT_EQ(to.Pixel(0, 1), (Rgb{0, 0, 0}));
    EXPECT_EQ(to.Pixel(2, 2), (Rgb{2, 1, 0}));
    EXPECT_EQ(to.Pixel(0, 0), kWhite);
}

TEST(Bitmap, CopyRectWithinOneBitmapOverlapping) {
    Bitmap b(1, 4);
    for (int y = 0; y < 4; ++y) b.SetPixel(0, y, {std::uint8_t(y), 0, 0});
    CopyRect(b, {0, 0, 1, 3}, b, 0, 1);
    EXPECT_EQ(b.Pixel(0, 1).r, 0);
    EXPECT_EQ(b.Pixel(0, 2).r, 1);
    EXPECT_EQ(b.Pixel(0, 3).r, 2);
}

TEST(Bitmap, LineLeavesOutItsEndPoint) {
    Bitmap b(5, 5, kWhite);
    DrawLine(b, 0, 2, 4, 2, kBlack);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(b.Pixel(x, 2), kBlack);
    EXPECT_EQ(b.Pixel(4, 2), kWhite);
    DrawLine(b, 1, 0, 1, 0, kBlack);  // zero length draws nothing
    EXPECT_EQ(b.Pixel(1, 0), kWhite);
    DrawLine(b, -3, -3, 3, 3, kBlack);  // clipped, diagonal
    EXPECT_EQ(b.Pixel(2, 2), kBlack);
    EXPECT_EQ(b.Pixel(3, 3), kWhite);
}

TEST(Bitmap, FrameRectOutlinesInside) {
    Bitmap b(4, 3, kPureBlue);
    FrameRect(b, {0, 0, 4, 3}, kPureRed);
    EXPECT_EQ(b.Pixel(3, 2), kPureRed);
    EXPECT_EQ(b.Pixel(0, 2), kPureRed);
    EXPECT_EQ(b.Pixel(1, 1), kPureBlue);
    EXPECT_EQ(b.Pixel(2, 1), kPureBlue);
}

TEST(Bitmap, StretchRepeatsAndDropsPixels) {
    Bitmap from(2, 1);
    from.SetPixel(0, 0, {1, 0, 0});
    from.SetPixel(1, 0, {2, 0, 0});
    Bitmap up(4, 1);
    StretchDraw(from, up);
    EXPECT_EQ(up.Pixel(0, 0).r, 1);
    EXPECT_EQ(up.Pixel(1, 0).r, 1);
    EXPECT_EQ(up.Pixel(2, 0).r, 2);
    EXPECT_EQ(up.Pixel(3, 0).r, 2);
    Bitmap down(1, 1);
    StretchDraw(from, down);
    EXPECT_EQ(down.Pixel(0, 0).r, 1);
    StretchDraw(up, up);  // onto itself reads the original
    EXPECT_EQ(up.Pixel(3, 0).r, 2);
}

// Sizing keeps the memory of a larger picture; the fill covers every pixel of
// the new size whatever the memory held, growing or shrinking.
TEST(Bitmap, SetSizeFillsAllAndKeepsMemoryWhenShrinking) {
    Bitmap b(40, 30, kPureRed);
    const std::uint8_t* memory = b.Data();
    const std::size_t capacity = b.Capacity();
    for (const auto& [w, h, fill] : {std::tuple{7, 5, kWhite}, std::tuple{1, 1, kBlack},
                                     std::tuple{30, 40, Rgb{1, 2, 3}}, std::tuple{0, 9, kWhite}}) {
        b.SetSize(w, h, fill);
        EXPECT_EQ(b, Bitmap(w, h, fill)) << w << " x " << h;
        EXPECT_EQ(b.Capacity(), capacity);
        if (!b.Empty()) {
            EXPECT_EQ(b.Data(), memory);
        }
    }
    b.SetSize(50, 50, kWhite);  // larger: new memory, every pixel filled
    EXPECT_GE(b.Capacity(), 50u * 50 * 3);
    EXPECT_EQ(b, Bitmap(50, 50, kWhite));
}
