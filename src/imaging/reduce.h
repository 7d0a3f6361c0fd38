#pragma once
// High-quality reduction: every target pixel is the average of the source
// pixels it covers, each weighted by how much of it lies under the target
// pixel, in hundredths of a pixel. Only moderate reductions with nearly the
// same aspect ratio are accepted; anything else is refused with a reason so
// that the caller can fall back to a plain stretch.
#include <string>

#include "platform/bitmap.h"
#include "platform/host.h"

// Largest side of source and target the reduction accepts.
constexpr int kReduceMaxSide = 9800;

// Results besides 0 (0 is also returned, with its own text, for equal sizes).
constexpr int kReduceRatioDiffers = -10;
constexpr int kReduceNoMemory = -11;  // the working memory could not be had
constexpr int kReduceSourceTooLarge = -12;
constexpr int kReduceTargetTooLarge = -13;
constexpr int kReduceTooStrong = -14;
constexpr int kReduceEnlargement = -15;
constexpr int kReduceSourceTooLargeAtWork = -16;

// Reduces `source` to width x height into `target` (which may be `source`
// itself). `errorText` is emptied first and receives the reason of a refusal,
// or the same-size note. Returns 0 when the target holds the result: the
// reduced picture, or a copy of the source when the sizes are equal. Any
// other result leaves the target untouched. `yield` is called from the calling
// thread between bands of rows.
int ReduceHighQuality(const Bitmap& source, Bitmap& target, int width, int height,
                      std::string& errorText, const YieldFn& yield = {});
