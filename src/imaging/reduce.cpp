#include "imaging/reduce.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "imaging/kernel_support.h"
#include "platform/memory.h"
#include "platform/text_format.h"

namespace {

constexpr char kTextRatio[] = "比率が違うので高画質圧縮を中断しました。(幅 %d  高さ%d)";
constexpr char kTextSameSize[] = "画像サイズが同じなので高画質圧縮を中断しました。(幅 %d  高さ%d)";
constexpr char kTextSourceTooLarge[] =
    "元画像が大きすぎるので高画質圧縮を中断しました。(幅 %d  高さ%d)\n"
    "最大サイズは幅　%dpx　高さ%dpxです。";
constexpr char kTextSourceTooLargeAtWork[] =
    "元画像が大きすぎるので高画質圧縮を中断しました。[2](幅 %d  高さ%d)\n"
    "最大サイズは幅　%dpx　高さ%dpxです。";
constexpr char kTextTargetTooLarge[] =
    "縮小後画像が大きすぎるので高画質圧縮を中断しました。(幅 %d  高さ%d)\n"
    "最大サイズは幅　%dpx　高さ%dpxです。";
constexpr char kTextTooStrong[] = "縮小率が大きすぎるので高画質圧縮を中断しました。最大1/100です。";
constexpr char kTextEnlargement[] = "拡大なので高画質圧縮を中断しました。";

constexpr int kProceed = 1;

// The refusals in the order they are tested; kProceed when the work may start.
int CheckSizes(long long sw, long long sh, long long w, long long h, std::string& text) {
    // Empty pictures cannot be averaged (and would divide by zero below).
    if (sw <= 0 || sh <= 0) {
        text = kTextEnlargement;
        return kReduceEnlargement;
    }
    if (w <= 0 || h <= 0) {
        text = kTextTooStrong;
        return kReduceTooStrong;
    }
    const int iw = static_cast<int>(w), ih = static_cast<int>(h);
    const int isw = static_cast<int>(sw), ish = static_cast<int>(sh);
    const long long ratioDifference = sw * 100 / sh - w * 100 / h;
    if (ratioDifference > 3 || ratioDifference < -3) {
        text = FormatText(kTextRatio, iw, ih);
        return kReduceRatioDiffers;
    }
    if (sw == w && sh == h) {
        text = FormatText(kTextSameSize, iw, ih);
        return 0;
    }
    if (sw > kReduceMaxSide || sh > kReduceMaxSide) {
        text = FormatText(kTextSourceTooLarge, isw, ish, kReduceMaxSide, kReduceMaxSide);
        return kReduceSourceTooLarge;
    }
    if (w > kReduceMaxSide || h > kReduceMaxSide) {
        text = FormatText(kTextTargetTooLarge, iw, ih, kReduceMaxSide, kReduceMaxSide);
        return kReduceTargetTooLarge;
    }
    if (w * 100 < sw || h * 100 < sh) {
        text = kTextTooStrong;
        return kReduceTooStrong;
    }
    if (sw <= w || sh <= h) {
        text = kTextEnlargement;
        return kReduceEnlargement;
    }
    return kProceed;
}

// The source span of every target index along one axis with its weights in
// hundredths. Both axes use the horizontal factor sw * 100 / w.
struct Axis {
    std::vector<int> first;             // first source index of the span
    std::vector<int> count;             // source indices in the span; 0 = gathers nothing
    std::vector<std::uint32_t> weight;  // `stride` weights per target index, unused ones 0
    std::vector<std::uint32_t> total;   // sum of the span's weights
    std::vector<double> inverse;        // 1 / total (0 when the total is 0)
    int stride = 1;
    std::uint32_t maxTotal = 0;
};

// Along x a span that reaches past the source is skipped; along y (clampEnd)
// its end is pulled back to the last row, and a span starting below the last
// row gathers nothing.
void BuildAxis(int n, int limit, long long numerator, long long denominator, bool clampEnd,
               Axis& axis) {
    axis.first.assign(n, 0);
    axis.count.assign(n, 0);
    axis.stride = 1;
    std::vector<long long> lo(n), hi(n);
    for (int k = 0; k < n; ++k) {
        lo[k] = k * numerator / denominator;
        hi[k] = (k + 1) * numerator / denominator - 1;
        const int a = static_cast<int>(lo[k] / 100);
        int b = static_cast<int>(hi[k] / 100);
        if (b >= limit) {
            if (!clampEnd) continue;
            b = limit - 1;
        }
        if (b < a) continue;
        axis.first[k] = a;
        axis.count[k] = b - a + 1;
        axis.stride = std::max(axis.stride, b - a + 1);
    }
    axis.weight.assign(static_cast<std::size_t>(n) * axis.stride, 0);
    axis.total.assign(n, 0);
    axis.inverse.assign(n, 0.0);
    axis.maxTotal = 0;
    for (int k = 0; k < n; ++k) {
        const int count = axis.count[k];
        if (count == 0) continue;
        const long long a = axis.first[k], b = a + count - 1;
        std::uint32_t* weights = axis.weight.data() + static_cast<std::size_t>(k) * axis.stride;
        weights[0] = static_cast<std::uint32_t>((a + 1) * 100 - lo[k]);
        for (int m = 1; m < count - 1; ++m) weights[m] = 100;
        weights[count - 1] = static_cast<std::uint32_t>(hi[k] - b * 100);  // wins for one tap
        std::uint32_t sum = 0;
        for (int m = 0; m < count; ++m) sum += weights[m];
        axis.total[k] = sum;
        axis.inverse[k] = sum ? 1.0 / sum : 0.0;
        axis.maxTotal = std::max(axis.maxTotal, sum);
    }
}

// The source rows the kernel reads: a whole picture, or a ring of rows that
// a decoder refills (row y in slot y % ring).
struct SourceRows {
    const std::uint8_t* base = nullptr;
    std::size_t stride = 0;  // bytes of a row
    int ring = 1;            // rows held
    const std::uint8_t* Row(int y) const {
        return base + static_cast<std::size_t>(y % ring) * stride;
    }
};

SourceRows WholePicture(const Bitmap& source) {
    return {source.Data(), static_cast<std::size_t>(source.Stride()), std::max(1, source.Height())};
}

struct Plan {
    SourceRows source;
    Bitmap* target;
    const Axis* columns;
    const Axis* rows;
    std::vector<double> columnInverse;       // 1 / column total, once per byte of a target row
    std::vector<float> columnInverseFloat;   // the same in single precision
    std::vector<std::uint32_t> columnTotal;  // column total, once per byte of a target row
    std::size_t pixelsOffset = 0;            // where a row's pixel sums start in a thread's scratch
    std::size_t scratchBytes = 0;            // scratch per thread
};

using kernel::IdleCoreTeams;
using kernel::WorkerCount;
using kernel::WorkerIndex;

// Sums of a row span, column by column: weight x value for each of the three
// bytes of every source pixel. 16 bits suffice while the row weights add up
// to at most 257 (reductions down to about 1 / 2.5).
template <typename Column>
void SumRowSpan(const SourceRows& source, const Axis& rows, int i, Column* sums) {
    const int bytes = static_cast<int>(source.stride);
    const std::uint32_t* weights = rows.weight.data() + static_cast<std::size_t>(i) * rows.stride;
    const std::uint8_t* line = source.Row(rows.first[i]);
    const Column w0 = static_cast<Column>(weights[0]);
    for (int x = 0; x < bytes; ++x) sums[x] = static_cast<Column>(w0 * line[x]);
    for (int k = 1; k < rows.count[i]; ++k) {
        const std::uint8_t* next = source.Row(rows.first[i] + k);
        const Column wk = static_cast<Column>(weights[k]);
        for (int x = 0; x < bytes; ++x) sums[x] = static_cast<Column>(sums[x] + wk * next[x]);
    }
}

// The column spans over the row sums: three sums per target pixel.
template <typename Column, typename Acc, int Taps>
void SumColumnSpans(const Axis& columns, const Column* sums, int w, Acc* out) {
    const int taps = Taps > 0 ? Taps : columns.stride;
    const std::uint32_t* weights = columns.weight.data();
    for (int j = 0; j < w; ++j, out += 3, weights += taps) {
        const Column* in = sums + static_cast<std::size_t>(columns.first[j]) * 3;
        Acc b = 0, g = 0, r = 0;
        for (int k = 0; k < taps; ++k) {
            const Acc weight = static_cast<Acc>(weights[k]);
            b += weight * in[3 * k];
            g += weight * in[3 * k + 1];
            r += weight * in[3 * k + 2];
        }
        out[0] = b;
        out[1] = g;
        out[2] = r;
    }
}

#if defined(__GNUC__)
// The same with the three sums of a pixel in one vector of four 32-bit lanes:
// one multiply per tap instead of three. The fourth lane reads the next sum
// (the row sums carry one spare element at their end) and its result lands
// where the next pixel's first sum goes, which overwrites it; the last
// pixel's spare lane lands in the spare element of the pixel sums.
using Lanes = std::int32_t __attribute__((vector_size(16)));

template <typename Column>
inline Lanes LoadLanes(const Column* p) {
    if constexpr (sizeof(Column) == 2) {
        // Four sums into the low half, widened by interleaving with zeros.
        using Shorts = std::uint16_t __attribute__((vector_size(16)));
        using Halves = std::uint64_t __attribute__((vector_size(16)));
        std::uint64_t four;
        std::memcpy(&four, p, sizeof four);
        const Shorts v = (Shorts)Halves{four, 0};
        return (Lanes)__builtin_shufflevector(v, Shorts{}, 0, 8, 1, 9, 2, 10, 3, 11);
    } else {
        Lanes v;  // row sums of 32 bits stay below 2^31 when the pixel sums do
        std::memcpy(&v, p, sizeof v);
        return v;
    }
}

template <typename Column, int Taps>
void SumColumnSpansInLanes(const Axis& columns, const Column* sums, int w, std::int32_t* out) {
    const int taps = Taps > 0 ? Taps : columns.stride;
    const std::uint32_t* weights = columns.weight.data();
    const int* first = columns.first.data();  // held apart from the stores through `out`
    for (int j = 0; j < w; ++j, out += 3, weights += taps) {
        const Column* in = sums + static_cast<std::size_t>(first[j]) * 3;
        Lanes sum = LoadLanes(in) * static_cast<std::int32_t>(weights[0]);
        for (int k = 1; k < taps; ++k)
            sum += LoadLanes(in + 3 * k) * static_cast<std::int32_t>(weights[k]);
        std::memcpy(out, &sum, sizeof sum);
    }
}
constexpr bool kHaveLanes = true;
#else
template <typename Column, int Taps>
void SumColumnSpansInLanes(const Axis& columns, const Column* sums, int w, std::int32_t* out) {
    SumColumnSpans<Column, std::int32_t, Taps>(columns, sums, w, out);
}
constexpr bool kHaveLanes = false;
#endif

template <typename Column, typename Acc, int Taps>
void SumColumnSpansBest(const Axis& columns, const Column* sums, int w, Acc* out) {
    if constexpr (std::is_same_v<Acc, std::int32_t> && kHaveLanes)
        SumColumnSpansInLanes<Column, Taps>(columns, sums, w, out);
    else
        SumColumnSpans<Column, Acc, Taps>(columns, sums, w, out);
}

template <typename Column, typename Acc>
void SumColumnSpansAnyTaps(const Axis& columns, const Column* sums, int w, Acc* out) {
    switch (columns.stride) {
        case 2:
            return SumColumnSpansBest<Column, Acc, 2>(columns, sums, w, out);
        case 3:
            return SumColumnSpansBest<Column, Acc, 3>(columns, sums, w, out);
        case 4:
            return SumColumnSpansBest<Column, Acc, 4>(columns, sums, w, out);
        default:
            return SumColumnSpansBest<Column, Acc, 0>(columns, sums, w, out);
    }
}

// sum / total, truncated, for every byte of the row. (sum + 0.5) / total lies
// at least 0.5 / total (> 4e-9) away from every integer, far more than the
// rounding error of the double products (< 1e-12), so the truncation equals
// the integer division.
template <typename Acc>
void StoreQuotients(const Acc* sums, const double* columnInverse, double rowInverse, int bytes,
                    std::uint8_t* out) {
    for (int x = 0; x < bytes; ++x) {
        const double q = (static_cast<double>(sums[x]) + 0.5) * columnInverse[x] * rowInverse;
        out[x] = static_cast<std::uint8_t>(static_cast<int>(std::min(q, 255.0)));
    }
}

// The same for sums below 2^31, eight bytes at a time where the machine
// allows: a single-precision estimate of sum / total is off by less than
// 1e-4 (five roundings of 2^-24 each on a quotient of at most 256), so its
// truncation is the quotient or one of its neighbours, and one exact integer
// step on each side settles it. A total of 0 (a skipped pixel) has a sum of
// 0 and gives 0.
void StoreQuotientsNarrow(const std::int32_t* sums, const Plan& plan, int row, int bytes,
                          std::uint8_t* out) {
    const float rowInverse = static_cast<float>(plan.rows->inverse[row]);
    const std::uint32_t rowTotal = plan.rows->total[row];
    const float* columnInverse = plan.columnInverseFloat.data();
    const std::uint32_t* columnTotal = plan.columnTotal.data();
    for (int x = 0; x < bytes; ++x) {
        const std::uint32_t sum = static_cast<std::uint32_t>(sums[x]);
        const std::uint32_t total = columnTotal[x] * rowTotal;
        std::uint32_t q = static_cast<std::uint32_t>(
            static_cast<std::int32_t>(static_cast<float>(sums[x]) * columnInverse[x] * rowInverse));
        q -= q * total > sum ? 1u : 0u;
        q += q * total + total <= sum && total != 0 ? 1u : 0u;
        out[x] = static_cast<std::uint8_t>(std::min(q, 255u));
    }
}

// Nearly black pixels inside the border become pure black. Brightness 0
// needs blue <= 1, which almost no pixel of a photo has: blocks of sixteen
// pixels without any byte <= 1 are passed over by one vector test.
void BlackenDarkInterior(std::uint8_t* row, int w) {
    constexpr int kBlock = 48;
    const int bytes = 3 * w;
    for (int start = 0; start < bytes; start += kBlock) {
        const int end = std::min(bytes, start + kBlock);
        std::uint8_t lowest = 255;
        if (end - start == kBlock) {
            for (int x = 0; x < kBlock; ++x) lowest = std::min(lowest, row[start + x]);
        } else {
            for (int x = start; x < end; ++x) lowest = std::min(lowest, row[x]);
        }
        if (lowest > 1) continue;
        for (int j = std::max(start / 3, 1); j < std::min(end / 3, w - 1); ++j) {
            std::uint8_t* p = row + 3 * j;
            if (p[0] <= 1 && p[2] * 28 + p[1] * 77 + p[0] * 151 < 255) p[0] = p[1] = p[2] = 0;
        }
    }
}

template <typename Column, typename Acc>
inline void ReduceRow(const Plan& plan, int i, std::byte* scratch) {
    const Axis& rows = *plan.rows;
    const int w = plan.target->Width(), h = plan.target->Height();
    std::uint8_t* out = plan.target->Row(i);
    if (rows.count[i] == 0) {  // starts below the source's last row
        std::memset(out, 0, static_cast<std::size_t>(plan.target->Stride()));
        return;
    }
    // The unused taps of the last columns (and the spare lane) read zeros past
    // the source's width.
    Column* sums = reinterpret_cast<Column*>(scratch);
    Acc* pixels = reinterpret_cast<Acc*>(scratch + plan.pixelsOffset);
    const std::size_t used = plan.source.stride;
    std::fill(sums + used, sums + used + plan.columns->stride * 3 + 1, Column(0));
    SumRowSpan(plan.source, rows, i, sums);
    SumColumnSpansAnyTaps(*plan.columns, sums, w, pixels);
    if constexpr (std::is_same_v<Acc, std::int32_t>)
        StoreQuotientsNarrow(pixels, plan, i, w * 3, out);
    else
        StoreQuotients(pixels, plan.columnInverse.data(), rows.inverse[i], w * 3, out);
    if (i > 0 && i < h - 1) BlackenDarkInterior(out, w);
}

using RowFn = void (*)(const Plan&, int, std::byte*);

// The versions the kernel is compiled in; clang clones no templates, so each
// is a plain function around the template.
KAMBRIX_KERNEL_CLONES void ReduceRow16x32(const Plan& plan, int i, std::byte* scratch) {
    ReduceRow<std::uint16_t, std::int32_t>(plan, i, scratch);
}
KAMBRIX_KERNEL_CLONES void ReduceRow16x64(const Plan& plan, int i, std::byte* scratch) {
    ReduceRow<std::uint16_t, std::int64_t>(plan, i, scratch);
}
KAMBRIX_KERNEL_CLONES void ReduceRow32x32(const Plan& plan, int i, std::byte* scratch) {
    ReduceRow<std::uint32_t, std::int32_t>(plan, i, scratch);
}
KAMBRIX_KERNEL_CLONES void ReduceRow32x64(const Plan& plan, int i, std::byte* scratch) {
    ReduceRow<std::uint32_t, std::int64_t>(plan, i, scratch);
}

// The narrowest number types that hold every sum of this reduction.
RowFn ChooseRowKernel(const Axis& columns, const Axis& rows) {
    const bool narrowColumns = rows.maxTotal * 255ull <= 0xFFFF;
    const bool narrowPixels =
        static_cast<std::uint64_t>(columns.maxTotal) * rows.maxTotal * 255 < (1ull << 31);
    if (narrowColumns) return narrowPixels ? ReduceRow16x32 : ReduceRow16x64;
    return narrowPixels ? ReduceRow32x32 : ReduceRow32x64;
}

// Target rows per band between two yields: about four million source bytes.
int BandRows(std::size_t sourceStride, const Axis& rows) {
    const long long perRow = static_cast<long long>(rows.stride) * sourceStride + 1;
    return static_cast<int>(std::max(1LL, (4LL << 20) / perRow));
}

// Scratch of one thread: row sums (at most 32 bits each, with room for the
// unused taps and one spare) and pixel sums (at most 64 bits each, and one
// spare), 64-byte aligned.
void SizeScratch(std::size_t sourceStride, int w, const Axis& columns, Plan& plan) {
    const auto align = [](std::size_t bytes) { return (bytes + 63) / 64 * 64; };
    plan.pixelsOffset = align((sourceStride + columns.stride * 3 + 1) * 4);
    plan.scratchBytes = plan.pixelsOffset + align((static_cast<std::size_t>(w) * 3 + 1) * 8);
}

}  // namespace

