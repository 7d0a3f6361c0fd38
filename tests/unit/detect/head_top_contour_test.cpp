// The head-top finder: synthetic heads with a known top on the backgrounds
// that defeat a one-colour scan, the inputs it must refuse, and its accuracy
// on the shared portraits.
#include "detect/head_top_contour.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr Rgb kSkin{224, 172, 140};

// A picture of a head: a skin-coloured face, hair above and around it up to
// `hairTop`, on a background drawn by `paint`. The face box is the one the
// face library reports for such a face: forehead to just above the chin.
struct SyntheticHead {
    Bitmap image;
    HeadTopFace face;
    int trueTop = 0;
    double faceHeight = 0;
};

// `hair(x, y)` gives the hair's colour at each pixel (strands, a pattern).
template <class Hair, class Paint>
SyntheticHead DrawHeadWith(int side, Hair hair, int hairTop, Paint paint) {
    SyntheticHead h;
    h.image = Bitmap(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) h.image.SetPixel(x, y, paint(x, y));
    const double cx = side / 2.0, faceTop = side * 0.40, chin = side * 0.72;
    const double rx = side * 0.13, ry = (chin - faceTop) / 2 + side * 0.04;
    const double faceCy = (faceTop + chin) / 2;
    // Hair: a round crown from hairTop, straight down the sides to the
    // middle of the face.
    const double hairR = rx * 1.25, crownCy = hairTop + hairR;
    for (int y = hairTop; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const double dx = x - cx, dy = y - crownCy;
            const bool crown = dx * dx + dy * dy <= hairR * hairR;
            const bool sides = y >= crownCy && y < faceCy && std::abs(dx) <= hairR;
            if (crown || sides) h.image.SetPixel(x, y, hair(x, y));
            const double fx = (x - cx) / rx, fy = (y - faceCy) / ry;
            if (fx * fx + fy * fy <= 1) h.image.SetPixel(x, y, kSkin);
        }
    h.face.box = {static_cast<int>(cx - rx), static_cast<int>(faceTop), static_cast<int>(cx + rx),
                  static_cast<int>(faceTop + (chin - faceTop) / 1.07)};
    h.face.chinRow = static_cast<int>(chin);
    h.trueTop = hairTop;
    h.faceHeight = chin - faceTop;
    return h;
}

template <class Paint>
SyntheticHead DrawHead(int side, Rgb hair, int hairTop, Paint paint) {
    return DrawHeadWith(
        side, [hair](int, int) { return hair; }, hairTop, paint);
}

struct BackgroundCase {
    const char* name;
    Rgb hair;
    double hairAbove;  // hair top above the face box, in face heights
    Rgb (*paint)(int x, int y);
};

Rgb White(int, int) {
    return {245, 245, 245};
}
Rgb Black(int, int) {
    return {8, 8, 8};
}
Rgb Blue(int, int) {
    return {60, 110, 200};
}
// A busy background: bold vertical stripes of unrelated colours.
Rgb Stripes(int x, int) {
    static const Rgb colours[] = {{40, 140, 60}, {230, 220, 90}, {90, 60, 160}, {200, 90, 60}};
    return colours[(x / 23) % 4];
}
// A background with the hair's own colour beside the forehead.
Rgb HairColouredSides(int x, int y) {
    return (y > 300 && (x < 120 || x > 480)) ? Rgb{50, 35, 25} : Rgb{200, 200, 190};
}

class HeadTopOnBackground : public ::testing::TestWithParam<BackgroundCase> {};

TEST_P(HeadTopOnBackground, FindsTheHairTopWithinThreePercentOfTheFace) {
    const BackgroundCase& c = GetParam();
    const int side = 600;
    const int faceTop = static_cast<int>(side * 0.40);
    const double fh = side * 0.32;
    const SyntheticHead h =
        DrawHead(side, c.hair, static_cast<int>(faceTop - c.hairAbove * fh), c.paint);
    const std::optional<int> top = FindHeadTopContour(h.image, h.face);
    ASSERT_TRUE(top.has_value());
    EXPECT_NEAR(*top, h.trueTop, 0.03 * h.faceHeight) << c.name;
    EXPECT_LE(*top, h.face.box.top);
}

INSTANTIATE_TEST_SUITE_P(
    Backgrounds, HeadTopOnBackground,
    ::testing::Values(BackgroundCase{"dark hair on white", {40, 30, 25}, 0.35, White},
                      BackgroundCase{"fair hair on black", {215, 190, 120}, 0.35, Black},
                      BackgroundCase{"dark hair on black", {70, 50, 40}, 0.30, Black},
                      BackgroundCase{"tall hair on blue", {40, 30, 25}, 0.85, Blue},
                      BackgroundCase{"short hair on stripes", {40, 30, 25}, 0.20, Stripes},
                      BackgroundCase{"hair-coloured sides", {50, 35, 25}, 0.35, HairColouredSides}),
    [](const auto& info) {
        std::string n = info.param.name;
        std::replace_if(
            n.begin(), n.end(), [](char ch) { return !std::isalnum(ch); }, '_');
        return n;
    });

