#include "imaging/view.h"

#include <algorithm>
#include <new>

#include "imaging/reduce.h"

namespace {

// value x numerator / denominator, multiplication first, truncating; 0 for a
// zero denominator (nothing shown yet).
int Scale(long long value, long long numerator, long long denominator) {
    return denominator == 0 ? 0 : static_cast<int>(value * numerator / denominator);
}

long long ScaleWide(long long value, long long numerator, long long denominator) {
    return denominator == 0 ? 0 : value * numerator / denominator;
}

// w x h brought inside bw x bh with its aspect kept (the longer-reaching side
// lands on the bound, the other follows truncating); unchanged when it fits.
ViewRect FitInside(long long w, long long h, int bw, int bh) {
    if (w <= bw && h <= bh) return {0, 0, static_cast<int>(w), static_cast<int>(h)};
    if (bw <= 0 || bh <= 0 || w <= 0 || h <= 0) return {0, 0, std::max(bw, 0), std::max(bh, 0)};
    if (w * bh > h * bw) return {0, 0, bw, static_cast<int>(h * bw / w)};
    return {0, 0, static_cast<int>(w * bh / h), bh};
}

int ClampToView(int value, int side) {
    if (value < 0) return 0;
    if (value > side) return std::max(side - 1, 0);
    return value;
}

}  // namespace

int ZoomPercentForIndex(int index) {
    switch (index) {
        case 0:
            return 100;
        case 1:
            return 120;
        case 2:
            return 150;
        case 3:
            return 200;
        case 4:
            return 300;
        case 5:
            return 400;
        default:
            return 100;
    }
}

int ViewSide(int clientWidth, int clientHeight, int zoomIndex, int zoomPercent) {
    const int side = std::min(clientWidth, clientHeight);
    return zoomIndex > 0 ? Scale(side, zoomPercent, 100) : side;
}

ViewFit FitImageInView(int imageWidth, int imageHeight, int side) {
    const long long sw = imageWidth, sh = imageHeight;
    ViewFit fit;
    if (sw * side == side * sh || sw <= 0 || sh <= 0) {
        fit.width = fit.height = side;
    } else if (static_cast<float>(sw) / static_cast<float>(sh) >
               static_cast<float>(side) / static_cast<float>(side)) {
        fit.width = side;
        fit.height = Scale(side, sh, sw);
    } else {
        fit.width = Scale(side, sw, sh);
        fit.height = side;
    }
    fit.left = (side - fit.width) / 2;
    fit.top = (side - fit.height) / 2;
    fit.dispNum = side;
    fit.dispDen = std::max(imageWidth, imageHeight);
    return fit;
}

int BuildViewImage(const Bitmap& image, int side, Bitmap& view, Bitmap& scratch,
                   std::string& errorText, const YieldFn& yield) {
    try {
        view.SetSize(side, side, kBlack);
        const ViewFit fit = FitImageInView(image.Width(), image.Height(), side);
        if (ReduceHighQuality(image, scratch, fit.width, fit.height, errorText, yield) != 0) {
            scratch.SetSize(fit.width, fit.height, kBlack);  // an empty image stretches nothing
            StretchDraw(image, scratch);
        }
        Draw(scratch, view, fit.left, fit.top);
        return 0;
    } catch (const std::bad_alloc&) {
        view = Bitmap();
        scratch = Bitmap();
        return -1;
    }
}

ViewPoint SquareToControl(int x, int y, int dispNum, int dispDen, int scrollX, int scrollY,
                          int viewWidth, int viewHeight) {
    const int cx = Scale(x, dispNum, dispDen) + 1 - scrollX;
    const int cy = Scale(y, dispNum, dispDen) + 1 - scrollY;
    return {ClampToView(cx, viewWidth), ClampToView(cy, viewHeight)};
}

int ZoomLength(int value, int zoom, int previousZoom) {
    return Scale(value, zoom, previousZoom);
}

ViewRect ZoomFrame(const ViewRect& frame, int zoom, int previousZoom) {
    return {ZoomLength(frame.left, zoom, previousZoom), ZoomLength(frame.top, zoom, previousZoom),
            ZoomLength(frame.width, zoom, previousZoom),
            ZoomLength(frame.height, zoom, previousZoom)};
}

CropFrameLimits CropFrameLimitsFor(int baseW, int baseH, int maxW, int maxH, int dispNum,
                                   int dispDen, int viewWidth, int viewHeight) {
    // A photo smaller than the layout's places would need a frame larger than
    // the view (a 1 x 1 photo asks for 200 000 pixels a side): the frame and
    // its limits are kept to the view, as automatic framing keeps its frame.
    const ViewRect max = FitInside(ScaleWide(maxW, dispNum, dispDen),
                                   ScaleWide(maxH, dispNum, dispDen), viewWidth, viewHeight);
    const ViewRect min = FitInside(ScaleWide(baseW, dispNum, dispDen),
                                   ScaleWide(baseH, dispNum, dispDen), viewWidth, viewHeight);
    return {max.width, max.height, min.width, min.height, viewWidth, viewHeight};
}

ViewRect NewCropFrame(const CropFrameLimits& limits) {
    return {(limits.boundW - limits.minW) / 2, (limits.boundH - limits.minH) / 2, limits.minW,
            limits.minH};
}
