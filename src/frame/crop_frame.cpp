#include "frame/crop_frame.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "platform/text_format.h"

namespace {

constexpr GripMultipliers kMoveMultipliers{1, 1, 0, 0};

constexpr GripMultipliers kMultipliers[kGripCount] = {
    {1, 1, -1, -1}, kMoveMultipliers, {0, 1, 1, -1}, kMoveMultipliers,
    {0, 0, 1, 1},   kMoveMultipliers, {1, 0, -1, 1}, kMoveMultipliers,
};

constexpr GripAlong kAlong[kGripCount] = {
    {0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1},
};

bool IsGrip(int tag) {
    return tag >= 0 && tag < kGripCount;
}

// a * b / c with the product taken wide, truncating toward zero.
int MulDiv(int a, int b, int c) {
    return static_cast<int>(static_cast<std::int64_t>(a) * b / c);
}

// Width and height that a locked drag asks for; the width leads.
void AspectSize(const FrameBounds& f, const GripMultipliers& m, int dx, int dy,
                const GripLimits& lim, int& nw, int& nh) {
    nw = f.width + dx * m.width;
    nh = f.height + dy * m.height;
    if (static_cast<std::int64_t>(nw) * lim.aspectH == static_cast<std::int64_t>(lim.aspectW) * nh)
        return;
    nh = MulDiv(nw, lim.aspectH, lim.aspectW);
    const double asked = (nw * 100.0) / nh;
    const double present = (f.width * 100.0) / f.height;
    if (asked < present) nw = MulDiv(lim.aspectW, nh, lim.aspectH);
}

// Left and top for the new size: corners keep the opposite corner of the last
// accepted rectangle, everything else moves by the step.
void PlaceByTag(const FrameBounds& f, int tag, int dx, int dy, const FrameBounds& last, int nw,
                int nh, int& left, int& top) {
    const int keptRight = last.left + last.width;
    const int keptBottom = last.top + last.height;
    switch (tag) {
        case 0:
            left = keptRight - nw;
            top = keptBottom - nh;
            break;
        case 2:
            left = f.left;
            top = keptBottom - nh;
            break;
        case 4:
            left = f.left;
            top = f.top;
            break;
        case 6:
            left = keptRight - nw;
            top = f.top;
            break;
        default:
            left = f.left + dx;
            top = f.top + dy;
            break;
    }
}

void KeepInside(const GripLimits& lim, int nw, int nh, int& left, int& top) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    if (left + nw > lim.boundW) left = lim.boundW - nw;
    if (top + nh > lim.boundH) top = lim.boundH - nh;
    left = std::max(left, 0);
    top = std::max(top, 0);
}

FrameBounds LockedStep(const FrameBounds& f, int tag, int dx, int dy, const GripLimits& lim,
                       const FrameBounds& last) {
    const GripMultipliers m = GripMultipliersOf(tag);
    int nw = 0, nh = 0, left = 0, top = 0;
    AspectSize(f, m, dx, dy, lim, nw, nh);
    PlaceByTag(f, tag, dx, dy, last, nw, nh, left, top);
    KeepInside(lim, nw, nh, left, top);
    // The size limits come after the position, in this order.
    nw = std::max(nw, lim.minW + 1);
    nh = std::max(nh, lim.minH + 1);
    nw = std::min(nw, lim.maxW);
    nh = std::min(nh, lim.maxH);
    return {left, top, nw, nh};
}

}  // namespace

GripMultipliers GripMultipliersOf(int tag) {
    return IsGrip(tag) ? kMultipliers[tag] : kMoveMultipliers;
}

GripAlong GripAlongOf(int tag) {
    return IsGrip(tag) ? kAlong[tag] : GripAlong{0, 0};
}

GripCursor GripCursorOf(int tag) {
    switch (tag) {
        case 0:
        case 4:
            return GripCursor::DiagonalNwSe;
        case 2:
        case 6:
            return GripCursor::DiagonalNeSw;
        default:
            return GripCursor::Move;
    }
}

GripPoint GripPosition(int tag, int ownLeft, int ownTop, int ownWidth, int ownHeight,
                       int gripOffset, int gripSize) {
    const GripAlong at = GripAlongOf(tag);
    // Truncation toward zero, as the conversion of the half-way product does.
    const int x = static_cast<int>((ownWidth - 2 * gripOffset + gripSize - 1) * at.px * 0.5);
    const int y = static_cast<int>((ownHeight - 2 * gripOffset + gripSize - 1) * at.py * 0.5);
    return {x + ownLeft - gripSize + gripOffset, y + ownTop - gripSize + gripOffset};
}

FrameStep FrameMoveStep(const FrameBounds& frame, int tag, int dx, int dy, const GripLimits& lim,
                        const FrameBounds& last) {
    const bool tooSmall = frame.width < lim.minW || frame.height < lim.minH;
    const bool tooLarge = frame.width > lim.maxW || frame.height > lim.maxH;
    if (tooSmall && tooLarge) return {last, last};
    if (lim.keepAspect && lim.aspectW > 0 && lim.aspectH > 0) {
        const FrameBounds next = LockedStep(frame, tag, dx, dy, lim, last);
        return {next, next};
    }
    const GripMultipliers m = GripMultipliersOf(tag);
    return {{frame.left + dx * m.left, frame.top + dy * m.top, frame.width + dx * m.width,
             frame.height + dy * m.height},
            last};
}

std::string FrameHintText(int tag, const FrameBounds& f, int x, int y, int dx, int dy) {
    if (tag == kFrameTag) return FormatText("X: %d, Y: %d (%d %d)", f.left, f.top, x, y);
    const GripMultipliers m = GripMultipliersOf(tag);
    return FormatText("LX: %d, TY: %d W:%d H:%d nwx:%d nhy:%d mx:%d my:%d", f.left, f.top, f.width,
                      f.height, dx * m.width, dy * m.height, dx * m.left, dy * m.top);
}
