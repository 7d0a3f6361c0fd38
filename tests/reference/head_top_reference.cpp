#include "reference/head_top_reference.h"

#include <cstdint>
#include <vector>

int FindHeadTopReference(int x0, int x1, int T, const Bitmap& image, int range, int threshold,
                         bool usePicked, Rgb picked) {
    const int bw = image.Width();
    const int bh = image.Height();
    std::vector<std::uint32_t> grid(static_cast<std::size_t>(bw) * bh);
    for (int x = 0; x < bw; ++x)
        for (int y = 0; y < bh; ++y)
            grid[static_cast<std::size_t>(x) * bh + y] = PackRgb(image.Pixel(x, y));

    const int r = range;
    const int p = threshold;
    int sx = x0;
    int sy = T;
    if (sx < 0) sx = 0;
    if (sx >= bw) sx = bw - 1;
    if (sy < 0) sy = 0;
    if (sy >= bh) sy = bh - 1;
    int refR, refG, refB;
    if (usePicked) {
        refR = picked.r;
        refG = picked.g;
        refB = picked.b;
    } else {
        const std::uint32_t c = grid[static_cast<std::size_t>(sx) * bh + sy];
        refR = (c >> 16) & 0xFF;
        refG = (c >> 8) & 0xFF;
        refB = c & 0xFF;
    }
    if (refR < 64 && refG < 64 && refB < 64) return T;
    const int span = x1 - x0 + 1;
    for (int y = T; y >= 0; --y) {
        int count = 0;
        for (int x = sx; x <= sx + span - 1; ++x) {
            if (x < 0 || x >= bw || y >= bh) continue;
            const std::uint32_t c = grid[static_cast<std::size_t>(x) * bh + y];
            const int vr = (c >> 16) & 0xFF, vg = (c >> 8) & 0xFF, vb = c & 0xFF;
            if (refR - r < vr && vr < refR + r && refG - r < vg && vg < refG + r && refB - r < vb &&
                vb < refB + r)
                ++count;
        }
        if (count == 0) return y;
        if (count * 100 / span > p) return y;
    }
    return 0;
}