// Everything a reduction of one source size to one target size needs,
// built before the target is touched: the axes, the per-byte tables, the
// row kernel and the scratch of every thread.
struct HighQualityReducer {
    Axis columns, rows;
    Plan plan{};
    RowFn reduceRow = nullptr;
    bool parallel = false;
    std::vector<std::byte> scratch;
    std::byte* base = nullptr;

    HighQualityReducer(int sourceWidth, int sourceHeight, int w, int h) {
        const long long factor = static_cast<long long>(sourceWidth) * 100;
        BuildAxis(w, sourceWidth, factor, w, false, columns);
        BuildAxis(h, sourceHeight, factor, w, true, rows);
        plan.columns = &columns;
        plan.rows = &rows;
        plan.columnInverse.resize(static_cast<std::size_t>(w) * 3);
        plan.columnInverseFloat.resize(static_cast<std::size_t>(w) * 3);
        plan.columnTotal.resize(static_cast<std::size_t>(w) * 3);
        for (int x = 0; x < w * 3; ++x) {
            plan.columnInverse[x] = columns.inverse[x / 3];
            plan.columnInverseFloat[x] = static_cast<float>(columns.inverse[x / 3]);
            plan.columnTotal[x] = columns.total[x / 3];
        }
        const std::size_t stride = static_cast<std::size_t>(sourceWidth) * 3;
        SizeScratch(stride, w, columns, plan);
        reduceRow = ChooseRowKernel(columns, rows);
        parallel = static_cast<long long>(sourceWidth) * sourceHeight > (1 << 16);
        // Row buffers of every thread in one block, 64-byte aligned.
        scratch.resize(plan.scratchBytes * (parallel ? WorkerCount() : 1) + 64);
        base = scratch.data() + (64 - reinterpret_cast<std::uintptr_t>(scratch.data()) % 64);
    }
    HighQualityReducer(const HighQualityReducer&) = delete;
    HighQualityReducer& operator=(const HighQualityReducer&) = delete;

