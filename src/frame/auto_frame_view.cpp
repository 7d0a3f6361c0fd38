#include "frame/auto_frame_view.h"

#include <algorithm>

bool PlaceAutoFrameInView(const PixelRect& box, int frameH, const AutoFrameView& v,
                          AutoFramePlacement& placement) {
    const int D = v.dispNum, M = v.dispDen;
    if (M <= 0 || v.aspectW <= 0 || v.aspectH <= 0) return false;
    int vh = std::max(frameH * D / M + 1, v.baseH * D / M + 1);
    const int cy = (box.top + frameH / 2) * D / M + 1;
    int vtop = cy - vh / 2;
    int vw = std::max(v.aspectW * vh / v.aspectH, v.baseW * D / M + 1);
    const int cx = (box.left + (box.right - box.left) / 2) * D / M + 1;
    int vleft = cx - vw / 2 - v.scrollX;
    vtop -= v.scrollY;
    placement.unclamped = {vleft, vtop, vw, vh};

    // Shrunk with the layout's aspect when it is larger than the view; the
    // centre taken again then is the view's, without the scroll positions.
    const int VW = v.viewWidth, VH = v.viewHeight;
    if (vtop + vh > VH) {
        vtop = VH - vh;
        if (vtop < 0) {
            vtop = 0;
            vh = VH;
            vw = v.aspectW * vh / v.aspectH;
            vleft = cx - vw / 2;
        }
    }
    if (vleft < 0) vleft = 0;
    if (vleft + vw > VW) {
        vleft = VW - vw;
        if (vleft < 0) {
            vleft = 0;
            vw = VW;
            vh = v.aspectH * vw / v.aspectW;
            vtop = cy - vh / 2;
        }
    }
    placement.frame = {vleft, vtop, vw, vh};
    return true;
}

bool PlaceAutoFrameInSquare(const PixelRect& photoBox, int frameH, int side, int baseW, int baseH,
                            int aspectW, int aspectH, PixelRect& cut) {
    const AutoFrameView square{side, side, 0, 0, side, side, baseW, baseH, aspectW, aspectH};
    AutoFramePlacement placed;
    if (!PlaceAutoFrameInView(photoBox, frameH, square, placed)) return false;
    const ViewRect& f = placed.frame;
    cut = PixelRect{f.left, f.top, f.left + f.width, f.top + f.height};
    return true;
}
