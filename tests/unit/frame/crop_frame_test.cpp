#include "frame/crop_frame.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

// A 530 x 530 view of a 3000-pixel square and a layout whose largest photo is
// 413 x 531: the frame lies between 72 x 93 and 364 x 469 view pixels.
GripLimits ViewLimits() {
    GripLimits lim;
    lim.minW = 413 * 530 / 3000;
    lim.minH = 531 * 530 / 3000;
    lim.maxW = 5 * 413 * 530 / 3000;
    lim.maxH = 5 * 531 * 530 / 3000;
    lim.boundW = 530;
    lim.boundH = 530;
    lim.keepAspect = true;
    lim.aspectW = 72;
    lim.aspectH = 93;
    return lim;
}

// The smallest frame, centred: where a new photo's frame starts.
constexpr FrameBounds kCentred{229, 218, 72, 93};

struct MoveCase {
    const char* name;
    FrameBounds frame;
    FrameBounds last;
    int tag, dx, dy;
    FrameBounds expected;
};

void PrintTo(const MoveCase& c, std::ostream* os) {
    *os << c.name;
}

class LockedMove : public ::testing::TestWithParam<MoveCase> {};

TEST_P(LockedMove, GivesFrameAndRemembersIt) {
    const MoveCase& c = GetParam();
    const FrameStep step = FrameMoveStep(c.frame, c.tag, c.dx, c.dy, ViewLimits(), c.last);
    const FrameBounds& e = c.expected;
    EXPECT_EQ(step.frame, e) << step.frame.left << "," << step.frame.top << " " << step.frame.width
                             << "x" << step.frame.height;
    EXPECT_EQ(step.last, e);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, LockedMove,
    ::testing::Values(
        // The limits themselves.
        MoveCase{"limits", kCentred, kCentred, 8, 0, 0, {229, 218, 73, 94}},
        // Bottom-right dragged left below the minimum stops at minimum + 1.
        MoveCase{"bottom_right_below_minimum", kCentred, kCentred, 4, -20, 0, {229, 218, 73, 94}},
        // Top-left: width 100 gives height 100 * 93 / 72 = 129, bottom-right stays.
        MoveCase{
            "top_left_keeps_bottom_right", kCentred, kCentred, 0, -28, -36, {201, 182, 100, 129}},
        // The width leads: a purely vertical pull on a corner changes nothing.
        MoveCase{"corner_height_follows_width",
                 {100, 100, 100, 129},
                 {100, 100, 100, 129},
                 4,
                 0,
                 40,
                 {100, 100, 100, 129}},
        // Top-right keeps the bottom edge and the left edge.
        MoveCase{"top_right", kCentred, kCentred, 2, 28, 0, {229, 182, 100, 129}},
        // Bottom-left keeps the top edge and the right edge.
        MoveCase{"bottom_left", kCentred, kCentred, 6, -28, 0, {201, 218, 100, 129}},
        // The opposite corner comes from the last accepted rectangle, not the frame.
        MoveCase{
            "corner_uses_last_accepted", {0, 0, 72, 93}, kCentred, 0, -28, 0, {201, 182, 100, 129}},
        // The frame dragged past the right edge stops with its right edge on the bound.
        MoveCase{"frame_past_right", kCentred, kCentred, 8, 300, 0, {458, 218, 73, 94}},
        MoveCase{"frame_past_left", kCentred, kCentred, 8, -300, 0, {0, 218, 73, 94}},
        MoveCase{"frame_past_bottom", kCentred, kCentred, 5, 0, 400, {229, 437, 73, 94}},
        MoveCase{"frame_past_top", kCentred, kCentred, 7, 0, -400, {229, 0, 73, 94}},
        // The middle grips move the frame instead of resizing it.
        MoveCase{"top_middle_moves",
                 {229, 218, 73, 94},
                 {229, 218, 73, 94},
                 1,
                 10,
                 5,
                 {239, 223, 73, 94}},
        // Width leads; a frame wider than the aspect is pulled back to it: 99 x 129.
        MoveCase{
            "narrowed_to_aspect", {0, 0, 100, 100}, {0, 0, 100, 100}, 4, 0, 0, {0, 0, 99, 129}},
        // Growth beyond the maximum: first kept inside, then cut to the maximum.
        MoveCase{"bottom_right_beyond_maximum",
                 {0, 0, 72, 93},
                 {0, 0, 72, 93},
                 4,
                 400,
                 0,
                 {0, 0, 364, 469}},
        // The position is fixed before the minimum raises the size, so a top-left
        // drag below the minimum pushes the bottom-right corner out.
        MoveCase{"top_left_below_minimum", kCentred, kCentred, 0, 20, 0, {249, 244, 73, 94}},
        // Too narrow and too tall at once: back to the last accepted rectangle.
        MoveCase{"too_small_and_too_large",
                 {10, 10, 50, 500},
                 {229, 218, 73, 94},
                 4,
                 30,
                 30,
                 {229, 218, 73, 94}}),
    [](const ::testing::TestParamInfo<MoveCase>& info) { return std::string(info.param.name); });