    // Target rows i0 .. i1 - 1, whose source rows `plan.source` holds.
    void Run(int i0, int i1) {
        [[maybe_unused]] const IdleCoreTeams teams;
        const Plan& p = plan;
        std::byte* const b = base;
        const RowFn row = reduceRow;
        const std::size_t bytes = plan.scratchBytes;
        KAMBRIX_KERNEL_OMP("omp parallel for schedule(dynamic, 8) if (parallel)")
        for (int i = i0; i < i1; ++i) row(p, i, b + WorkerIndex() * bytes);
    }
};

namespace {

// Reduces into `target`, which must not be the source. Everything that can
// fail is taken before the target is touched.
void RunReduction(const Bitmap& source, Bitmap& target, int w, int h, const YieldFn& yield) {
    HighQualityReducer reducer(source.Width(), source.Height(), w,
                               h);  // per call: the yield may reduce too
    reducer.plan.source = WholePicture(source);
    reducer.plan.target = &target;
    const int band = BandRows(reducer.plan.source.stride, reducer.rows);
    target.SetSizeForOverwrite(w, h);  // every row is written below
    for (int i0 = 0; i0 < h; i0 += band) {
        reducer.Run(i0, std::min(h, i0 + band));
        if (yield) yield();
    }
}

}  // namespace

