#pragma once
// The head line tool's arithmetic: the turn that would make a line drawn from
// the top of the head to the chin point straight down, and the crop frame that
// gives the head the layout's share of the photo. View pixels throughout.
#include <string>

#include "platform/bitmap.h"

struct HeadLineTurn {
    double degrees = 0;  // the line's direction, counter-clockwise from +x, y upwards
    int headTurn = 0;    // tenths of a degree; 0 for a line pointing straight down
    std::string status;  // the status panel's text about the angle
};

// dx = end x - start x, dy = start y - end y (upwards positive).
HeadLineTurn HeadLineTurnFor(int dx, int dy);

// The prompt offering the turn.
std::string HeadTurnQuestion(int headTurn);

struct HeadLineFrameInput {
    int startX = 0, startY = 0, endX = 0, endY = 0;     // the line in the view
    int placeHeight = 0, aboveHead = 0, belowChin = 0;  // place 0: height, hny, bny
    int frameW = 0, frameH = 0;                         // the layout's frame aspect
    int baseW = 0, baseH = 0;                           // the smallest frame, square pixels
    int dispNum = 0, dispDen = 0;                       // view = square x num / den
    int scrollX = 0, scrollY = 0;
};

struct HeadLineFrame {
    int left = 0, top = 0, width = 0, height = 0;  // in the view's control coordinates
    friend bool operator==(const HeadLineFrame&, const HeadLineFrame&) = default;
};

// Result besides 0: the layout leaves the head no share of the place (or gives
// no frame aspect or view scale), so no frame follows from the line.
constexpr int kHeadLineNoHeadShare = -1;

// The frame from the line. The line's vertical extent is the head; a line
// drawn upwards or too short gets the smallest frame. Returns 0 or
// kHeadLineNoHeadShare (then `frame` is untouched).
int HeadLineFrameFor(const HeadLineFrameInput& in, HeadLineFrame& frame);

// Draws the line being dragged on the transparent overlay: the view's area
// pure blue (see-through), the line pure red, the key pixel at the bottom left
// kept blue. Without `line` only the clearing is done.
struct HeadLineSegment {
    int x0, y0, x1, y1;
};
void DrawHeadLineOverlay(Bitmap& overlay, int viewWidth, int viewHeight,
                         const HeadLineSegment* line);
