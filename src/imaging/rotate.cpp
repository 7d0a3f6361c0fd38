// Rotation by backward mapping. The mapping of a target pixel (j, i) is
//   m = dx * c - dy * s,  n = dx * s + dy * c
// with dx = j - tw/2, dy = th - i - th/2 and every product rounded to double
// on its own. dx * c and dx * s depend on the column only and dy * s, dy * c
// on the row only, so both are tabulated once: the per-pixel work is one
// subtraction, one addition and two truncations, and the doubles are the very
// same as those of the direct formula (no FMA, see kernel_support.h).
//
// The 3 x 3 weighted mean depends only on the source pixel that is hit, so it
// is computed once per source pixel (separably: a vertical 1 2 1 sum, then a
// horizontal one; the weights left out at the borders are a row set times a
// column set, so the weight total is the product of the two axis totals) and
// the target rows then only gather from that table.
#include "imaging/rotate.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>

#include "imaging/kernel_support.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

struct BlurTag;
struct RowSumTag;
struct PackedTag;
struct TableTag;

constexpr std::uint32_t kZeroCell = 0;

struct Plan {
    const Bitmap* source = nullptr;
    Bitmap* target = nullptr;
    // 0x00RRGGBB per source pixel, row-major, then a zero cell (the only cell
    // of an empty source).
    const std::uint32_t* blurred = &kZeroCell;
    const double* columnC = nullptr;  // dx * c for every target column
    const double* columnS = nullptr;  // dx * s
    double c = 0, s = 0;
    int sw2 = 0, sh2 = 0, th2 = 0;
};

// Rows per band between two yields: about a million pixels.
int BandRows(int width) {
    return std::max(1, (1 << 20) / std::max(1, width));
}

// Weighted means of one source row into `out`; `sums` holds 3 * width
// vertical sums.
KAMBRIX_KERNEL_CLONES
void BlurRow(const Bitmap& source, int y, std::uint16_t* sums, std::uint32_t* out) {
    const int sw = source.Width(), sh = source.Height(), n = sw * 3;
    const std::uint8_t* mid = source.Row(y);
    const std::uint8_t* up = y > 0 ? source.Row(y - 1) : nullptr;
    const std::uint8_t* down = y + 1 < sh ? source.Row(y + 1) : nullptr;
    if (up && down) {
        for (int k = 0; k < n; ++k) sums[k] = std::uint16_t(up[k] + 2 * mid[k] + down[k]);
    } else if (up || down) {
        const std::uint8_t* other = up ? up : down;
        for (int k = 0; k < n; ++k) sums[k] = std::uint16_t(other[k] + 2 * mid[k]);
    } else {
        for (int k = 0; k < n; ++k) sums[k] = std::uint16_t(2 * mid[k]);
    }
    const int rowWeight = 2 + (up ? 1 : 0) + (down ? 1 : 0);

    // Border columns (and every column of a picture 1 or 2 pixels wide).
    const auto edge = [&](int x) {
        int total = 2 * rowWeight;
        std::uint32_t packed = 0;
        for (int ch = 0; ch < 3; ++ch) {
            int sum = 2 * sums[x * 3 + ch];
            if (x > 0) sum += sums[x * 3 - 3 + ch];
            if (x + 1 < sw) sum += sums[x * 3 + 3 + ch];
            const int weight = total + (x > 0 ? rowWeight : 0) + (x + 1 < sw ? rowWeight : 0);
            packed |= std::uint32_t(sum / weight) << (8 * ch);
        }
        out[x] = packed;
    };
    edge(0);
    if (sw > 1) edge(sw - 1);
    if (rowWeight == 4) {
        for (int x = 1; x + 1 < sw; ++x) {
            const std::uint16_t* v = sums + x * 3;
            const unsigned b = (v[-3] + 2u * v[0] + v[3]) >> 4;
            const unsigned g = (v[-2] + 2u * v[1] + v[4]) >> 4;
            const unsigned r = (v[-1] + 2u * v[2] + v[5]) >> 4;
            out[x] = b | (g << 8) | (r << 16);
        }
    } else {
        const unsigned weight = 4u * rowWeight;
        for (int x = 1; x + 1 < sw; ++x) {
            const std::uint16_t* v = sums + x * 3;
            const unsigned b = (v[-3] + 2u * v[0] + v[3]) / weight;
            const unsigned g = (v[-2] + 2u * v[1] + v[4]) / weight;
            const unsigned r = (v[-1] + 2u * v[2] + v[5]) / weight;
            out[x] = b | (g << 8) | (r << 16);
        }
    }
}