int ReduceHighQuality(const Bitmap& source, Bitmap& target, int width, int height,
                      std::string& errorText, const YieldFn& yield) {
    errorText.clear();
    const int result = CheckSizes(source.Width(), source.Height(), width, height, errorText);
    if (result != 0 && result != kProceed) return result;
    if (result == kProceed &&
        (source.Width() > kReduceMaxSide || source.Height() > kReduceMaxSide)) {
        errorText = FormatText(kTextSourceTooLargeAtWork, source.Width(), source.Height(),
                               kReduceMaxSide, kReduceMaxSide);
        return kReduceSourceTooLargeAtWork;
    }
    try {
        if (result == 0) {
            // Equal sizes: the target becomes a copy of the source, at its size.
            if (&source != &target) target = source;  // into the target's memory
            return 0;
        }
        if (&source == &target) {
            Bitmap reduced;  // built aside: the source is read to the end
            RunReduction(source, reduced, width, height, yield);
            target = std::move(reduced);
        } else {
            RunReduction(source, target, width, height, yield);  // into the target's memory
        }
        return 0;
    } catch (const std::bad_alloc&) {
        errorText = kNoMemoryText;
        return kReduceNoMemory;
    }
}

// ---- The reduction of rows as they come -------------------------------------

namespace {

// Target rows reduced together once their source rows are in: enough for
// the threads to share, few enough that the ring stays in the caches.
constexpr int kStreamBandRows = 32;

}  // namespace