TEST(HeadTopContour, NarrowPhotoInBlackMarginsIsNotTakenForBackground) {
    // A narrow portrait centred on black: the margins are not the background,
    // and the head nearly fills the photo's width.
    const int side = 600;
    SyntheticHead h = DrawHead(side, {40, 30, 25}, 130, White);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            if (x < 180 || x >= 420) h.image.SetPixel(x, y, kBlack);
    const std::optional<int> top = FindHeadTopContour(h.image, h.face);
    ASSERT_TRUE(top.has_value());
    EXPECT_NEAR(*top, h.trueTop, 0.03 * h.faceHeight);
}

TEST(HeadTopContour, HeadAtThePictureTopGivesTheTopRow) {
    // A head drawn with its hair one face height above the box, moved up
    // until the hair touches the picture's top edge.
    SyntheticHead h = DrawHead(600, {40, 30, 25}, 48, White);
    Bitmap moved(600, 600, {245, 245, 245});
    CopyRect(h.image, {0, 48, 600, 600}, moved, 0, 0);
    h.image = moved;
    h.face.box.top -= 48, h.face.box.bottom -= 48;
    *h.face.chinRow -= 48;
    const std::optional<int> top = FindHeadTopContour(h.image, h.face);
    ASSERT_TRUE(top.has_value());
    EXPECT_LE(*top, static_cast<int>(0.03 * h.faceHeight));
}

// Behind a head near the picture's top: a light window a little narrower
// than the hair, curtains beyond. No sample of the window lies above the
// head, where the picture ends.
Rgb WindowBetweenCurtains(int x, int) {
    return std::abs(x - 300) < 70 ? Rgb{205, 215, 225} : Rgb{150, 70, 60};
}

TEST(HeadTopContour, HeadNearThePictureTopIsNotGrownIntoTheWindowBehindIt) {
    const int shift = 100;
    SyntheticHead h = DrawHead(600, {40, 30, 25}, 173, WindowBetweenCurtains);
    Bitmap moved(600, 600, kBlack);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 600; ++x)
            moved.SetPixel(x, y, y + shift < 600 ? h.image.Pixel(x, y + shift) : Rgb{90, 90, 90});
    h.image = moved;
    h.face.box.top -= shift, h.face.box.bottom -= shift;
    *h.face.chinRow -= shift;
    const std::optional<int> top = FindHeadTopContour(h.image, h.face);
    ASSERT_TRUE(top.has_value());
    EXPECT_NEAR(*top, h.trueTop - shift, 0.03 * h.faceHeight);
}

TEST(HeadTopContour, HeadFillingANarrowPhotosWidthIsStillMeasured) {
    // A tight narrow crop: the photo is narrower than the face and starts
    // a little above the hair, so that the only background is above it.
    const int shift = 120;
    SyntheticHead h = DrawHead(600, {40, 30, 25}, 173, White);
    Bitmap moved(600, 600, kBlack);
    for (int y = 0; y + shift < 600; ++y)
        for (int x = 235; x < 365; ++x) moved.SetPixel(x, y, h.image.Pixel(x, y + shift));
    h.image = moved;
    h.face.box.top -= shift, h.face.box.bottom -= shift;
    *h.face.chinRow -= shift;
    const std::optional<int> top = FindHeadTopContour(h.image, h.face);
    ASSERT_TRUE(top.has_value());
    EXPECT_NEAR(*top, h.trueTop - shift, 0.03 * h.faceHeight);
}

