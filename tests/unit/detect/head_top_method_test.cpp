// Which head top the framing pass uses for each head-top method.
#include <gtest/gtest.h>

#include "framing_fixture.h"

namespace {

// A scan that always finds the head far above the face.
int FarAbove(int, int, int top, const Bitmap&, const HeadTopSettings&, HeadTopSample*) {
    return top - 150;
}

class HeadTopMethodPass : public FramingPass {
  protected:
    HeadTopMethodPass() {
        options.findChin = false;
        options.sizeCheck = false;
        options.headTopFinder = FarAbove;
        library.first = {0, {{400, 300, 600, 500}}};
    }
};

TEST_F(HeadTopMethodPass, EstimateIgnoresTheScan) {
    options.headTopMethod = HeadTopMethod::kEstimate;
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(result.headBox, (PixelRect{400, 240, 600, 514}));
}

TEST_F(HeadTopMethodPass, BackgroundScanIsUsedOnlyWhenTheCorrectionIsOn) {
    options.headTopMethod = HeadTopMethod::kBackground;
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(result.headBox.top, 150);
    options.correctHeadTop = false;
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(result.headBox.top, 240);
}

TEST_F(HeadTopMethodPass, OutlineFallsBackToTheEstimateOnAFlatPicture) {
    options.headTopMethod = HeadTopMethod::kContour;
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(result.headBox, (PixelRect{400, 240, 600, 514}));
}

TEST_F(HeadTopMethodPass, OutlineFindsTheHairTopWhateverTheCorrectionBox) {
    // Dark hair from row 180 on a white picture, a skin-coloured face in the box.
    square = Bitmap(1000, 1000, {245, 245, 245});
    for (int y = 180; y < 400; ++y)
        for (int x = 0; x < 1000; ++x) {
            const int dx = x - 500, dy = y - 300;
            if ((dy < 0 && dx * dx + dy * dy <= 120 * 120) || (dy >= 0 && dx * dx <= 120 * 120))
                square.SetPixel(x, y, {40, 30, 25});
        }
    for (int y = 290; y < 520; ++y)
        for (int x = 410; x < 590; ++x) square.SetPixel(x, y, {224, 172, 140});
    options.headTopMethod = HeadTopMethod::kContour;
    options.correctHeadTop = false;
    ASSERT_EQ(Run(), 0);
    EXPECT_NEAR(result.headBox.top, 180, 6);
    EXPECT_NEAR(result.headTop, 180, 6);
}

}  // namespace
