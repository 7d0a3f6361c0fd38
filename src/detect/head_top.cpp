#include "detect/head_top.h"

#include <algorithm>

namespace {

int ClampToSize(int v, int size) {
    if (v < 0) v = 0;
    if (v >= size) v = size - 1;
    return v;
}

}  // namespace

int FindHeadTop(int x0, int x1, int top, const Bitmap& image, const HeadTopSettings& settings,
                HeadTopSample* sample) {
    const int bw = image.Width(), bh = image.Height();
    if (bw <= 0 || bh <= 0) return top;
    const int sx = ClampToSize(x0, bw);
    const int sy = ClampToSize(top, bh);
    const Rgb ref = settings.usePickedColour ? settings.pickedColour : image.Pixel(sx, sy);
    if (sample) *sample = {sx, sy, !settings.usePickedColour};
    if (ref.r < 64 && ref.g < 64 && ref.b < 64) return top;

    const int r = settings.range, p = settings.threshold;
    const int span = x1 - x0 + 1;
    // Columns of the band that lie inside the image; the rest never match but
    // still count in span.
    const int first = sx;
    const int last = std::min(sx + span - 1, bw - 1);
    // A channel matches when ref - r < v < ref + r, i.e. |v - ref| < r.
    auto near = [r](int v, int ref) { return v > ref - r && v < ref + r; };
    for (int y = top; y >= 0; --y) {
        int count = 0;
        if (y < bh) {
            const std::uint8_t* px = image.Row(y) + first * 3;
            for (int x = first; x <= last; ++x, px += 3)
                count += near(px[2], ref.r) && near(px[1], ref.g) && near(px[0], ref.b);
        }
        if (count == 0) return y;
        if (count * 100 / span > p) return y;
    }
    return 0;
}
