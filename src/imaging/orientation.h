#pragma once
// Turning and mirroring a decoded photo so that it shows as the camera was
// held (the EXIF Orientation values 1 ... 8).
#include "platform/bitmap.h"

// Applies `orientation` to `photo`: 2 mirrors left-right, 3 turns 180°,
// 4 mirrors top-bottom, 5 transposes, 6 turns 90° clockwise, 7 transposes
// across the other diagonal, 8 turns 90° anticlockwise. 1 and values outside
// 1 ... 8 leave it as it is.
void ApplyExifOrientation(Bitmap& photo, int orientation);
