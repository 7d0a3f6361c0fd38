// The high-quality reduction of a 12-megapixel photo to 3000 pixels wide:
// ours, the literal reference, and OpenCV's area resize for comparison.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <string>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "imaging/reduce.h"
#include "reference/reduce_reference.h"

// Smooth light, a darker head-like ellipse with hard edges and sensor noise.
Bitmap PhotoLikeBitmap(int width, int height) {
    Bitmap b(width, height);
    std::uint32_t state = 12345;
    const double cx = width * 0.5, cy = height * 0.45, rx = width * 0.18, ry = height * 0.3;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = b.Row(y);
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 28) - 8;
            const double u = double(x) / width, v = double(y) / height;
            const double dx = (x - cx) / rx, dy = (y - cy) / ry;
            const bool head = dx * dx + dy * dy < 1.0;
            const int base = head ? 90 : 170;
            const int r = base + int(40 * std::sin(5.0 * u + 2.0 * v)) + noise;
            const int g = base - 20 + int(30 * std::cos(3.0 * v)) + noise;
            const int bl = base - 40 + int(25 * std::sin(7.0 * u * v)) + noise;
            row[3 * x] = std::uint8_t(std::clamp(bl, 0, 255));
            row[3 * x + 1] = std::uint8_t(std::clamp(g, 0, 255));
            row[3 * x + 2] = std::uint8_t(std::clamp(r, 0, 255));
        }
    }
    return b;
}

namespace {

const Bitmap& Photo() {
    static const Bitmap photo = PhotoLikeBitmap(4000, 3000);
    return photo;
}

// The literal reference's result, once: every timed case of ours checks
// against it before it is timed.
const Bitmap& ReferenceResult() {
    static const Bitmap result = [] {
        Bitmap target;
        ReduceHighQualityReference(Photo(), target, 3000, 2250);
        return target;
    }();
    return result;
}

void BM_ReduceFast(benchmark::State& state) {
    const Bitmap& source = Photo();
    Bitmap target;
    std::string text;
    if (ReduceHighQuality(source, target, 3000, 2250, text) != 0 ||
        !(target == ReferenceResult())) {
        state.SkipWithError("differs from the reference");
        return;
    }
    for (auto _ : state) {
        if (ReduceHighQuality(source, target, 3000, 2250, text) != 0)
            state.SkipWithError("refused");
        benchmark::DoNotOptimize(target.Data());
    }
}
BENCHMARK(BM_ReduceFast)->Name("Reduce/Fast")->Unit(benchmark::kMillisecond)->UseRealTime();

// One core for ours and for OpenCV alike: the comparison that does not depend
// on a second core being idle.
class OneThread {
  public:
    OneThread() : openCv_(cv::getNumThreads()) {
        cv::setNumThreads(1);
#ifdef _OPENMP
        omp_ = omp_get_max_threads();
        omp_set_num_threads(1);
#endif
    }
    ~OneThread() {
        cv::setNumThreads(openCv_);
#ifdef _OPENMP
        omp_set_num_threads(omp_);
#endif
    }

  private:
    int openCv_;
    int omp_ = 1;
};

void BM_ReduceFastOneThread(benchmark::State& state) {
    const OneThread one;
    BM_ReduceFast(state);
}
BENCHMARK(BM_ReduceFastOneThread)
    ->Name("Reduce/FastOneThread")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ReduceReference(benchmark::State& state) {
    const Bitmap& source = Photo();
    Bitmap target;
    for (auto _ : state) {
        if (ReduceHighQualityReference(source, target, 3000, 2250) != 0)
            state.SkipWithError("refused");
        benchmark::DoNotOptimize(target.Data());
    }
}
BENCHMARK(BM_ReduceReference)
    ->Name("Reduce/Reference")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_ReduceOpenCvArea(benchmark::State& state) {
    const OneThread one;
    Bitmap& source = const_cast<Bitmap&>(Photo());  // wrapped read-only
    const cv::Mat in(source.Height(), source.Width(), CV_8UC3, source.Data(), source.Stride());
    cv::Mat out(2250, 3000, CV_8UC3);
    for (auto _ : state) {
        cv::resize(in, out, out.size(), 0, 0, cv::INTER_AREA);
        benchmark::DoNotOptimize(out.data);
    }
}
BENCHMARK(BM_ReduceOpenCvArea)
    ->Name("Reduce/OpenCvArea")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
