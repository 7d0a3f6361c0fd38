#pragma once
// The head top by background colour: starting at the face rectangle's top
// row, move up until the background colour fills a band around the head.
#include <vector>

#include "platform/bitmap.h"

struct HeadTopSettings {
    int range = 50;                // colour range counted as background (±), 0..100
    int threshold = 80;            // share of background that ends the scan, percent
    bool usePickedColour = false;  // the main window's "背景色を指定"
    Rgb pickedColour = kWhite;     // the swatch's colour
};

// Where a scan took its reference colour from (square-image pixels).
struct HeadTopSample {
    int x = 0, y = 0;
    bool sampledFromImage = false;  // false when the picked colour was the reference
    friend bool operator==(const HeadTopSample&, const HeadTopSample&) = default;
};

// The head-top row above a face whose top row is `top`, judged in the columns
// x0..x1 of `image`: `top` itself when the reference colour is dark (all of
// red, green and blue below 64) or the top row holds no background; 0 when no
// row ends the scan. `sample`, when given, receives the sample point.
int FindHeadTop(int x0, int x1, int top, const Bitmap& image, const HeadTopSettings& settings,
                HeadTopSample* sample = nullptr);

// Any head-top finder with FindHeadTop's contract, so that another method can
// be chosen in the framing options.
using HeadTopFinder = int (*)(int x0, int x1, int top, const Bitmap& image,
                              const HeadTopSettings& settings, HeadTopSample* sample);