RowStreamReduction::RowStreamReduction() = default;
RowStreamReduction::~RowStreamReduction() = default;

bool RowStreamReduction::Begin(int sourceWidth, int sourceHeight, Bitmap& target, int width,
                               int height, int rowsAhead) {
    reducer_.reset();
    std::string text;
    if (CheckSizes(sourceWidth, sourceHeight, width, height, text) != kProceed ||
        sourceWidth > kReduceMaxSide || sourceHeight > kReduceMaxSide)
        return false;
    auto reducer = std::make_unique<HighQualityReducer>(sourceWidth, sourceHeight, width, height);
    // Rows one band of target rows reads, the longest span left over, and
    // the rows a writer may put in before it reports them.
    const Axis& rows = reducer->rows;
    const long long bandSpan = 1LL * kStreamBandRows * sourceHeight / height + 2 * rows.stride;
    const int ring = static_cast<int>(
        std::min<long long>(sourceHeight, bandSpan + rows.stride + std::max(rowsAhead, 1)));
    const std::size_t stride = static_cast<std::size_t>(sourceWidth) * 3;
    ring_.resize(stride * ring);
    reducer->plan.source = {ring_.data(), stride, ring};
    reducer->plan.target = &target;
    target.SetSizeForOverwrite(width, height);
    reducer_ = std::move(reducer);
    sourceHeight_ = sourceHeight;
    rowsAhead_ = std::max(rowsAhead, 1);
    next_ = 0;
    return true;
}

std::uint8_t* RowStreamReduction::SourceRow(int y) {
    return const_cast<std::uint8_t*>(reducer_->plan.source.Row(y));
}

int RowStreamReduction::RowsWritten(int y) {
    const Axis& rows = reducer_->rows;
    const int h = static_cast<int>(rows.count.size());
    // A target row is ready once its last source row is in; one whose span
    // starts below the source gathers nothing and is always ready.
    int ready = next_;
    while (ready < h && rows.first[ready] + rows.count[ready] <= y) ++ready;
    if (y >= sourceHeight_) ready = h;
    if (ready == next_) return next_;
    // The rows the writer may add before its next report must not land on
    // a slot an unreduced target row still reads.
    const bool ringFull = y + rowsAhead_ > rows.first[next_] + reducer_->plan.source.ring;
    if (ready - next_ >= kStreamBandRows || ready == h || ringFull) {
        reducer_->Run(next_, ready);
        next_ = ready;
    }
    return next_;
}
