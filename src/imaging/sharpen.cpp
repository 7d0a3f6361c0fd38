// Sharpening in place, row by row. Every output row is computed from three
// input rows split into colour planes; the planes of the last three rows are
// kept in a small ring, so an input row is split once and read again from the
// ring after the picture's row has been overwritten. No copy of the picture
// is made.
//
// Rows are taken in bands (the caller's events run between two bands) and a
// band is cut into one chunk per worker. A chunk reads the row above its
// first row and the row below its last one; where those belong to another
// chunk of the same band they are copied before the workers start, and the
// row above a band (already overwritten) is carried over from the band before.
#include "imaging/sharpen.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "imaging/kernel_support.h"

#if defined(__GNUC__) && defined(__x86_64__)
// GCC 12's AVX-512 headers leave placeholder vectors unset on purpose and
// then warn about them where the intrinsics are inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#pragma GCC diagnostic pop
#endif

namespace {

struct SavedRowsTag;
struct RingTag;

// The 1 2 1 column sums of one plane.
KAMBRIX_KERNEL_CLONES
void ColumnSums(const std::uint8_t* __restrict up, const std::uint8_t* __restrict mid,
                const std::uint8_t* __restrict down, int width, std::uint16_t* __restrict sum) {
    for (int x = 0; x < width; ++x) sum[x] = std::uint16_t(up[x] + 2 * mid[x] + down[x]);
}

// Brightness on 16-bit lanes: the weighted sum is at most 256 * 255 = 65280,
// and the division by the constant 255 is the compiler's exact one.
inline std::uint16_t Brightness16(unsigned r, unsigned g, unsigned b) {
    return std::uint16_t(std::uint16_t(28 * r + 77 * g + 151 * b) / 255u);
}

// ---- The rescaling c * t / y0, one product per channel ----
// (c <= 255, 0 <= t <= y0 + y0 / 2, 1 <= y0 <= 256; the result is truncated
// and clamped at 255.) With u = t - y0 where t reaches y0 (then u <= y0 / 2)
// and u = t below it, c * t / y0 truncated is c (when t reached y0) plus
// floor(c * u / y0), and since u < y0
//   floor(c * u / y0) = floor(c * ceil(u * 2^16 / y0) / 2^16)
// for every c <= 255: the ceiling adds less than c / 2^16 to the exact
// quotient, whose fraction is at most (y0 - 1) / y0, and c * (y0 - 1) < 2^16.
//
// The ceiling, below 2^16, is floor((u * 2^16 + y0 - 1) / y0) from one float
// division: the numerator is below 2^24, so it and y0 are exact floats, and
// when the quotient x is not a whole number its distance to the next one is
// at least 1 / y0 >= 2^-8, more than half a float step at x (at most 2^-9),
// so the rounded quotient stays below that whole number and truncates to it.
// (Checked for every c, t and y0 by the tests.)

// ceil(u * 2^16 / y0), u < y0.
inline std::uint16_t Fraction(std::uint16_t u, std::uint16_t y0) {
    return std::uint16_t(
        static_cast<int>(static_cast<float>(u * 65536 + y0 - 1) / static_cast<float>(y0)));
}

// c * t / y0 from the shared terms: the fraction of u and all ones in `whole`
// where t reached y0.
inline std::uint8_t RescaledChannel(std::uint16_t c, std::uint16_t fraction, std::uint16_t whole) {
    return std::uint8_t(std::min(255u, ((unsigned(c) * fraction) >> 16) + (c & whole)));
}

// The terms of the rescaling of t / y0 (1 <= y0) into `fraction` and `whole`.
inline void RescalingTerms(std::uint16_t t, std::uint16_t y0, std::uint16_t& fraction,
                           std::uint16_t& whole) {
    const bool reached = t >= y0;
    fraction = Fraction(std::uint16_t(reached ? t - y0 : t), y0);
    whole = std::uint16_t(0u - unsigned(reached));
}

// The brightness terms of interior columns 1 ... width - 2, every value on
// 16-bit lanes but the one division; pure blue gets fraction 0 and the channel
// itself, which keeps it. Written without branches so that the loop is
// vectorised (the build compiles this file without floating-point traps,
// which changes no result: every float here is finite).
KAMBRIX_KERNEL_CLONES
void TermsRow(int width, const std::uint8_t* __restrict b, const std::uint8_t* __restrict g,
              const std::uint8_t* __restrict r, const std::uint16_t* __restrict vb,
              const std::uint16_t* __restrict vg, const std::uint16_t* __restrict vr,
              std::uint16_t* __restrict fractionOut, std::uint16_t* __restrict wholeOut) {
    for (int x = 1; x < width - 1; ++x) {
        // At most 16 * 255: the 1 2 1 row sums fit 16 bits.
        const std::uint16_t bb = std::uint16_t(vb[x - 1] + 2 * vb[x] + vb[x + 1]) >> 4;
        const std::uint16_t gb = std::uint16_t(vg[x - 1] + 2 * vg[x] + vg[x + 1]) >> 4;
        const std::uint16_t rb = std::uint16_t(vr[x - 1] + 2 * vr[x] + vr[x + 1]) >> 4;
        const std::uint16_t cb = b[x], cg = g[x], cr = r[x];
        const std::int16_t y0 = std::int16_t(Brightness16(cr, cg, cb));
        const std::int16_t y1 = std::int16_t(Brightness16(rb, gb, bb));
        const std::int16_t difference = std::int16_t(y1 - y0);
        const std::uint16_t t = std::uint16_t(std::max(0, y0 - difference / 2));
        std::uint16_t fraction, whole;
        // A brightness of 0 needs no case of its own: t is 0 then (the blurred
        // brightness is not negative), and so is every channel, the black it
        // must become.
        RescalingTerms(t, std::uint16_t(std::max<std::int16_t>(1, y0)), fraction, whole);
        const std::uint16_t keep = std::uint16_t(0u - ((cr | cg | (cb ^ 255)) == 0));
        fractionOut[x] = std::uint16_t(fraction & ~keep);
        wholeOut[x] = std::uint16_t(whole | keep);
    }
}

// One channel of interior columns 1 ... width - 2 rescaled.
KAMBRIX_KERNEL_CLONES
void ScaleRow(int width, const std::uint8_t* __restrict channel,
              const std::uint16_t* __restrict fraction, const std::uint16_t* __restrict whole,
              std::uint8_t* __restrict out) {
    for (int x = 1; x < width - 1; ++x) out[x] = RescaledChannel(channel[x], fraction[x], whole[x]);
}

// ---- Between interleaved pixels and planes ----

// Splits one row of b, g, r bytes into three planes.
KAMBRIX_KERNEL_CLONES
void SplitRowPlain(const std::uint8_t* __restrict in, int width, std::uint8_t* __restrict b,
                   std::uint8_t* __restrict g, std::uint8_t* __restrict r) {
    for (int x = 0; x < width; ++x) {
        b[x] = in[x * 3];
        g[x] = in[x * 3 + 1];
        r[x] = in[x * 3 + 2];
    }
}

// Interleaves the planes into columns first ... last - 1 of a row.
KAMBRIX_KERNEL_CLONES
void MergeRowPlain(int first, int last, const std::uint8_t* __restrict b,
                   const std::uint8_t* __restrict g, const std::uint8_t* __restrict r,
                   std::uint8_t* __restrict out) {
    for (int x = first; x < last; ++x) {
        out[x * 3] = b[x];
        out[x * 3 + 1] = g[x];
        out[x * 3 + 2] = r[x];
    }
}

#if defined(__GNUC__) && defined(__x86_64__)
#define KAMBRIX_SHARPEN_X86 1

// Pixels per step of the vector filter.
constexpr int kVectorStep = 32;

// The compiler moves stride-3 bytes nearly one at a time; byte shuffles move
// sixteen pixels (three vectors) with nine shuffles each way.

// Shuffle controls: for the split, byte i of a channel's plane out of the
// part-th vector of interleaved bytes; for the merge, interleaved byte
// 16 * part + i out of a channel's plane; 0x80 (a zero) where the source
// vector does not hold the byte.
struct ShuffleMasks {
    alignas(16) std::uint8_t split[3][3][16];
    alignas(16) std::uint8_t merge[3][3][16];
};

constexpr ShuffleMasks MakeShuffleMasks() {
    ShuffleMasks m{};
    for (int channel = 0; channel < 3; ++channel)
        for (int part = 0; part < 3; ++part)
            for (int i = 0; i < 16; ++i) {
                const int from = 3 * i + channel - 16 * part;
                m.split[channel][part][i] = std::uint8_t(from >= 0 && from < 16 ? from : 0x80);
                const int k = 16 * part + i;
                m.merge[channel][part][i] = std::uint8_t(k % 3 == channel ? k / 3 : 0x80);
            }
    return m;
}

constexpr ShuffleMasks kShuffle = MakeShuffleMasks();

__attribute__((target("ssse3"))) inline __m128i Gathered(__m128i v0, __m128i v1, __m128i v2,
                                                         const std::uint8_t (&m)[3][16]) {
    const auto mask = [](const std::uint8_t(&row)[16]) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(row));
    };
    return _mm_or_si128(
        _mm_or_si128(_mm_shuffle_epi8(v0, mask(m[0])), _mm_shuffle_epi8(v1, mask(m[1]))),
        _mm_shuffle_epi8(v2, mask(m[2])));
}

