#pragma once
// Sharpening after resampling: an unsharp mask on a weighted brightness, the
// pixel's own colour rescaled to the sharpened brightness so that its hue is
// kept. Border pixels and pure blue (the overlay's transparent key) keep their
// colour.
#include <cstdint>

#include "platform/bitmap.h"
#include "platform/host.h"

// Result besides 0: the working memory could not be had; the image is untouched.
constexpr int kSharpenNoMemory = -1;

// Brightness of a colour as the filter weighs it: blue most, red least.
inline int SharpenBrightness(int r, int g, int b) {
    return (28 * r + 77 * g + 151 * b) / 255;
}

// Sharpens `image` in place, every pixel computed from the unchanged input.
// Returns 0 (pictures of any size are filtered; those under 3 pixels on a
// side have only border pixels and stay as they are) or kSharpenNoMemory. `yield` is called from
// the calling thread between bands of rows.
int SharpenBitmap(Bitmap& image, const YieldFn& yield = {});

// The filter's arithmetic opened up for its checks.
namespace sharpen_internal {

// The instructions pictures are filtered with.
enum class Path { Portable, Avx2, Avx512 };

// Caps the instructions the filter may use (no cap by default) and returns
// the path pictures now take: the best the processor has within the cap.
Path LimitPath(Path most);

// c * t / divisor truncated and clamped at 255 for `count` lanes (c <= 255,
// 1 <= divisor <= 256, t <= divisor + divisor / 2) with the division of the
// path pictures take.
void Rescale(const std::uint16_t* c, const std::uint16_t* t, const std::uint16_t* divisor,
             int count, std::uint8_t* out);

}  // namespace sharpen_internal
