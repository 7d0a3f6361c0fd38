#include "reference/reduce_reference.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

int CheckSizes(long long sw, long long sh, long long w, long long h) {
    if (sw <= 0 || sh <= 0) return -15;
    if (w <= 0 || h <= 0) return -14;
    const long long difference = sw * 100 / sh - w * 100 / h;
    if (difference > 3 || difference < -3) return -10;
    if (sw == w && sh == h) return 0;
    if (sw > 9800 || sh > 9800) return -12;
    if (w > 9800 || h > 9800) return -13;
    if (w * 100 < sw || h * 100 < sh) return -14;
    if (sw <= w || sh <= h) return -15;
    return 1;
}

// Weights of a span in hundredths: the first pixel's covered part, whole
// pixels, the last pixel's covered part (which wins for a single pixel).
std::vector<long long> SpanWeights(long long startH, long long endH, long long start,
                                   long long end) {
    std::vector<long long> weights(end - start + 1);
    weights[0] = (start + 1) * 100 - startH;
    for (long long k = 1; k < end - start; ++k) weights[k] = 100;
    weights[end - start] = endH - end * 100;
    return weights;
}

}  // namespace

int ReduceHighQualityReference(const Bitmap& source, Bitmap& target, int width, int height) {
    const long long sw = source.Width(), sh = source.Height(), w = width, h = height;
    const int check = CheckSizes(sw, sh, w, h);
    if (check == 0) target = source;
    if (check != 1) return check;

    // Cell (x, y) of a grid at x * height + y, value 0x00RRGGBB.
    std::vector<std::uint32_t> src(sw * sh), dst(w * h, 0);
    for (long long y = 0; y < sh; ++y)
        for (long long x = 0; x < sw; ++x)
            src[x * sh + y] = PackRgb(source.Pixel(static_cast<int>(x), static_cast<int>(y)));

    for (long long i = 0; i < h; ++i) {
        for (long long j = 0; j < w; ++j) {
            const long long x0h = j * sw * 100 / w, y0h = i * sw * 100 / w;
            const long long x1h = (j + 1) * sw * 100 / w - 1, y1h = (i + 1) * sw * 100 / w - 1;
            const long long x0 = x0h / 100, y0 = y0h / 100, x1 = x1h / 100;
            long long y1 = y1h / 100;
            if (x1 >= sw) continue;
            if (y1 >= sh) y1 = sh - 1;
            if (y1 < y0) continue;
            const std::vector<long long> wx = SpanWeights(x0h, x1h, x0, x1);
            const std::vector<long long> wy = SpanWeights(y0h, y1h, y0, y1);
            long long sumR = 0, sumG = 0, sumB = 0, total = 0;
            for (long long kx = 0; kx <= x1 - x0; ++kx) {
                for (long long ky = 0; ky <= y1 - y0; ++ky) {
                    const long long x = x0 + kx, y = y0 + ky;
                    if (x < 0 || x >= sw || y < 0 || y >= sh) continue;
                    const long long weight = wx[kx] * wy[ky];
                    const std::uint32_t p = src[x * sh + y];
                    sumR += weight * ((p >> 16) & 0xFF);
                    sumG += weight * ((p >> 8) & 0xFF);
                    sumB += weight * (p & 0xFF);
                    total += weight;
                }
            }
            if (total > 0) {
                const long long r = std::min(sumR / total, 255LL);
                const long long g = std::min(sumG / total, 255LL);
                const long long b = std::min(sumB / total, 255LL);
                dst[j * h + i] = static_cast<std::uint32_t>(r * 65536 + g * 256 + b);
            }
        }
    }

    target.SetSize(width, height, kWhite);
    for (long long i = 0; i < h; ++i) {
        for (long long j = 0; j < w; ++j) {
            Rgb c = UnpackRgb(dst[j * h + i]);
            const bool inside = j > 0 && j < w - 1 && i > 0 && i < h - 1;
            if (inside && (c.r * 28 + c.g * 77 + c.b * 151) / 255 == 0) c = kBlack;
            target.SetPixel(static_cast<int>(j), static_cast<int>(i), c);
        }
    }
    return 0;
}
