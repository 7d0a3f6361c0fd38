#include "frame/head_line.h"

#include <cmath>

#include "platform/text_format.h"

namespace {

constexpr double kPi = 3.141592;

double Degrees(double dy, double dx) {
    return std::atan(dy / dx) * 180 / kPi;
}

}  // namespace

HeadLineTurn HeadLineTurnFor(int dx, int dy) {
    HeadLineTurn turn;
    if (dx == 0) {
        const int a = dy >= 0 ? 90 : -90;
        turn.degrees = a;
        turn.headTurn = -10 * a - 900;
        turn.status = FormatText("%f", turn.degrees);
        return turn;
    }
    // Nearly horizontal lines (a slope under 1 / 10000) count as exactly so.
    double a;
    if (dx > 0) {
        a = (dy * 10000.0 > dx || -dy * 10000.0 > dx) ? Degrees(dy, dx) : 0;
    } else if (dy * 10000.0 > -dx) {
        a = Degrees(dy, dx) + 180;
    } else if (-dy * 10000.0 > -dx) {
        a = Degrees(dy, dx) - 180;
    } else {
        a = 180;
    }
    // Cut to thousandths, the product rounded to single precision: an angle a
    // hair below a whole degree counts as that degree.
    const float thousandths = std::trunc(static_cast<float>(a) * 1000.0f);
    const float cut = static_cast<float>(thousandths * 0.001);
    turn.degrees = cut;
    turn.headTurn = -10 * static_cast<int>(std::trunc(cut)) - 900;
    turn.status = FormatText("R*10=%d", turn.headTurn);
    return turn;
}

std::string HeadTurnQuestion(int headTurn) {
    return FormatText("角度が%f度あります。回転させますか？", headTurn * 0.1);
}

int HeadLineFrameFor(const HeadLineFrameInput& in, HeadLineFrame& frame) {
    const int h0 = in.placeHeight;
    const int head = h0 - in.aboveHead - in.belowChin;
    if (head <= 0 || h0 <= 0 || in.frameH <= 0 || in.dispDen <= 0) return kHeadLineNoHeadShare;
    // 64-bit products: a long line on a large view times a sheet-pixel height.
    int fh = static_cast<int>(static_cast<long long>(in.endY - in.startY) * h0 / head);
    const int top = in.startY - static_cast<int>(static_cast<long long>(in.aboveHead) * fh / h0);
    const int minH =
        static_cast<int>(static_cast<long long>(in.baseH) * in.dispNum / in.dispDen) + 1;
    if (fh < minH) fh = minH;
    int fw = static_cast<int>(static_cast<long long>(in.frameW) * fh / in.frameH);
    const int minW =
        static_cast<int>(static_cast<long long>(in.baseW) * in.dispNum / in.dispDen) + 1;
    if (fw < minW) fw = minW;
    const int cx = in.startX + (in.endX - in.startX) / 2;
    frame.left = cx - fw / 2 - in.scrollX;
    frame.top = top - in.scrollY;
    frame.width = fw;
    frame.height = fh;
    return 0;
}

void DrawHeadLineOverlay(Bitmap& overlay, int viewWidth, int viewHeight,
                         const HeadLineSegment* line) {
    overlay.FillRect({0, 0, viewWidth, viewHeight}, kPureBlue);
    if (line) DrawLine(overlay, line->x0, line->y0, line->x1, line->y1, kPureRed);
    overlay.PutPixel(0, overlay.Height() - 1, kPureBlue);
}