TEST(FrameMoveStep, ComparesAspectInFloatingPoint) {
    // 69 x 89 asks 77.53 % against the frame's 77.66 %: the width is pulled back
    // to 72 * 89 / 93 = 68. Whole-number ratios (77 against 77) would keep 69.
    GripLimits lim = ViewLimits();
    lim.minW = lim.minH = 10;
    const FrameBounds f{0, 0, 73, 94};
    const FrameStep step = FrameMoveStep(f, 4, -4, 0, lim, f);
    EXPECT_EQ(step.frame, (FrameBounds{0, 0, 68, 89}));
}

TEST(FrameMoveStep, WithoutLockAppliesMultipliersOnly) {
    GripLimits lim = ViewLimits();
    lim.keepAspect = false;
    const FrameBounds last{1, 2, 3, 4};
    // Top-left corner: left and top follow, width and height shrink; no limits.
    FrameStep step = FrameMoveStep({500, 500, 72, 93}, 0, 50, -10, lim, last);
    EXPECT_EQ(step.frame, (FrameBounds{550, 490, 22, 103}));
    EXPECT_EQ(step.last, last);
    // A zero aspect also switches the lock off.
    lim = ViewLimits();
    lim.aspectH = 0;
    step = FrameMoveStep({0, 0, 72, 93}, 6, -5, 7, lim, last);
    EXPECT_EQ(step.frame, (FrameBounds{-5, 0, 77, 100}));
}

TEST(FrameMoveStep, ZeroSizedFrameDoesNotFault) {
    // A frame attached at zero size: the ratios divide by zero in floating point.
    const FrameBounds f{5, 5, 0, 0};
    const FrameStep step = FrameMoveStep(f, 4, 0, 0, ViewLimits(), f);
    EXPECT_EQ(step.frame, (FrameBounds{5, 5, 73, 94}));
}

TEST(GripPosition, FollowsOwnBoundsWithTruncation) {
    // Component around the centred frame: (222, 211) 86 x 107.
    const int own[4] = {222, 211, 86, 107};
    const GripPoint expected[kGripCount] = {{222, 211}, {261, 211}, {300, 211}, {300, 260},
                                            {300, 310}, {261, 310}, {222, 310}, {222, 260}};
    for (int tag = 0; tag < kGripCount; ++tag)
        EXPECT_EQ(GripPosition(tag, own[0], own[1], own[2], own[3]), expected[tag]) << tag;
    // Smaller than the grips: -2.5 truncates toward zero.
    EXPECT_EQ(GripPosition(3, 0, 0, 3, 3), (GripPoint{-5, -2}));
}

TEST(GripTable, CornersResizeOthersMove) {
    const GripMultipliers move{1, 1, 0, 0};
    EXPECT_EQ(GripMultipliersOf(0), (GripMultipliers{1, 1, -1, -1}));
    EXPECT_EQ(GripMultipliersOf(2), (GripMultipliers{0, 1, 1, -1}));
    EXPECT_EQ(GripMultipliersOf(4), (GripMultipliers{0, 0, 1, 1}));
    EXPECT_EQ(GripMultipliersOf(6), (GripMultipliers{1, 0, -1, 1}));
    for (int tag : {1, 3, 5, 7, 8, 99}) EXPECT_EQ(GripMultipliersOf(tag), move) << tag;
    EXPECT_EQ(GripCursorOf(0), GripCursor::DiagonalNwSe);
    EXPECT_EQ(GripCursorOf(4), GripCursor::DiagonalNwSe);
    EXPECT_EQ(GripCursorOf(2), GripCursor::DiagonalNeSw);
    EXPECT_EQ(GripCursorOf(6), GripCursor::DiagonalNeSw);
    EXPECT_EQ(GripCursorOf(3), GripCursor::Move);
}

TEST(FrameHintText, FrameAndGripTexts) {
    const FrameBounds f{229, 218, 73, 94};
    EXPECT_EQ(FrameHintText(8, f, 12, -3, 4, 5), "X: 229, Y: 218 (12 -3)");
    EXPECT_EQ(FrameHintText(0, f, 12, -3, 4, 5),
              "LX: 229, TY: 218 W:73 H:94 nwx:-4 nhy:-5 mx:4 my:5");
    EXPECT_EQ(FrameHintText(4, f, 0, 0, 4, 5), "LX: 229, TY: 218 W:73 H:94 nwx:4 nhy:5 mx:0 my:0");
}

}  // namespace
