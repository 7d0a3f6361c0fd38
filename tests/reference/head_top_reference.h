#pragma once
// The head-top scan written as plainly as possible: the whole picture copied
// into an x-major grid of 0x00RRGGBB cells first, then one cell at a time.
// Slow on purpose; FindHeadTop must match it on every input.
#include "platform/bitmap.h"

int FindHeadTopReference(int x0, int x1, int T, const Bitmap& image, int range, int threshold,
                         bool usePicked, Rgb picked);