__attribute__((target("ssse3"))) void SplitRowSsse3(const std::uint8_t* __restrict in, int width,
                                                    std::uint8_t* __restrict b,
                                                    std::uint8_t* __restrict g,
                                                    std::uint8_t* __restrict r) {
    std::uint8_t* planes[3] = {b, g, r};
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i* src = reinterpret_cast<const __m128i*>(in + x * 3);
        const __m128i v0 = _mm_loadu_si128(src), v1 = _mm_loadu_si128(src + 1),
                      v2 = _mm_loadu_si128(src + 2);
        for (int channel = 0; channel < 3; ++channel)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(planes[channel] + x),
                             Gathered(v0, v1, v2, kShuffle.split[channel]));
    }
    SplitRowPlain(in + x * 3, width - x, b + x, g + x, r + x);
}

// The merge masks regrouped by output part: [part][channel].
constexpr ShuffleMasks MergeByPart() {
    ShuffleMasks m = kShuffle;
    for (int part = 0; part < 3; ++part)
        for (int channel = 0; channel < 3; ++channel)
            for (int i = 0; i < 16; ++i)
                m.merge[part][channel][i] = kShuffle.merge[channel][part][i];
    return m;
}

constexpr ShuffleMasks kMergeByPart = MergeByPart();

__attribute__((target("ssse3"))) void MergeRowSsse3(int first, int last,
                                                    const std::uint8_t* __restrict b,
                                                    const std::uint8_t* __restrict g,
                                                    const std::uint8_t* __restrict r,
                                                    std::uint8_t* __restrict out) {
    int x = first;
    for (; x + 16 <= last; x += 16) {
        const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
        const __m128i pg = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + x));
        const __m128i pr = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r + x));
        __m128i* dst = reinterpret_cast<__m128i*>(out + x * 3);
        for (int part = 0; part < 3; ++part)
            _mm_storeu_si128(dst + part, Gathered(pb, pg, pr, kMergeByPart.merge[part]));
    }
    MergeRowPlain(x, last, b, g, r, out);
}

