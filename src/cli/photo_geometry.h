#pragma once
// From the square working image back to the photo a user has: the square's
// black padding removed, the load-time reduction undone, and the size taken
// upright (an EXIF orientation of 5 to 8 swaps the stored width and height).
// The report gives every rectangle and row in these upright photo pixels.
#include "platform/bitmap.h"

struct PhotoGeometry {
    int storedWidth = 0, storedHeight = 0;  // the decoded picture, as stored in the file
    int orientation = 1;                    // EXIF orientation 1..8 (anything else counts as 1)
    int workWidth = 0, workHeight = 0;      // upright, after the load-time reduction
};

// The photo's size shown upright, at full resolution.
int UprightWidth(const PhotoGeometry& g);
int UprightHeight(const PhotoGeometry& g);

// A column or row of the square working image in upright photo pixels,
// rounded to the nearest pixel. Edges outside the photo (a frame reaching into
// the padding) map outside it, so a rectangle keeps its size and shape.
int SquareColumnToPhoto(const PhotoGeometry& g, int x);
int SquareRowToPhoto(const PhotoGeometry& g, int y);
PixelRect SquareRectToPhoto(const PhotoGeometry& g, const PixelRect& r);
