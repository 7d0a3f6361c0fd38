#include "reference/rotate_reference.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

int RotateBitmapReference(const Bitmap& source, Bitmap& target, int angle) {
    const int sw = source.Width(), sh = source.Height();
    const int tw = target.Width(), th = target.Height();
    if (tw > 19600 || th > 19600) return -1;
    // The grid holds columns of 9800 cells, at most 19 600 of them.
    if (sw > 19600 || sh > 9800) return -2;

    // Cell (x, y) at x * sh + y.
    std::vector<std::uint32_t> grid(static_cast<std::size_t>(sw) * sh, 0);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
            const Rgb c = source.Pixel(x, y);
            grid[static_cast<std::size_t>(x) * sh + y] = c.r * 65536 + c.g * 256 + c.b;
        }

    const int tw2 = tw / 2, th2 = th / 2, sw2 = sw / 2, sh2 = sh / 2;
    const double p = 3.141592;
    const double deg = angle * 0.1;
    const double rad = p * deg * (1.0 / 180);
    const double c = std::cos(rad), s = std::sin(rad);
    const int weights[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
    std::vector<std::uint8_t> result(static_cast<std::size_t>(tw) * th * 3);

    for (int i = 0; i < th; ++i) {
        for (int j = 0; j < tw; ++j) {
            const int dx = j - tw2;
            const int dy = th - i - th2;
            const double m = dx * c - dy * s;
            const double n = dx * s + dy * c;
            const int sx = static_cast<int>(std::trunc(m)) + sw2;
            const int sy = sh - static_cast<int>(std::trunc(n)) - sh2;
            int r = 0, g = 0, b = 0;
            if (sx >= 0 && sx < sw && sy >= 0 && sy < sh) {
                if (tw >= 10 || th >= 10) {
                    int sumR = 0, sumG = 0, sumB = 0, total = 0;
                    for (int ky = -1; ky <= 1; ++ky) {
                        for (int kx = -1; kx <= 1; ++kx) {
                            const int x = sx + kx, y = sy + ky;
                            if (x < 0 || x >= sw || y < 0 || y >= sh) continue;
                            const int w = weights[ky + 1][kx + 1];
                            const std::uint32_t cell = grid[static_cast<std::size_t>(x) * sh + y];
                            sumR += w * ((cell >> 16) & 255);
                            sumG += w * ((cell >> 8) & 255);
                            sumB += w * (cell & 255);
                            total += w;
                        }
                    }
                    if (total > 0) {
                        r = sumR / total;
                        g = sumG / total;
                        b = sumB / total;
                    }
                } else {
                    const std::uint32_t cell = grid[static_cast<std::size_t>(sx) * sh + sy];
                    r = (cell >> 16) & 255;
                    g = (cell >> 8) & 255;
                    b = cell & 255;
                }
            }
            std::uint8_t* out = &result[(static_cast<std::size_t>(i) * tw + j) * 3];
            out[0] = std::uint8_t(b);
            out[1] = std::uint8_t(g);
            out[2] = std::uint8_t(r);
        }
    }
    for (int i = 0; i < th; ++i)
        for (int j = 0; j < tw; ++j) {
            const std::uint8_t* px = &result[(static_cast<std::size_t>(i) * tw + j) * 3];
            target.SetPixel(j, i, {px[2], px[1], px[0]});
        }
    return 0;
}
