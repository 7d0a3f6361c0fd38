// Turning and sharpening a 3000 x 3000 square, the largest the view works on
// after the load reduction: ours, the literal references, and OpenCV's
// bilinear warp and 3 x 3 unsharp mask for comparison.
#include <benchmark/benchmark.h>

#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/rotate.h"
#include "imaging/sharpen.h"
#include "reference/rotate_reference.h"
#include "reference/sharpen_reference.h"

Bitmap PhotoLikeBitmap(int width, int height);  // reduce_bench.cpp

namespace {

constexpr int kSide = 3000;
constexpr int kAngle = 50;  // 5 degrees: every target row crosses many source rows

const Bitmap& Square() {
    static const Bitmap square = PhotoLikeBitmap(kSide, kSide);
    return square;
}

cv::Mat Wrap(const Bitmap& b) {
    return cv::Mat(b.Height(), b.Width(), CV_8UC3, const_cast<std::uint8_t*>(b.Data()), b.Stride());
}

// The timed results are checked once against the references before timing.
bool RotationMatches() {
    static const bool matches = [] {
        Bitmap fast(kSide, kSide), reference(kSide, kSide);
        RotateBitmap(Square(), fast, kAngle);
        RotateBitmapReference(Square(), reference, kAngle);
        return fast == reference;
    }();
    return matches;
}

bool SharpeningMatches() {
    static const bool matches = [] {
        Bitmap fast = Square(), reference = Square();
        SharpenBitmap(fast);
        SharpenBitmapReference(reference);
        return fast == reference;
    }();
    return matches;
}

void BM_RotateFast(benchmark::State& state) {
    if (!RotationMatches()) state.SkipWithError("differs from the reference");
    Bitmap target(kSide, kSide);
    for (auto _ : state) {
        RotateBitmap(Square(), target, kAngle);
        benchmark::DoNotOptimize(target.Data());
    }
}
BENCHMARK(BM_RotateFast)->Name("Rotate/Fast")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RotateReference(benchmark::State& state) {
    Bitmap target(kSide, kSide);
    for (auto _ : state) {
        RotateBitmapReference(Square(), target, kAngle);
        benchmark::DoNotOptimize(target.Data());
    }
}
BENCHMARK(BM_RotateReference)
    ->Name("Rotate/Reference")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

void BM_RotateOpenCvWarpAffine(benchmark::State& state) {
    const cv::Mat in = Wrap(Square());
    cv::Mat out(kSide, kSide, CV_8UC3);
    // Clockwise on screen is a negative angle for OpenCV.
    const cv::Mat turn =
        cv::getRotationMatrix2D(cv::Point2f(kSide / 2.0f, kSide / 2.0f), -kAngle * 0.1, 1.0);
    for (auto _ : state) {
        cv::warpAffine(in, out, turn, out.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT);
        benchmark::DoNotOptimize(out.data);
    }
}
BENCHMARK(BM_RotateOpenCvWarpAffine)
    ->Name("Rotate/OpenCvWarpAffine")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SharpenFast(benchmark::State& state) {
    if (!SharpeningMatches()) state.SkipWithError("differs from the reference");
    Bitmap image = Square();
    for (auto _ : state) {
        SharpenBitmap(image);  // repeated sharpening costs the same as the first
        benchmark::DoNotOptimize(image.Data());
    }
}
BENCHMARK(BM_SharpenFast)->Name("Sharpen/Fast")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SharpenReference(benchmark::State& state) {
    Bitmap image = Square();
    for (auto _ : state) {
        SharpenBitmapReference(image);
        benchmark::DoNotOptimize(image.Data());
    }
}
BENCHMARK(BM_SharpenReference)
    ->Name("Sharpen/Reference")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

void BM_SharpenOpenCvUnsharp(benchmark::State& state) {
    const cv::Mat in = Wrap(Square());
    cv::Mat blurred, out;
    for (auto _ : state) {
        cv::GaussianBlur(in, blurred, cv::Size(3, 3), 0);
        cv::addWeighted(in, 1.5, blurred, -0.5, 0, out);
        benchmark::DoNotOptimize(out.data);
    }
}
BENCHMARK(BM_SharpenOpenCvUnsharp)
    ->Name("Sharpen/OpenCvUnsharp")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
