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
struct RowTag;

// Planar scratch of one row: the input channels, the vertical 1 2 1 sums and
// the results, each `width` long. Unit-stride arrays let the compiler use
// vector instructions for every stage; only the (de)interleaving is strided.
struct RowScratch {
    std::uint16_t* channel[3];  // input b, g, r of the middle row
    std::uint16_t* sum[3];      // vertical sums
    std::uint8_t* result[3];
};

constexpr std::size_t kPlanes = 9;

// Input channels and vertical sums of one row, split into planes.
KAMBRIX_KERNEL_CLONES
void SplitRow(const std::uint8_t* __restrict up, const std::uint8_t* __restrict mid,
              const std::uint8_t* __restrict down, int width, std::uint16_t* __restrict b,
              std::uint16_t* __restrict g, std::uint16_t* __restrict r,
              std::uint16_t* __restrict vb, std::uint16_t* __restrict vg,
              std::uint16_t* __restrict vr) {
    for (int x = 0; x < width; ++x) {
        const int k = x * 3;
        b[x] = mid[k];
        g[x] = mid[k + 1];
        r[x] = mid[k + 2];
        vb[x] = std::uint16_t(up[k] + 2 * mid[k] + down[k]);
        vg[x] = std::uint16_t(up[k + 1] + 2 * mid[k + 1] + down[k + 1]);
        vr[x] = std::uint16_t(up[k + 2] + 2 * mid[k + 2] + down[k + 2]);
    }
}

// c * t / y0 (c <= 255, 0 <= t <= 384, 1 <= y0 <= 256) truncated: the float
// quotient is within one of the true one (relative error ~1e-7 on values
// below 400), and one correction step each way on the exact integer
// remainder makes it exact.
inline int ScaledChannel(int c, int t, int y0, float ratio) {
    int q = static_cast<int>(static_cast<float>(c) * ratio);
    const int rest = c * t - q * y0;
    q += static_cast<int>(rest >= y0);
    q -= static_cast<int>(rest < 0);
    return q;
}

// The filter on planes, interior columns 1 ... width - 2. The selects are
// arithmetic so that the loop has no branches and is vectorised (the build
// compiles this file without floating-point traps, which changes no result:
// every float here is finite and exact conversions or one division).
KAMBRIX_KERNEL_CLONES
void FilterRow(int width, const std::uint16_t* __restrict b, const std::uint16_t* __restrict g,
               const std::uint16_t* __restrict r, const std::uint16_t* __restrict vb,
               const std::uint16_t* __restrict vg, const std::uint16_t* __restrict vr,
               std::uint8_t* __restrict ob, std::uint8_t* __restrict og,
               std::uint8_t* __restrict orr) {
    for (int x = 1; x < width - 1; ++x) {
        const int bb = (vb[x - 1] + 2 * vb[x] + vb[x + 1]) >> 4;
        const int gb = (vg[x - 1] + 2 * vg[x] + vg[x + 1]) >> 4;
        const int rb = (vr[x - 1] + 2 * vr[x] + vr[x + 1]) >> 4;
        const int cb = b[x], cg = g[x], cr = r[x];
        const int y0 = SharpenBrightness(cr, cg, cb);
        const int y1 = SharpenBrightness(rb, gb, bb);
        const int t = std::max(0, y0 - (y1 - y0) / 2);
        const int divisor = std::max(1, y0);
        const float ratio = static_cast<float>(t) / static_cast<float>(divisor);
        const int keep = ((cr | cg | (cb ^ 255)) == 0);  // pure blue stays
        const int alive = (y0 != 0);                     // brightness 0 turns black
        const int nb = std::min(255, ScaledChannel(cb, t, divisor, ratio)) * alive;
        const int ng = std::min(255, ScaledChannel(cg, t, divisor, ratio)) * alive;
        const int nr = std::min(255, ScaledChannel(cr, t, divisor, ratio)) * alive;
        ob[x] = std::uint8_t(nb + (cb - nb) * keep);
        og[x] = std::uint8_t(ng + (cg - ng) * keep);
        orr[x] = std::uint8_t(nr + (cr - nr) * keep);
    }
}

KAMBRIX_KERNEL_CLONES
void MergeRow(int width, const std::uint8_t* __restrict ob, const std::uint8_t* __restrict og,
              const std::uint8_t* __restrict orr, std::uint8_t* __restrict out) {
    for (int x = 1; x < width - 1; ++x) {
        out[x * 3] = ob[x];
        out[x * 3 + 1] = og[x];
        out[x * 3 + 2] = orr[x];
    }
}

void SharpenRow(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down,
                std::uint8_t* out, int width, const RowScratch& s) {
    SplitRow(up, mid, down, width, s.channel[0], s.channel[1], s.channel[2], s.sum[0], s.sum[1],
             s.sum[2]);
    FilterRow(width, s.channel[0], s.channel[1], s.channel[2], s.sum[0], s.sum[1], s.sum[2],
              s.result[0], s.result[1], s.result[2]);
    MergeRow(width, s.result[0], s.result[1], s.result[2], out);
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
        kernel::ScratchLease<std::uint16_t, RowTag> rowLease;
        std::uint8_t* copy = copyLease.Get(stride * h);
        const std::size_t perWorker = kPlanes * static_cast<std::size_t>(w);
        std::uint16_t* rows = rowLease.Get(perWorker * (parallel ? kernel::WorkerCount() : 1));
        std::memcpy(copy, image.Data(), stride * h);
        const kernel::IdleCoreTeams teams;
        const int band = BandRows(w);
        for (int y0 = 1; y0 < h - 1; y0 += band) {
            const int y1 = std::min(h - 1, y0 + band);
            KAMBRIX_KERNEL_OMP("omp parallel for schedule(static) if (parallel)")
            for (int y = y0; y < y1; ++y) {
                const std::uint8_t* mid = copy + y * stride;
                std::uint16_t* base = rows + kernel::WorkerIndex() * perWorker;
                RowScratch scratch;
                for (int p = 0; p < 3; ++p) {
                    scratch.channel[p] = base + p * w;
                    scratch.sum[p] = base + (3 + p) * w;
                    scratch.result[p] = reinterpret_cast<std::uint8_t*>(base + (6 + p) * w);
                }
                SharpenRow(mid - stride, mid, mid + stride, image.Row(y), w, scratch);
            }
            if (yield) yield();
        }
    } catch (const std::bad_alloc&) {
        return kSharpenNoMemory;  // nothing was written yet
    }
    return 0;
}
