#include "frame/head_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// ---- The turn a line proposes ----

struct TurnCase {
    int dx, dy;
    double degrees;
    int headTurn;
    std::string status;
};

void PrintTo(const TurnCase& c, std::ostream* os) {
    *os << "dx " << c.dx << " dy " << c.dy;
}

class HeadLineTurnTable : public testing::TestWithParam<TurnCase> {};

TEST_P(HeadLineTurnTable, AngleTurnAndStatus) {
    const TurnCase& c = GetParam();
    const HeadLineTurn turn = HeadLineTurnFor(c.dx, c.dy);
    EXPECT_NEAR(turn.degrees, c.degrees, 1e-4);
    EXPECT_EQ(turn.headTurn, c.headTurn);
    EXPECT_EQ(turn.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HeadLineTurnTable,
    testing::Values(
        // the head leans: 5 degrees to straighten, clockwise after the sign flip
        TurnCase{15, -200, -85.710, -50, "R*10=-50"},
        // straight down: nothing to straighten
        TurnCase{0, -200, -90, 0, "-90.000000"},
        // straight up (chin to head): half a turn
        TurnCase{0, 200, 90, -1800, "90.000000"},
        // a click without a drag counts as upwards
        TurnCase{0, 0, 90, -1800, "90.000000"},
        // horizontal to the right: a = 0, the prompt offers -90 degrees
        TurnCase{300, 0, 0, -900, "R*10=-900"},
        // slope under 1 / 10000 is horizontal, either side
        TurnCase{20001, 1, 0, -900, "R*10=-900"}, TurnCase{-20001, 1, 180, -2700, "R*10=-2700"},
        TurnCase{-20001, -1, 180, -2700, "R*10=-2700"},
        // leftwards and down: a near -95, the other side of straight down
        TurnCase{-15, -200, -94.289, 40, "R*10=40"},
        // leftwards and up: pi taken as 3.141592 puts 45 degrees a hair
        // beyond, so a lands a hair under 135 and the whole degree is 134
        TurnCase{-100, 100, 134.999, -2240, "R*10=-2240"},
        // one degree short of vertical in float: the cut keeps 89.999
        TurnCase{1, 57295, 89.999, -1790, "R*10=-1790"}));

TEST(HeadLine, QuestionShowsTheTurnInDegrees) {
    EXPECT_EQ(HeadTurnQuestion(-50), "角度が-5.000000度あります。回転させますか？");
    EXPECT_EQ(HeadTurnQuestion(-900), "角度が-90.000000度あります。回転させますか？");
}

// ---- The frame from the line ----

HeadLineFrameInput Example() {
    HeadLineFrameInput in;
    in.startX = 200;
    in.startY = 100;
    in.endX = 215;
    in.endY = 300;
    in.placeHeight = 531;
    in.aboveHead = 60;
    in.belowChin = 110;
    in.frameW = 413;
    in.frameH = 531;
    in.baseW = 413;
    in.baseH = 531;
    in.dispNum = 530;
    in.dispDen = 3000;
    return in;
}

struct FrameCase {
    const char* what;
    HeadLineFrameInput in;
    int code;
    HeadLineFrame frame;
};

void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.what;
}

HeadLineFrameInput With(void (*change)(HeadLineFrameInput&)) {
    HeadLineFrameInput in = Example();
    change(in);
    return in;
}

class HeadLineFrameTable : public testing::TestWithParam<FrameCase> {};

TEST_P(HeadLineFrameTable, Frame) {
    const FrameCase& c = GetParam();
    HeadLineFrame frame{-7, -7, -7, -7};
    EXPECT_EQ(HeadLineFrameFor(c.in, frame), c.code);
    EXPECT_EQ(frame, c.frame);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HeadLineFrameTable,
    testing::Values(
        // head 361: fh 200 x 531 / 361, top 100 - 60 x 294 / 531, fw 413 x 294 / 531
        FrameCase{"worked example", Example(), 0, {93, 67, 228, 294}},
        FrameCase{"scrolled view",
                  With([](HeadLineFrameInput& in) { in.scrollX = 40, in.scrollY = 25; }),
                  0,
                  {53, 42, 228, 294}},
        // 10 pixels: fh 14 is raised to 531 x 530 / 3000 + 1 = 94, top from the raw fh
        FrameCase{"short line gets the smallest frame",
                  With([](HeadLineFrameInput& in) { in.endY = 110; }),
                  0,
                  {171, 99, 73, 94}},
        // upwards: fh -294 raised to 94 too; the top lies below the start
        FrameCase{"line drawn upwards",
                  With([](HeadLineFrameInput& in) { in.endY = -100; }),
                  0,
                  {171, 133, 73, 94}},
        FrameCase{"no share left for the head",
                  With([](HeadLineFrameInput& in) { in.belowChin = 471; }),
                  kHeadLineNoHeadShare,
                  {-7, -7, -7, -7}},
        FrameCase{"head share negative",
                  With([](HeadLineFrameInput& in) { in.aboveHead = 500; }),
                  kHeadLineNoHeadShare,
                  {-7, -7, -7, -7}},
        FrameCase{"no photo shown",
                  With([](HeadLineFrameInput& in) { in.dispDen = 0; }),
                  kHeadLineNoHeadShare,
                  {-7, -7, -7, -7}}));

}  // namespace
