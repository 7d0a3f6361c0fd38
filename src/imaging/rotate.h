#pragma once
// Turning a picture by whole tenths of a degree about its centre, as the
// photo view and the sheet's turned places need it. Every target pixel is
// mapped back into the source, where the 3 x 3 weighted mean around the hit
// pixel is taken; target pixels that map outside the source are black.
#include "platform/bitmap.h"
#include "platform/host.h"

// Largest target side the rotation accepts.
constexpr int kRotateMaxTargetSide = 19600;
// Largest source the rotation accepts: the pixel grid it is defined on holds
// columns of 9800 cells, two grids side by side.
constexpr int kRotateMaxSourceWidth = 19600;
constexpr int kRotateMaxSourceHeight = 9800;

// Results besides 0.
constexpr int kRotateTargetTooLarge = -1;
constexpr int kRotateSourceTooLarge = -2;
constexpr int kRotateNoMemory = -3;  // the working memory could not be had

// The value of pi the angles are converted with.
constexpr double kRotatePi = 3.141592;

// Fills `target` (its size is kept) with `source` turned clockwise by `angle`
// tenths of a degree about the two centres (half sizes, truncated). Targets
// with both sides under 10 take single source pixels instead of the 3 x 3
// mean. Returns 0, or a refusal code that leaves the target untouched.
// `yield` is called from the calling thread between bands of rows. Repeated
// calls on one thread allocate nothing once their scratch has grown.
int RotateBitmap(const Bitmap& source, Bitmap& target, int angle, const YieldFn& yield = {});