// One target row of single source pixels (small targets).
inline void RotateRowSinglePixels(const Plan& plan, int i) {
    const Bitmap& source = *plan.source;
    Bitmap& target = *plan.target;
    const int tw = target.Width(), th = target.Height();
    const int sw = source.Width(), sh = source.Height();
    const int dy = th - i - plan.th2;
    const double rowS = dy * plan.s, rowC = dy * plan.c;
    const int yBase = sh - plan.sh2;
    std::uint8_t* out = target.Row(i);
    for (int j = 0; j < tw; ++j) {
        const double m = plan.columnC[j] - rowS;
        const double n = plan.columnS[j] + rowC;
        const int sx = static_cast<int>(m) + plan.sw2;
        const int sy = yBase - static_cast<int>(n);
        std::uint8_t* p = out + j * 3;
        if (static_cast<unsigned>(sx) < static_cast<unsigned>(sw) &&
            static_cast<unsigned>(sy) < static_cast<unsigned>(sh)) {
            const std::uint8_t* q = source.Row(sy) + sx * 3;
            p[0] = q[0];
            p[1] = q[1];
            p[2] = q[2];
        } else {
            p[0] = p[1] = p[2] = 0;
        }
    }
}

// The weighted path in two vectorisable loops: the mapped mean of every
// target pixel into `packed` (pixels outside the source read the zero cell
// kept after the table), then the bytes into the target row.
KAMBRIX_KERNEL_CLONES
void GatherRow(const double* __restrict columnC, const double* __restrict columnS, double rowS,
               double rowC, int sw2, int yBase, int sw, int sh,
               const std::uint32_t* __restrict blurred, std::uint32_t* __restrict packed, int tw) {
    const int outside = sw * sh;
    for (int j = 0; j < tw; ++j) {
        const int sx = static_cast<int>(columnC[j] - rowS) + sw2;
        const int sy = yBase - static_cast<int>(columnS[j] + rowC);
        const bool inside = (static_cast<unsigned>(sx) < static_cast<unsigned>(sw)) &
                            (static_cast<unsigned>(sy) < static_cast<unsigned>(sh));
        packed[j] = blurred[inside ? sy * sw + sx : outside];
    }
}

#if defined(__GNUC__) && defined(__x86_64__)
#define KAMBRIX_ROTATE_AVX2 1
// The same, four pixels at a time: the compiler does not vectorise the
// double-to-int truncations feeding a gather by itself. The subtraction,
// addition and truncation are the scalar ones, lane by lane.
__attribute__((target("avx2"))) void GatherRowAvx2(const double* __restrict columnC,
                                                   const double* __restrict columnS, double rowS,
                                                   double rowC, int sw2, int yBase, int sw, int sh,
                                                   const std::uint32_t* __restrict blurred,
                                                   std::uint32_t* __restrict packed, int tw) {
    const __m256d vRowS = _mm256_set1_pd(rowS), vRowC = _mm256_set1_pd(rowC);
    const __m128i vSw2 = _mm_set1_epi32(sw2), vYBase = _mm_set1_epi32(yBase);
    const __m128i vSw = _mm_set1_epi32(sw), vSh = _mm_set1_epi32(sh);
    const __m128i vOutside = _mm_set1_epi32(sw * sh), vMinusOne = _mm_set1_epi32(-1);
    int j = 0;
    for (; j + 4 <= tw; j += 4) {
        const __m256d m = _mm256_sub_pd(_mm256_loadu_pd(columnC + j), vRowS);
        const __m256d n = _mm256_add_pd(_mm256_loadu_pd(columnS + j), vRowC);
        const __m128i sx = _mm_add_epi32(_mm256_cvttpd_epi32(m), vSw2);
        const __m128i sy = _mm_sub_epi32(vYBase, _mm256_cvttpd_epi32(n));
        const __m128i inside =
            _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(sx, vMinusOne), _mm_cmpgt_epi32(vSw, sx)),
                          _mm_and_si128(_mm_cmpgt_epi32(sy, vMinusOne), _mm_cmpgt_epi32(vSh, sy)));
        const __m128i index =
            _mm_blendv_epi8(vOutside, _mm_add_epi32(_mm_mullo_epi32(sy, vSw), sx), inside);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(packed + j),
                         _mm_i32gather_epi32(reinterpret_cast<const int*>(blurred), index, 4));
    }
    GatherRow(columnC + j, columnS + j, rowS, rowC, sw2, yBase, sw, sh, blurred, packed + j,
              tw - j);
}
#else
#define KAMBRIX_ROTATE_AVX2 0
#endif

using GatherRowFn = void (*)(const double*, const double*, double, double, int, int, int, int,
                             const std::uint32_t*, std::uint32_t*, int);

GatherRowFn ChooseGatherRow() {
#if KAMBRIX_ROTATE_AVX2
    if (__builtin_cpu_supports("avx2")) return GatherRowAvx2;
#endif
    return GatherRow;
}

KAMBRIX_KERNEL_CLONES
void StoreRow(const std::uint32_t* __restrict packed, std::uint8_t* __restrict out, int tw) {
    for (int j = 0; j < tw; ++j) {
        out[j * 3] = std::uint8_t(packed[j]);
        out[j * 3 + 1] = std::uint8_t(packed[j] >> 8);
        out[j * 3 + 2] = std::uint8_t(packed[j] >> 16);
    }
}