std::uint8_t Level(int v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

TEST(HeadTopContour, NearBlackHairOnAStudioBlackIsFound) {
    // Dark brown strands a few levels off a flat black: too close to it for
    // a fixed colour step, but far beyond the backdrop's own grain.
    std::mt19937 noise(3);
    const auto strands = [&](int, int) {
        const int v = static_cast<int>(noise() % 14);
        return Rgb{Level(12 + v), Level(6 + v / 2), Level(3 + v / 3)};
    };
    const SyntheticHead h = DrawHeadWith(600, strands, 180, [](int, int) { return Rgb{1, 1, 1}; });
    // The corner-colour scan, which answers where the segmentation loses such
    // hair, and the finder as a whole.
    for (const std::optional<int> top :
         {FindHeadTopByBackgroundModel(h.image, h.face), FindHeadTopContour(h.image, h.face)}) {
        ASSERT_TRUE(top.has_value());
        EXPECT_NEAR(*top, h.trueTop, 0.03 * h.faceHeight);
    }
}

TEST(HeadTopContour, GreyHairOnASmoothGreyWallIsTheHeadNotTheWall) {
    // Grey strands (a fine texture around the wall's own shade) on a wall
    // shading smoothly from left to right: the colours alone tell the two
    // apart only by the strands' grain.
    std::mt19937 noise(11);
    const auto wall = [](int x, int) {
        const std::uint8_t v = Level(160 + x / 30);
        return Rgb{v, Level(v + 2), Level(v + 4)};
    };
    const auto strands = [&](int x, int y) {
        const int v = 150 + static_cast<int>(noise() % 60) + ((x + y / 3) % 7 < 2 ? 25 : 0);
        return Rgb{Level(v), Level(v - 4), Level(v - 8)};
    };
    const SyntheticHead h = DrawHeadWith(600, strands, 150, wall);
    const std::optional<int> top = FindHeadTopContour(h.image, h.face);
    ASSERT_TRUE(top.has_value());
    EXPECT_NEAR(*top, h.trueTop, 0.04 * h.faceHeight);
}

TEST(HeadTopContour, TheBackOfATurnedHeadBesideTheFaceIsNotTakenForBackground) {
    // A headwrap whose bulk lies beside the turned face, reaching well past
    // its side, on a grainy brown background; the wrap's pattern holds the
    // background's brown as well as its own teal.
    std::mt19937 noise(5);
    SyntheticHead h = DrawHead(600, {40, 30, 25}, 160, [&](int, int) {
        const int n = static_cast<int>(noise() % 40);
        return Rgb{Level(140 + n), Level(100 + n), Level(60 + n)};
    });
    const double cx = 300 + 0.35 * h.face.box.Width(), cy = 160 + 0.8 * h.face.box.Width();
    const double r = 0.8 * h.face.box.Width();
    for (int y = 160; y < h.face.box.top + 20; ++y)
        for (int x = 0; x < 600; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                h.image.SetPixel(x, y, (x / 9 + y / 9) % 2 ? Rgb{40, 150, 140} : Rgb{160, 110, 70});
    const std::optional<int> top = FindHeadTopContour(h.image, h.face);
    ASSERT_TRUE(top.has_value());
    EXPECT_NEAR(*top, 160, 0.04 * h.faceHeight);
}

// The segmentation starts from random cluster centres; the answer must not
// depend on what the thread's generator held, and the generator is left as
// it was.
TEST(HeadTopContour, SameAnswerWhateverTheRandomGeneratorHeld) {
    std::mt19937 noise(7);
    const SyntheticHead h = DrawHead(600, {90, 80, 70}, 150, [&](int x, int y) {
        const int n = static_cast<int>(noise() % 60);
        return (x + y) % 50 < 25 ? Rgb{static_cast<std::uint8_t>(110 + n), 120, 110}
                                 : Rgb{150, static_cast<std::uint8_t>(100 + n), 90};
    });
    std::vector<std::optional<int>> answers;
    for (const std::uint64_t state : {1ull, 0x123456789abcdefull, 42ull}) {
        cv::theRNG().state = state;
        answers.push_back(FindHeadTopContour(h.image, h.face));
        EXPECT_EQ(cv::theRNG().state, state);
    }
    ASSERT_TRUE(answers[0].has_value());
    EXPECT_EQ(answers[1], answers[0]);
    EXPECT_EQ(answers[2], answers[0]);
}

TEST(HeadTopContour, RefusesWhatItCannotMeasure) {
    const SyntheticHead h = DrawHead(300, {40, 30, 25}, 60, White);
    struct Case {
        const char* name;
        Bitmap image;
        PixelRect box;
    };
    const std::vector<Case> cases{
        {"empty image", Bitmap(), h.face.box},
        {"empty box", h.image, {100, 100, 100, 150}},
        {"box above the picture", h.image, {100, -80, 160, -10}},
        {"box past the right edge", h.image, {250, 100, 340, 160}},
        {"box below the picture", h.image, {100, 320, 160, 380}},
        {"one flat colour", Bitmap(300, 300, kWhite), h.face.box},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(FindHeadTopContour(c.image, {c.box, std::nullopt}).has_value()) << c.name;
        EXPECT_FALSE(FindHeadTopByBackgroundModel(c.image, {c.box, std::nullopt}).has_value())
            << c.name;
    }
}

TEST(HeadTopContour, AChinAboveTheBoxTopIsIgnored) {
    SyntheticHead h = DrawHead(600, {40, 30, 25}, 150, White);
    h.face.chinRow = h.face.box.top - 50;
    const std::optional<int> top = FindHeadTopContour(h.image, h.face);
    ASSERT_TRUE(top.has_value());
    EXPECT_NEAR(*top, h.trueTop, 0.03 * h.faceHeight);
}

TEST(HeadTopByBackgroundModel, FindsTheTopWhereTheCornersColourTakesOver) {
    const SyntheticHead h = DrawHead(600, {40, 30, 25}, 140, Blue);
    const std::optional<int> top = FindHeadTopByBackgroundModel(h.image, h.face);
    ASSERT_TRUE(top.has_value());
    EXPECT_NEAR(*top, h.trueTop, 0.03 * h.faceHeight);
}

}  // namespace
