#pragma once
// Where automatic framing puts the crop frame in the photo view: the photo box
// found in square-image pixels scaled to the view (view = square x D / M, one
// pixel more, as the frame placement has always done), at least the layout's
// smallest frame, in the layout's aspect, kept inside the view. The window
// shows the frame there; the batch command places it the same way on a view
// as large as the square and cuts it out.
#include "imaging/view.h"
#include "platform/bitmap.h"

struct AutoFrameView {
    int dispNum = 0, dispDen = 0;       // D and M of the view scale
    int scrollX = 0, scrollY = 0;       // the scroll box's positions
    int viewWidth = 0, viewHeight = 0;  // the photo view's size
    int baseW = 0, baseH = 0;           // the smallest frame, square pixels
    int aspectW = 0, aspectH = 0;       // the frame's aspect
};

struct AutoFramePlacement {
    ViewRect frame;      // control coordinates: left, top, width, height
    ViewRect unclamped;  // before it was kept inside the view (for the status text)
};

// False when the view or the aspect is degenerate (nothing placed).
// `frameH` is the photo box's height (fh).
bool PlaceAutoFrameInView(const PixelRect& photoBox, int frameH, const AutoFrameView& view,
                          AutoFramePlacement& placement);

// The same placement on a view as large as the square (side x side): the
// frame in the square's own pixels, right and bottom exclusive, which is what
// a sheet cuts out of an automatic frame nobody has moved. False as above.
bool PlaceAutoFrameInSquare(const PixelRect& photoBox, int frameH, int side, int baseW, int baseH,
                            int aspectW, int aspectH, PixelRect& cut);
