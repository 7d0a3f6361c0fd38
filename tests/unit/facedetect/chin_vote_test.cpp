// The check of the fitted chin against fits from nearby start boxes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fd_fit_vote.h"

namespace fd {
namespace {

TEST(StartBoxes, EachBoxAsItIsMovedAndScaledAboutItsCentre) {
    const std::vector<cv::Rect2d> boxes =
        StartBoxes(cv::Rect2d(100, 200, 50, 50), cv::Rect2d(0, 0, 20, 20));
    ASSERT_EQ(boxes.size(), 10u);
    const std::vector<cv::Rect2d> first = {{100, 200, 50, 50},
                                           {100, 195, 50, 50},
                                           {100, 205, 50, 50},
                                           {102.5, 202.5, 45, 45},
                                           {97.5, 197.5, 55, 55}};
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_NEAR(boxes[i].x, first[i].x, 1e-9) << i;
        EXPECT_NEAR(boxes[i].y, first[i].y, 1e-9) << i;
        EXPECT_NEAR(boxes[i].width, first[i].width, 1e-9) << i;
        EXPECT_NEAR(boxes[i].height, first[i].height, 1e-9) << i;
    }
    EXPECT_EQ(boxes[5], cv::Rect2d(0, 0, 20, 20));
    // Every box of the second group keeps the second box's centre column.
    for (std::size_t i = 5; i < boxes.size(); ++i)
        EXPECT_NEAR(boxes[i].x + boxes[i].width / 2, 10, 1e-9) << i;
}

struct MedianCase {
    const char* name;
    std::vector<cv::Point2d> points;
    bool found;
    cv::Point2d median;
};

class MedianChinTest : public ::testing::TestWithParam<MedianCase> {};

TEST_P(MedianChinTest, TakesTheMiddleRow) {
    cv::Point2d out(-1, -1);
    EXPECT_EQ(MedianChin(GetParam().points, out), GetParam().found);
    if (GetParam().found) {
        EXPECT_NEAR(out.x, GetParam().median.x, 1e-9);
        EXPECT_NEAR(out.y, GetParam().median.y, 1e-9);
    }
}

const MedianCase kMedianCases[] = {
    {"None", {}, false, {}},
    {"One", {{3, 4}}, true, {3, 4}},
    // Unsorted input; the outlier row does not pull the median.
    {"OddCountWithOutlier", {{5, 900}, {1, 100}, {2, 110}}, true, {2, 110}},
    {"EvenCountAveragesTheMiddleTwo", {{0, 40}, {4, 10}, {2, 20}, {6, 30}}, true, {4, 25}},
};

INSTANTIATE_TEST_SUITE_P(Cases, MedianChinTest, ::testing::ValuesIn(kMedianCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct VoteCase {
    const char* name;
    cv::Point2d own;
    std::vector<cv::Point2d> votes;
    cv::Point2d expected;
};

class VotedChinTest : public ::testing::TestWithParam<VoteCase> {};

// Box height 100: the fit is overruled only more than 6 pixels from the median.
TEST_P(VotedChinTest, KeepsTheFitUnlessItIsTheOddOneOut) {
    const cv::Point2d out = VotedChin(GetParam().own, GetParam().votes, 100);
    EXPECT_NEAR(out.x, GetParam().expected.x, 1e-9);
    EXPECT_NEAR(out.y, GetParam().expected.y, 1e-9);
}

const VoteCase kVoteCases[] = {
    {"NoVotesKeepsTheFit", {50, 120}, {}, {50, 120}},
    {"AgreeingVotesKeepTheFit", {50, 120}, {{49, 118}, {51, 121}, {50, 123}}, {50, 120}},
    {"AtTheLimitKeepsTheFit", {50, 120}, {{48, 114}, {48, 114}, {48, 114}}, {50, 120}},
    {"SnappedBelowTakesTheMedian", {50, 135}, {{49, 118}, {51, 121}, {50, 135}}, {51, 121}},
    {"SnappedAboveTakesTheMedian", {50, 100}, {{49, 118}, {51, 121}, {50, 100}}, {49, 118}},
};

INSTANTIATE_TEST_SUITE_P(Cases, VotedChinTest, ::testing::ValuesIn(kVoteCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace fd