// ---- The whole filter of a row in vector registers ----
// The portable loops above pass every term through memory and leave the
// compiler to guess vector widths; here the pixels go from the planes to the
// interleaved output in registers (sharpen_lanes.inc, once for AVX2 and once
// for AVX-512).
//
// The rescaling is the one of the portable code (see "The rescaling c * t /
// y0, one product per channel"); its clamping at 255 is the saturation of the
// narrowing to bytes.

#define KAMBRIX_AVX2_INLINE __attribute__((target("avx2"), always_inline))

KAMBRIX_AVX2_INLINE inline __m256i BothHalves(const std::uint8_t (&row)[16]) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(row)));
}

// The interleaving shuffles for two groups of sixteen pixels at once, one
// group in each 128-bit half.
KAMBRIX_AVX2_INLINE inline __m256i Gathered2(__m256i b, __m256i g, __m256i r,
                                             const std::uint8_t (&m)[3][16]) {
    return _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(b, BothHalves(m[0])),
                                           _mm256_shuffle_epi8(g, BothHalves(m[1]))),
                           _mm256_shuffle_epi8(r, BothHalves(m[2])));
}

// Thirty-two pixels' planes, in order, interleaved into 96 bytes at `out`.
KAMBRIX_AVX2_INLINE inline void StoreInterleaved(__m256i b, __m256i g, __m256i r,
                                                 std::uint8_t* out) {
    __m256i part[3];
    for (int k = 0; k < 3; ++k) part[k] = Gathered2(b, g, r, kMergeByPart.merge[k]);
    // The low halves hold bytes 0 ... 47, the high halves 48 ... 95.
    __m256i* dst = reinterpret_cast<__m256i*>(out);
    _mm256_storeu_si256(dst, _mm256_permute2x128_si256(part[0], part[1], 0x20));
    _mm256_storeu_si256(dst + 1, _mm256_permute2x128_si256(part[2], part[0], 0x30));
    _mm256_storeu_si256(dst + 2, _mm256_permute2x128_si256(part[1], part[2], 0x31));
}

