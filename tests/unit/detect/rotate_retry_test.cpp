// Framing with rotate-and-retry: which turns are made after which results,
// and where the angle ends, whoever does the framing and the turning.
#include <gtest/gtest.h>

#include <deque>

#include "detect/auto_frame.h"

namespace {

struct RetryCase {
    const char* name;
    bool retry;
    int start;                  // angle before framing
    std::vector<int> codes;     // each attempt's result, in order
    int refuseFrom;             // turns from this one on are refused (-1: none)
    std::vector<int> turnedTo;  // angles asked for
    int attempts;
    int finalCode, finalAngle;
};

class RotateRetry : public ::testing::TestWithParam<RetryCase> {};

TEST_P(RotateRetry, TurnsAndAttempts) {
    const RetryCase& c = GetParam();
    std::deque<int> codes(c.codes.begin(), c.codes.end());
    std::vector<int> turnedTo;
    int attempts = 0;
    RotateRetrySteps steps;
    steps.frame = [&] {
        ++attempts;
        const int code = codes.empty() ? -99 : codes.front();
        if (!codes.empty()) codes.pop_front();
        return code;
    };
    steps.turnTo = [&](int tenths) {
        turnedTo.push_back(tenths);
        return c.refuseFrom < 0 || static_cast<int>(turnedTo.size()) <= c.refuseFrom;
    };
    int angle = c.start;
    EXPECT_EQ(FrameWithRotateRetry(c.retry, angle, steps), c.finalCode);
    EXPECT_EQ(turnedTo, c.turnedTo);
    EXPECT_EQ(attempts, c.attempts);
    EXPECT_EQ(angle, c.finalAngle);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RotateRetry,
    ::testing::Values(
        RetryCase{"Off", false, 0, {-10}, -1, {}, 1, -10, 0},
        RetryCase{"FoundFirstTime", true, 0, {0}, -1, {}, 1, 0, 0},
        // A missing cascade fails the same way whichever way up: no turn.
        RetryCase{"NoCascade", true, 0, {-1}, -1, {}, 1, -1, 0},
        RetryCase{"FoundAfterAQuarterTurn", true, 0, {-10, 0}, -1, {900}, 2, 0, 900},
        RetryCase{"FoundTheOtherWay", true, 0, {-10, -10, 0}, -1, {900, -900}, 3, 0, -900},
        RetryCase{"NeverFound", true, 0, {-10, -8, -9}, -1, {900, -900}, 3, -9, -900},
        // From a turned photo both tries are a quarter turn from where it was.
        RetryCase{"FromATurnedPhoto", true, 50, {-10, -10, -10}, -1, {950, -850}, 3, -10, -850},
        RetryCase{"PastAFullTurn", true, 3000, {-10, -10, 0}, -1, {300, -1500}, 3, 0, -1500},
        // A turn that cannot be made (busy, no memory) ends the tries and
        // leaves the angle where the picture is.
        RetryCase{"FirstTurnRefused", true, 0, {-10}, 0, {900}, 1, -10, 0},
        RetryCase{"SecondTurnRefused", true, 0, {-10, -10}, 1, {900, -900}, 2, -10, 900}),
    [](const ::testing::TestParamInfo<RetryCase>& info) { return std::string(info.param.name); });

}  // namespace
