// The head-top scan: the worked cases as a table, and the fast scan against
// the literal reference on random pictures.
#include "detect/head_top.h"

#include <gtest/gtest.h>

#include <random>

#include "reference/head_top_reference.h"

namespace {

constexpr Rgb kSky{200, 210, 220};
constexpr Rgb kHair{150, 90, 60};

// A 40 x 30 picture of sky with a band of hair from `hairTop` down, `hairLeft`
// to `hairRight` (exclusive).
Bitmap Head(int hairTop, int hairLeft, int hairRight, Rgb sky = kSky) {
    Bitmap b(40, 30, sky);
    b.FillRect({hairLeft, hairTop, hairRight, 30}, kHair);
    return b;
}

struct HeadTopCase {
    const char* name;
    Bitmap image;
    int x0, x1, top;
    HeadTopSettings settings;
    int expected;
};

HeadTopSettings Picked(Rgb colour) {
    HeadTopSettings s;
    s.usePickedColour = true;
    s.pickedColour = colour;
    return s;
}

Bitmap RowWithMatches(int matches) {
    // Row 10 of the band 0..9 has `matches` sky pixels (the first is the
    // sample point); every row above is sky.
    Bitmap b(40, 30, kSky);
    b.FillRect({matches, 10, 10, 11}, kHair);
    return b;
}

std::vector<HeadTopCase> Cases() {
    return {
        {"dark_reference_63", Bitmap(40, 30, Rgb{63, 63, 63}), 0, 9, 20, {}, 20},
        {"reference_64_0_0_scans", Head(10, 1, 10, Rgb{64, 0, 0}), 0, 9, 20, {}, 9},
        {"exactly_p_percent_goes_on", RowWithMatches(8), 0, 9, 10, {}, 9},
        {"one_more_ends", RowWithMatches(9), 0, 9, 10, {}, 10},
        {"no_match_on_the_top_row", Head(0, 0, 40), 5, 14, 20, Picked(kWhite), 20},
        {"head_to_the_top_edge", Head(0, 3, 10), 0, 9, 20, {}, 0},
        {"sample_in_black_margin", Head(0, 10, 30, kBlack), 0, 39, 20, {}, 20},
        {"band_past_the_right_edge", Head(0, 38, 40), 35, 44, 20, {}, 0},
        {"negative_x0_clamped", Head(12, 1, 40), -5, 10, 20, {}, 11},
        {"picked_colour_not_the_sample", Head(12, 0, 1), 0, 9, 20, Picked(kSky), 20},
        {"sample_colour_otherwise", Head(12, 0, 1), 0, 9, 20, {}, 11},
        {"top_below_picture", Bitmap(40, 30, kSky), 0, 9, 35, {}, 35},
    };
}

class HeadTop : public ::testing::TestWithParam<HeadTopCase> {};

TEST_P(HeadTop, MatchesTheWorkedCase) {
    const HeadTopCase& c = GetParam();
    EXPECT_EQ(FindHeadTop(c.x0, c.x1, c.top, c.image, c.settings), c.expected);
    EXPECT_EQ(
        FindHeadTopReference(c.x0, c.x1, c.top, c.image, c.settings.range, c.settings.threshold,
                             c.settings.usePickedColour, c.settings.pickedColour),
        c.expected);
}
INSTANTIATE_TEST_SUITE_P(Table, HeadTop, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HeadTopSample, ReportsTheClampedSamplePoint) {
    HeadTopSample s;
    FindHeadTop(-3, 10, 50, Bitmap(40, 30, kSky), {}, &s);
    EXPECT_EQ(s, (HeadTopSample{0, 29, true}));
    FindHeadTop(45, 50, 5, Bitmap(40, 30, kSky), Picked(kSky), &s);
    EXPECT_EQ(s, (HeadTopSample{39, 5, false}));
}

// Pictures of a few near colours so that the range decides; awkward sizes.
TEST(HeadTopDifferential, MatchesTheReferenceOnRandomPictures) {
    std::mt19937 rng(1234);
    const int sizes[] = {1, 2, 9, 10, 31, 97};
    for (int round = 0; round < 400; ++round) {
        const int w = sizes[rng() % 6], h = sizes[rng() % 6];
        Bitmap image(w, h);
        const int base = 40 + static_cast<int>(rng() % 180);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                auto c = [&] {
                    return static_cast<std::uint8_t>(base + static_cast<int>(rng() % 41) - 20);
                };
                image.SetPixel(x, y, {c(), c(), c()});
            }
        HeadTopSettings s;
        s.range = static_cast<int>(rng() % 31);
        s.threshold = 50 + static_cast<int>(rng() % 51);
        s.usePickedColour = rng() % 4 == 0;
        s.pickedColour = {static_cast<std::uint8_t>(base), static_cast<std::uint8_t>(base),
                          static_cast<std::uint8_t>(base)};
        const int x0 = static_cast<int>(rng() % (w + 6)) - 3;
        const int x1 = x0 + static_cast<int>(rng() % (w + 4)) - 1;
        const int top = static_cast<int>(rng() % (h + 2)) - 1;
        ASSERT_EQ(FindHeadTop(x0, x1, top, image, s),
                  FindHeadTopReference(x0, x1, top, image, s.range, s.threshold, s.usePickedColour,
                                       s.pickedColour))
            << "round " << round << " size " << w << "x" << h << " x0 " << x0 << " x1 " << x1
            << " top " << top;
    }
}

}  // namespace
