#pragma once
// The rotation written as plainly as possible: the source copied into an
// x-major grid of 0x00RRGGBB cells, then every target pixel mapped back with
// the formula and its 3 x 3 neighbourhood walked one cell at a time. Slow on
// purpose; the fast version must match it bit for bit, results included.
#include "platform/bitmap.h"

int RotateBitmapReference(const Bitmap& source, Bitmap& target, int angle);
