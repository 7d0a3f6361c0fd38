#pragma once
// The sharpening filter written as plainly as possible: a whole copy of the
// input, then every pixel in row order with the nine neighbours walked one by
// one and every division done as a division. Slow on purpose.
#include "platform/bitmap.h"

int SharpenBitmapReference(Bitmap& image);
