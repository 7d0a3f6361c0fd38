#pragma once
// The crop frame's drag arithmetic: the grips around the frame, where they sit,
// and what one step of a drag does to the frame. No widgets here; the grip
// component applies the results to its controls.
#include <string>

// A control's bounds in its parent's coordinates.
struct FrameBounds {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const FrameBounds&, const FrameBounds&) = default;
};

// Tags of the senders: 0..7 are the grips clockwise from the top-left corner,
// 8 is the grip component itself (the margin ring) and the framed control.
constexpr int kGripCount = 8;
constexpr int kFrameTag = 8;

// What a drag of dx, dy with the sender does: left += dx * left, top += dy * top,
// width += dx * width, height += dy * height.
struct GripMultipliers {
    int left, top, width, height;
    friend bool operator==(const GripMultipliers&, const GripMultipliers&) = default;
};
// Tags outside 0..8 move the frame, as the component does.
GripMultipliers GripMultipliersOf(int tag);

// Place of a grip along the frame: 0 left or top, 1 middle, 2 right or bottom.
struct GripAlong {
    int px, py;
};
GripAlong GripAlongOf(int tag);  // tags 0..7

enum class GripCursor { DiagonalNwSe, DiagonalNeSw, Move };
GripCursor GripCursorOf(int tag);

struct GripPoint {
    int left, top;
    friend bool operator==(const GripPoint&, const GripPoint&) = default;
};
constexpr int kGripSize = 7;
constexpr int kGripOffset = 7;
constexpr int kFrameMargin = 7;
// Top-left corner of grip `tag` (0..7) for the component's own bounds.
GripPoint GripPosition(int tag, int ownLeft, int ownTop, int ownWidth, int ownHeight,
                       int gripOffset = kGripOffset, int gripSize = kGripSize);

// Limits and lock of the grip component.
struct GripLimits {
    int minW = 0, minH = 0, maxW = 0, maxH = 0;
    int boundW = 0, boundH = 0;  // right and bottom limit; left and top limit are 0
    bool keepAspect = true;
    int aspectW = 0, aspectH = 0;  // the frame's size when the grips were attached
};

struct FrameStep {
    FrameBounds frame;  // the framed control's new bounds
    FrameBounds last;   // the last accepted rectangle after the step
};

// One drag step of the sender with tag `tag` moved by (dx, dy) since the press.
// With the aspect lock the frame keeps its aspect (the width leads), stays inside
// the bounds and within the size limits, and the result is remembered as the last
// accepted rectangle; without it the multipliers are applied as they are.
FrameStep FrameMoveStep(const FrameBounds& frame, int tag, int dx, int dy, const GripLimits& limits,
                        const FrameBounds& last);

// The coordinate hint shown while dragging: the frame's position and the
// pointer (x, y) for the frame itself, the frame and the step's products for a grip.
std::string FrameHintText(int tag, const FrameBounds& frame, int x, int y, int dx, int dy);
