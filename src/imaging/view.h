#pragma once
// The square photo view: its side from the scroll box and the zoom, how an
// image is fitted and centred in it, the scale between square-image pixels
// and view pixels (view = square x D / M), and the crop frame's size limits
// in view pixels.
#include <string>

#include "platform/bitmap.h"
#include "platform/host.h"

// Zoom percent of the zoom box's item: 0 100, 1 120, 2 150, 3 200, 4 300,
// 5 400; anything else (no item, typed text) 100.
int ZoomPercentForIndex(int index);

// Side D of the square view: the smaller client side, scaled by the zoom
// percent when an item other than the first is selected.
int ViewSide(int clientWidth, int clientHeight, int zoomIndex, int zoomPercent);

struct ViewFit {
    int width = 0, height = 0;  // the image's size inside the view
    int left = 0, top = 0;      // where it is drawn: centred, black around
    int dispNum = 0;            // D, the view's side
    int dispDen = 0;            // M, the image's longer side
    friend bool operator==(const ViewFit&, const ViewFit&) = default;
};
// How an image of imageWidth x imageHeight fits into a side x side view.
ViewFit FitImageInView(int imageWidth, int imageHeight, int side);

// The side x side view picture: black, with the image fitted and centred,
// reduced by ReduceHighQuality or, when that refuses (an enlargement, an
// extreme ratio, a side above 9800), stretched nearest-pixel. `scratch` holds
// the fitted image (reused between calls). Returns 0, or -1 when the memory
// for the pictures cannot be had (view and scratch are then empty).
int BuildViewImage(const Bitmap& image, int side, Bitmap& view, Bitmap& scratch,
                   std::string& errorText, const YieldFn& yield = {});

struct ViewPoint {
    int x = 0, y = 0;
    friend bool operator==(const ViewPoint&, const ViewPoint&) = default;
};
// Control point of a square-image point: one more than the plain scale, minus
// the scroll position, then below 0 -> 0 and above the view's side -> side - 1
// (a value equal to the side is kept).
ViewPoint SquareToControl(int x, int y, int dispNum, int dispDen, int scrollX, int scrollY,
                          int viewWidth, int viewHeight);

// A control's bounds: left, top, width, height.
struct ViewRect {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const ViewRect&, const ViewRect&) = default;
};
// The frame after a zoom change: every value x zoom / previous zoom.
ViewRect ZoomFrame(const ViewRect& frame, int zoom, int previousZoom);
// A length after a zoom change: value x zoom / previous zoom.
int ZoomLength(int value, int zoom, int previousZoom);

// Size limits of the crop frame in view pixels and the bounds it must stay in.
struct CropFrameLimits {
    int maxW = 0, maxH = 0, minW = 0, minH = 0;
    int boundW = 0, boundH = 0;  // the view's width and height
    friend bool operator==(const CropFrameLimits&, const CropFrameLimits&) = default;
};
// base = largest photo of the layout in output pixels (the smallest frame in
// square pixels), maximum = 5 x base; scaled by D / M. A limit larger than the
// view is brought inside it with its aspect kept, so that no frame is ever
// larger than the view it lives in.
CropFrameLimits CropFrameLimitsFor(int baseW, int baseH, int maxW, int maxH, int dispNum,
                                   int dispDen, int viewWidth, int viewHeight);
// A new frame of minimum size centred on the view.
ViewRect NewCropFrame(const CropFrameLimits& limits);