KAMBRIX_AVX2_INLINE inline __m256i Halves(const std::uint8_t* low, const std::uint8_t* high) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

// SplitRowSsse3 for thirty-two pixels a step, sixteen in each half.
__attribute__((target("avx2"))) void SplitRowAvx2(const std::uint8_t* __restrict in, int width,
                                                  std::uint8_t* __restrict b,
                                                  std::uint8_t* __restrict g,
                                                  std::uint8_t* __restrict r) {
    std::uint8_t* planes[3] = {b, g, r};
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        const std::uint8_t* src = in + x * 3;
        const __m256i v0 = Halves(src, src + 48), v1 = Halves(src + 16, src + 64),
                      v2 = Halves(src + 32, src + 80);
        for (int channel = 0; channel < 3; ++channel)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(planes[channel] + x),
                                Gathered2(v0, v1, v2, kShuffle.split[channel]));
    }
    SplitRowSsse3(in + x * 3, width - x, b + x, g + x, r + x);
}

namespace avx2 {
// One line per operation.
// clang-format off
#define KAMBRIX_LANES_TARGET __attribute__((target("avx2")))
using V = __m256i;
constexpr int kLanes = 16;
KAMBRIX_AVX2_INLINE inline V Splat(short v) { return _mm256_set1_epi16(v); }
KAMBRIX_AVX2_INLINE inline V Add(V a, V b) { return _mm256_add_epi16(a, b); }
KAMBRIX_AVX2_INLINE inline V Sub(V a, V b) { return _mm256_sub_epi16(a, b); }
KAMBRIX_AVX2_INLINE inline V And(V a, V b) { return _mm256_and_si256(a, b); }
KAMBRIX_AVX2_INLINE inline V Or(V a, V b) { return _mm256_or_si256(a, b); }
KAMBRIX_AVX2_INLINE inline V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
KAMBRIX_AVX2_INLINE inline V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
KAMBRIX_AVX2_INLINE inline V ShiftRight(V a, int n) { return _mm256_srli_epi16(a, n); }
KAMBRIX_AVX2_INLINE inline V ShiftRightSigned(V a, int n) { return _mm256_srai_epi16(a, n); }
KAMBRIX_AVX2_INLINE inline V Max(V a, V b) { return _mm256_max_epi16(a, b); }
KAMBRIX_AVX2_INLINE inline V MulLow(V a, V b) { return _mm256_mullo_epi16(a, b); }
KAMBRIX_AVX2_INLINE inline V MulHigh(V a, V b) { return _mm256_mulhi_epu16(a, b); }
KAMBRIX_AVX2_INLINE inline V Equal(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
KAMBRIX_AVX2_INLINE inline V Greater(V a, V b) { return _mm256_cmpgt_epi16(a, b); }
KAMBRIX_AVX2_INLINE inline V Widened(const std::uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
KAMBRIX_AVX2_INLINE inline V Words(const std::uint16_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
KAMBRIX_AVX2_INLINE inline void StoreWords(std::uint16_t* p, V v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
// floor(numerator / divisor) of eight 32-bit lanes.
KAMBRIX_AVX2_INLINE inline V Quotients(V numerator, V divisor) {
    return _mm256_cvttps_epi32(
        _mm256_div_ps(_mm256_cvtepi32_ps(numerator), _mm256_cvtepi32_ps(divisor)));
}
// floor((high * 2^16 + low) / divisor) where that is below 2^16.
KAMBRIX_AVX2_INLINE inline V Fraction(V low, V high, V divisor) {
    const V zero = _mm256_setzero_si256();
    return _mm256_packus_epi32(
        Quotients(_mm256_unpacklo_epi16(low, high), _mm256_unpacklo_epi16(divisor, zero)),
        Quotients(_mm256_unpackhi_epi16(low, high), _mm256_unpackhi_epi16(divisor, zero)));
}
// Two vectors of lanes to thirty-two bytes in order, clamped at 255.
KAMBRIX_AVX2_INLINE inline __m256i Narrowed(const V (&lanes)[2]) {
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(lanes[0], lanes[1]), 0xD8);
}
// clang-format on
#include "imaging/sharpen_lanes.inc"
#undef KAMBRIX_LANES_TARGET
}  // namespace avx2

namespace avx512 {
// One line per operation.
// clang-format off
#define KAMBRIX_LANES_TARGET __attribute__((target("avx512bw")))
#define KAMBRIX_AVX512_INLINE __attribute__((target("avx512bw"), always_inline))
using V = __m512i;
constexpr int kLanes = 32;
KAMBRIX_AVX512_INLINE inline V Splat(short v) { return _mm512_set1_epi16(v); }
KAMBRIX_AVX512_INLINE inline V Add(V a, V b) { return _mm512_add_epi16(a, b); }
KAMBRIX_AVX512_INLINE inline V Sub(V a, V b) { return _mm512_sub_epi16(a, b); }
KAMBRIX_AVX512_INLINE inline V And(V a, V b) { return _mm512_and_si512(a, b); }
KAMBRIX_AVX512_INLINE inline V Or(V a, V b) { return _mm512_or_si512(a, b); }
KAMBRIX_AVX512_INLINE inline V Xor(V a, V b) { return _mm512_xor_si512(a, b); }
KAMBRIX_AVX512_INLINE inline V AndNot(V a, V b) { return _mm512_andnot_si512(a, b); }
KAMBRIX_AVX512_INLINE inline V ShiftRight(V a, int n) { return _mm512_srli_epi16(a, n); }
KAMBRIX_AVX512_INLINE inline V ShiftRightSigned(V a, int n) { return _mm512_srai_epi16(a, n); }
KAMBRIX_AVX512_INLINE inline V Max(V a, V b) { return _mm512_max_epi16(a, b); }
KAMBRIX_AVX512_INLINE inline V MulLow(V a, V b) { return _mm512_mullo_epi16(a, b); }
KAMBRIX_AVX512_INLINE inline V MulHigh(V a, V b) { return _mm512_mulhi_epu16(a, b); }
KAMBRIX_AVX512_INLINE inline V Equal(V a, V b) {
    return _mm512_movm_epi16(_mm512_cmpeq_epi16_mask(a, b));
}
KAMBRIX_AVX512_INLINE inline V Greater(V a, V b) {
    return _mm512_movm_epi16(_mm512_cmpgt_epi16_mask(a, b));
}
KAMBRIX_AVX512_INLINE inline V Widened(const std::uint8_t* p) {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}
KAMBRIX_AVX512_INLINE inline V Words(const std::uint16_t* p) { return _mm512_loadu_si512(p); }
KAMBRIX_AVX512_INLINE inline void StoreWords(std::uint16_t* p, V v) { _mm512_storeu_si512(p, v); }
KAMBRIX_AVX512_INLINE inline V Quotients(V numerator, V divisor) {
    return _mm512_cvttps_epi32(
        _mm512_div_ps(_mm512_cvtepi32_ps(numerator), _mm512_cvtepi32_ps(divisor)));
}
KAMBRIX_AVX512_INLINE inline V Fraction(V low, V high, V divisor) {
    const V zero = _mm512_setzero_si512();
    return _mm512_packus_epi32(
        Quotients(_mm512_unpacklo_epi16(low, high), _mm512_unpacklo_epi16(divisor, zero)),
        Quotients(_mm512_unpackhi_epi16(low, high), _mm512_unpackhi_epi16(divisor, zero)));
}
// Thirty-two lanes to bytes in order, clamped at 255.
KAMBRIX_AVX512_INLINE inline __m256i Narrowed(const V (&lanes)[1]) {
    return _mm512_cvtusepi16_epi8(lanes[0]);
}
// clang-format on
#include "imaging/sharpen_lanes.inc"
#undef KAMBRIX_AVX512_INLINE
#undef KAMBRIX_LANES_TARGET
}  // namespace avx512

#else
#define KAMBRIX_SHARPEN_X86 0
#endif

using SplitRowFn = void (*)(const std::uint8_t*, int, std::uint8_t*, std::uint8_t*, std::uint8_t*);
using MergeRowFn = void (*)(int, int, const std::uint8_t*, const std::uint8_t*, const std::uint8_t*,
                            std::uint8_t*);

void SplitRow(const std::uint8_t* in, int width, std::uint8_t* b, std::uint8_t* g,
              std::uint8_t* r) {
#if KAMBRIX_SHARPEN_X86
    static const SplitRowFn split = __builtin_cpu_supports("avx2")    ? SplitRowAvx2
                                    : __builtin_cpu_supports("ssse3") ? SplitRowSsse3
                                                                      : SplitRowPlain;
#else
    static const SplitRowFn split = SplitRowPlain;
#endif
    split(in, width, b, g, r);
}

// Interior columns only: the border pixels keep their colour.
void MergeRow(int width, const std::uint8_t* b, const std::uint8_t* g, const std::uint8_t* r,
              std::uint8_t* out) {
#if KAMBRIX_SHARPEN_X86
    static const MergeRowFn merge = __builtin_cpu_supports("ssse3") ? MergeRowSsse3 : MergeRowPlain;
#else
    static const MergeRowFn merge = MergeRowPlain;
#endif
    merge(1, width - 1, b, g, r, out);
}

using sharpen_internal::Path;

// The best path the processor has.
Path BestPath() {
#if KAMBRIX_SHARPEN_X86
    static const Path best = __builtin_cpu_supports("avx512bw") ? Path::Avx512
                             : __builtin_cpu_supports("avx2")   ? Path::Avx2
                                                                : Path::Portable;
    return best;
#else
    return Path::Portable;
#endif
}

std::atomic<Path> pathLimit{Path::Avx512};

Path ActivePath() {
    return std::min(BestPath(), pathLimit.load(std::memory_order_relaxed));
}

// The row functions of a vector path.
struct VectorFilter {
    void (*columnSums)(const std::uint8_t*, const std::uint8_t*, const std::uint8_t*, int,
                       std::uint16_t*);
    void (*row)(int, const std::uint8_t* const[3], const std::uint16_t* const[3], std::uint8_t*);
};

// The vector filter for rows of this width, or null where the portable loops
// do the work.
const VectorFilter* VectorFilterFor(int width) {
#if KAMBRIX_SHARPEN_X86
    static constexpr VectorFilter kAvx512{avx512::ColumnSumsRow, avx512::FilterRow};
    static constexpr VectorFilter kAvx2{avx2::ColumnSumsRow, avx2::FilterRow};
    if (width >= kVectorStep + 2) {
        if (ActivePath() == Path::Avx512) return &kAvx512;
        if (ActivePath() == Path::Avx2) return &kAvx2;
    }
#else
    (void)width;
#endif
    return nullptr;
}

// One worker's scratch: a ring of three split rows (three planes each), the
// column sums, the brightness terms and the results.
class RowRing {
  public:
    RowRing(std::uint8_t* bytes, int width) : width_(width), vector_(VectorFilterFor(width)) {
        for (int slot = 0; slot < 3; ++slot) slot_[slot] = bytes + slot * 3 * width;
        result_ = bytes + 9 * width;
        sums_ = reinterpret_cast<std::uint16_t*>(bytes + 12 * width);
        fraction_ = sums_ + 3 * width;
        whole_ = fraction_ + width;
    }
    // Bytes per worker: an even count, so that the sums of every worker are
    // aligned for 16-bit access.
    static std::size_t Size(int width) { return 22 * static_cast<std::size_t>(width); }

    // Splits `row` into the slot after the newest.
    void Push(const std::uint8_t* row) {
        std::uint8_t* oldest = slot_[0];
        slot_[0] = slot_[1];
        slot_[1] = slot_[2];
        slot_[2] = oldest;
        SplitRow(row, width_, Plane(2, 0), Plane(2, 1), Plane(2, 2));
    }

    // The filtered middle row into `out` (interior columns only).
    void Filter(std::uint8_t* out) {
        const auto columnSums = vector_ ? vector_->columnSums : ColumnSums;
        for (int p = 0; p < 3; ++p)
            columnSums(Plane(0, p), Plane(1, p), Plane(2, p), width_, sums_ + p * width_);
        if (vector_) {
            const std::uint8_t* const planes[3] = {Plane(1, 0), Plane(1, 1), Plane(1, 2)};
            const std::uint16_t* const sums[3] = {sums_, sums_ + width_, sums_ + 2 * width_};
            vector_->row(width_, planes, sums, out);
            return;
        }
        TermsRow(width_, Plane(1, 0), Plane(1, 1), Plane(1, 2), sums_, sums_ + width_,
                 sums_ + 2 * width_, fraction_, whole_);
        for (int p = 0; p < 3; ++p)
            ScaleRow(width_, Plane(1, p), fraction_, whole_, result_ + p * width_);
        MergeRow(width_, result_, result_ + width_, result_ + 2 * width_, out);
    }

  private:
    std::uint8_t* Plane(int slot, int p) { return slot_[slot] + p * width_; }
    int width_;
    const VectorFilter* vector_;
    std::uint8_t* slot_[3];
    std::uint8_t* result_;
    std::uint16_t* sums_;
    std::uint16_t* fraction_;  // the rescaling terms of the pixels
    std::uint16_t* whole_;
};

// Asks for the bytes of a row a few rows ahead: between two rows the
// processor works on the ring and loses track of the stream through the
// picture, so the split of each row otherwise waits on memory.
constexpr int kPrefetchRows = 3;

void Prefetch(const std::uint8_t* row, std::size_t bytes) {
#if defined(__GNUC__)
    for (std::size_t k = 0; k < bytes; k += 64) __builtin_prefetch(row + k);
#else
    (void)row;
    (void)bytes;
#endif
}

// Rows first ... last - 1 of `image`, `above` and `below` holding the input
// rows first - 1 and last.
void SharpenChunk(Bitmap& image, int first, int last, const std::uint8_t* above,
                  const std::uint8_t* below, std::uint8_t* scratch) {
    if (first >= last) return;
    RowRing ring(scratch, image.Width());
    ring.Push(above);
    ring.Push(image.Row(first));
    for (int y = first; y < last; ++y) {
        if (y + kPrefetchRows < image.Height())
            Prefetch(image.Row(y + kPrefetchRows), static_cast<std::size_t>(image.Width()) * 3);
        ring.Push(y + 1 == last ? below : image.Row(y + 1));
        ring.Filter(image.Row(y));
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
    const std::size_t rowBytes = static_cast<std::size_t>(w) * 3;
    const bool parallel = static_cast<long long>(w) * h > (1 << 16);
    const int chunks = parallel ? kernel::WorkerCount() : 1;
    std::uint8_t* rings = nullptr;
    std::uint8_t* saved = nullptr;
    kernel::ScratchLease<std::uint8_t, RingTag> ringLease;
    kernel::ScratchLease<std::uint8_t, SavedRowsTag> savedLease;
    const std::size_t ringBytes = RowRing::Size(w);
    try {
        rings = ringLease.Get(ringBytes * chunks);
        // Two rows per inner chunk boundary and two alternating carried rows.
        saved = savedLease.Get(rowBytes * (2 * chunks + 2));
    } catch (const std::bad_alloc&) {
        return kSharpenNoMemory;  // nothing was written yet
    }
    std::uint8_t* carried[2] = {saved + rowBytes * 2 * chunks, saved + rowBytes * (2 * chunks + 1)};
    const std::uint8_t* above = image.Row(0);  // the input row over the band
    const kernel::IdleCoreTeams teams;
    const int band = BandRows(w);
    for (int y0 = 1, turn = 0; y0 < h - 1; y0 += band, turn ^= 1) {
        const int y1 = std::min(h - 1, y0 + band);
        const auto start = [&](int k) {
            return y0 + static_cast<int>(1LL * (y1 - y0) * k / chunks);
        };
        for (int k = 1; k < chunks; ++k) {
            const int a = start(k);
            if (a <= y0 || a >= y1) continue;
            std::memcpy(saved + rowBytes * (2 * k), image.Row(a - 1), rowBytes);
            std::memcpy(saved + rowBytes * (2 * k + 1), image.Row(a), rowBytes);
        }
        std::memcpy(carried[turn], image.Row(y1 - 1), rowBytes);
        KAMBRIX_KERNEL_OMP("omp parallel for schedule(static) if (parallel)")
        for (int k = 0; k < chunks; ++k) {
            const int a = start(k), b = start(k + 1);
            const std::uint8_t* up = a == y0 ? above : saved + rowBytes * (2 * k);
            const std::uint8_t* down = b == y1 ? image.Row(y1) : saved + rowBytes * (2 * k + 3);
            SharpenChunk(image, a, b, up, down, rings + k * ringBytes);
        }
        above = carried[turn];
        if (yield) yield();
    }
    return 0;
}

namespace sharpen_internal {

Path LimitPath(Path most) {
    pathLimit.store(most, std::memory_order_relaxed);
    return ActivePath();
}

void Rescale(const std::uint16_t* c, const std::uint16_t* t, const std::uint16_t* divisor,
             int count, std::uint8_t* out) {
    int i = 0;
#if KAMBRIX_SHARPEN_X86
    const int whole = count / kVectorStep * kVectorStep;
    if (ActivePath() == Path::Avx512) avx512::Rescale(c, t, divisor, i = whole, out);
    if (ActivePath() == Path::Avx2) avx2::Rescale(c, t, divisor, i = whole, out);
#endif
    for (; i < count; ++i) {
        std::uint16_t fraction, whole;
        RescalingTerms(t[i], divisor[i], fraction, whole);
        out[i] = RescaledChannel(c[i], fraction, whole);
    }
}

}  // namespace sharpen_internal