void RotateRowWeighted(const Plan& plan, int i, std::uint32_t* packed) {
    const Bitmap& source = *plan.source;
    Bitmap& target = *plan.target;
    const int dy = target.Height() - i - plan.th2;
    static const GatherRowFn gatherRow = ChooseGatherRow();
    gatherRow(plan.columnC, plan.columnS, dy * plan.s, dy * plan.c, plan.sw2,
              source.Height() - plan.sh2, source.Width(), source.Height(), plan.blurred, packed,
              target.Width());
    StoreRow(packed, target.Row(i), target.Width());
}
KAMBRIX_KERNEL_CLONES void RotateRowSingle(const Plan& plan, int i) {
    RotateRowSinglePixels(plan, i);
}

void RunRotation(const Bitmap& source, Bitmap& target, int angle, const YieldFn& yield) {
    const int tw = target.Width(), th = target.Height();
    const int sw = source.Width(), sh = source.Height();
    const bool weighted = tw >= 10 || th >= 10;
    const bool parallel = static_cast<long long>(tw) * th > (1 << 16);
    const kernel::IdleCoreTeams teams;

    Plan plan;
    plan.source = &source;
    plan.target = &target;
    plan.sw2 = sw / 2;
    plan.sh2 = sh / 2;
    plan.th2 = th / 2;
    const double deg = angle * 0.1;
    const double rad = kRotatePi * deg * (1.0 / 180);
    plan.c = std::cos(rad);
    plan.s = std::sin(rad);

    kernel::ScratchLease<double, TableTag> tables;
    double* columns = tables.Get(static_cast<std::size_t>(tw) * 2);
    const int tw2 = tw / 2;
    for (int j = 0; j < tw; ++j) {
        const int dx = j - tw2;
        columns[j] = dx * plan.c;
        columns[tw + j] = dx * plan.s;
    }
    plan.columnC = columns;
    plan.columnS = columns + tw;

    kernel::ScratchLease<std::uint32_t, BlurTag> blurLease;
    if (weighted && sw > 0 && sh > 0) {
        // One cell more: the zero that target pixels outside the source read.
        std::uint32_t* blurred = blurLease.Get(static_cast<std::size_t>(sw) * sh + 1);
        blurred[static_cast<std::size_t>(sw) * sh] = 0;
        kernel::ScratchLease<std::uint16_t, RowSumTag> sumLease;
        const std::size_t sumStride = static_cast<std::size_t>(sw) * 3;
        const bool blurParallel = static_cast<long long>(sw) * sh > (1 << 16);
        std::uint16_t* sums = sumLease.Get(sumStride * (blurParallel ? kernel::WorkerCount() : 1));
        const int band = BandRows(sw);
        for (int y0 = 0; y0 < sh; y0 += band) {
            const int y1 = std::min(sh, y0 + band);
            KAMBRIX_KERNEL_OMP("omp parallel for schedule(static) if (blurParallel)")
            for (int y = y0; y < y1; ++y)
                BlurRow(source, y, sums + kernel::WorkerIndex() * sumStride,
                        blurred + static_cast<std::size_t>(y) * sw);
            if (yield) yield();
        }
        plan.blurred = blurred;
    }

    kernel::ScratchLease<std::uint32_t, PackedTag> packedLease;
    std::uint32_t* packed =
        packedLease.Get(static_cast<std::size_t>(tw) * (parallel ? kernel::WorkerCount() : 1));
    const int band = BandRows(tw);
    for (int i0 = 0; i0 < th; i0 += band) {
        const int i1 = std::min(th, i0 + band);
        if (weighted) {
            KAMBRIX_KERNEL_OMP("omp parallel for schedule(static) if (parallel)")
            for (int i = i0; i < i1; ++i)
                RotateRowWeighted(plan, i, packed + kernel::WorkerIndex() * std::size_t(tw));
        } else {
            for (int i = i0; i < i1; ++i) RotateRowSingle(plan, i);
        }
        if (yield) yield();
    }
}

}  // namespace

int RotateBitmap(const Bitmap& source, Bitmap& target, int angle, const YieldFn& yield) {
    if (target.Width() > kRotateMaxTargetSide || target.Height() > kRotateMaxTargetSide)
        return kRotateTargetTooLarge;
    if (source.Width() > kRotateMaxSourceWidth || source.Height() > kRotateMaxSourceHeight)
        return kRotateSourceTooLarge;
    if (&source == &target) {
        // Every target pixel reads many source pixels: turn a copy.
        try {
            const Bitmap copy = source;
            return RotateBitmap(copy, target, angle, yield);
        } catch (const std::bad_alloc&) {
            return kRotateNoMemory;
        }
    }
    try {
        RunRotation(source, target, angle, yield);
    } catch (const std::bad_alloc&) {
        // The scratch is taken before the first target row is written.
        return kRotateNoMemory;
    }
    return 0;
}
