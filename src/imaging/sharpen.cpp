// Sharpening, row by row from one copy of the input so that rows are
// independent (and can run side by side).
//
// The per-pixel division c * T / Y0 is done as a multiplication by a
// reciprocal: with m = floor(2^32 / d) + 1 = 2^32 / d + e, 0 < e <= 1,
// N * m / 2^32 = N / d + N * e / 2^32. Writing N = q * d + r (r <= d - 1),
// the fraction stays below (d - 1) / d + 2^-15 < 1 for every N < 2^17 and
// d <= 256, so the shifted product is exactly q. Here N = c * T <= 255 * 384
// and d = Y0 <= 256. A negative T gives 0 after the clamp either way, and
// Y0 = 0 (reciprocal 0) gives the black the filter prescribes.
#include "imaging/sharpen.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "imaging/kernel_support.h"

namespace {

struct CopyTag;
struct SumTag;

constexpr std::array<std::uint64_t, 257> MakeReciprocals() {
    std::array<std::uint64_t, 257> table{};
    for (int d = 1; d <= 256; ++d) table[d] = (std::uint64_t(1) << 32) / d + 1;
    return table;
}
constexpr std::array<std::uint64_t, 257> kReciprocal = MakeReciprocals();

inline int Scale(int c, int t, std::uint64_t reciprocal) {
    return static_cast<int>(
        std::min<std::uint64_t>(255, (std::uint64_t(c) * std::uint32_t(t) * reciprocal) >> 32));
}

// Interior pixels of one row: `up`, `mid`, `down` are input rows, `out` the
// image row (holding the input until written), `sums` 3 * width scratch.
KAMBRIX_KERNEL_CLONES
void SharpenRow(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down,
                std::uint8_t* out, int width, std::uint16_t* sums) {
    const int n = width * 3;
    for (int k = 0; k < n; ++k) sums[k] = std::uint16_t(up[k] + 2 * mid[k] + down[k]);
    for (int x = 1; x + 1 < width; ++x) {
        const std::uint8_t* p = mid + x * 3;
        const int b = p[0], g = p[1], r = p[2];
        if (r == 0 && g == 0 && b == 255) continue;  // the transparent key stays
        const std::uint16_t* v = sums + x * 3;
        const int bb = (v[-3] + 2 * v[0] + v[3]) >> 4;
        const int gb = (v[-2] + 2 * v[1] + v[4]) >> 4;
        const int rb = (v[-1] + 2 * v[2] + v[5]) >> 4;
        const int y0 = SharpenBrightness(r, g, b);
        const int y1 = SharpenBrightness(rb, gb, bb);
        const int t = std::max(0, y0 - (y1 - y0) / 2);
        const std::uint64_t reciprocal = kReciprocal[y0];
        std::uint8_t* q = out + x * 3;
        q[0] = std::uint8_t(Scale(b, t, reciprocal));
        q[1] = std::uint8_t(Scale(g, t, reciprocal));
        q[2] = std::uint8_t(Scale(r, t, reciprocal));
    }
}

// Rows per band between two yields: about a million pixels.
int BandRows(int width) {
    return std::max(1, (1 << 20) / std::max(1, width));
}

}  // namespace

int SharpenBitmap(Bitmap& image, const YieldFn& yield) {
    const int w = image.Width(), h = image.Height();
    if (w < 3 || h < 3) return 0;
    const std::size_t stride = static_cast<std::size_t>(image.Stride());
    const bool parallel = static_cast<long long>(w) * h > (1 << 16);
    try {
        kernel::ScratchLease<std::uint8_t, CopyTag> copyLease;
        kernel::ScratchLease<std::uint16_t, SumTag> sumLease;
        std::uint8_t* copy = copyLease.Get(stride * h);
        std::uint16_t* sums = sumLease.Get(stride * (parallel ? kernel::WorkerCount() : 1));
        std::memcpy(copy, image.Data(), stride * h);
        const kernel::IdleCoreTeams teams;
        const int band = BandRows(w);
        for (int y0 = 1; y0 < h - 1; y0 += band) {
            const int y1 = std::min(h - 1, y0 + band);
            KAMBRIX_KERNEL_OMP("omp parallel for schedule(static) if (parallel)")
            for (int y = y0; y < y1; ++y) {
                const std::uint8_t* mid = copy + y * stride;
                SharpenRow(mid - stride, mid, mid + stride, image.Row(y), w,
                           sums + kernel::WorkerIndex() * stride);
            }
            if (yield) yield();
        }
    } catch (const std::bad_alloc&) {
        return kSharpenNoMemory;  // nothing was written yet
    }
    return 0;
}
