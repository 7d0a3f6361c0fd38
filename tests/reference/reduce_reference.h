#pragma once
// The high-quality reduction written as plainly as possible: x-major pixel
// grids, one target pixel at a time, spans and weights worked out for each
// pixel. Slow on purpose; the fast version must match it bit for bit.
#include "platform/bitmap.h"

// Same results and target content as ReduceHighQuality (no texts, no yields).
int ReduceHighQualityReference(const Bitmap& source, Bitmap& target, int width, int height);
