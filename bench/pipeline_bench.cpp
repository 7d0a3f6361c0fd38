// One 12-megapixel portrait end to end as kambrix-batch works it on one core
// (load with its reduction, frame, cut, compose, save), with the time of each
// stage, beside its floor: decoding the photo and encoding a sheet of the
// built-in layout's size, which no pipeline can go below.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <opencv2/imgproc.hpp>

#include "cli/batch_run.h"
#include "imaging/photo.h"
#include "platform/jpeg.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;

std::string MakeSample(bool grain) {
    const std::string small =
        (fs::path(KAMBRIX_BENCH_SOURCE_DIR) / "data" / "samples" / "visualhunt_bald_beard.jpg")
            .string();
    const std::string big = (fs::temp_directory_path() / (grain ? "kambrix_pipeline_12mp_grain.jpg"
                                                                : "kambrix_pipeline_12mp.jpg"))
                                .string();
    Bitmap photo;
    if (DecodeJpegFile(small, photo) != 0) return small;
    const cv::Mat in(photo.Height(), photo.Width(), CV_8UC3, photo.Data(),
                     static_cast<std::size_t>(photo.Stride()));
    Bitmap large(3464, 3464);
    cv::Mat out(large.Height(), large.Width(), CV_8UC3, large.Data(),
                static_cast<std::size_t>(large.Stride()));
    cv::resize(in, out, out.size(), 0, 0, cv::INTER_CUBIC);
    if (grain) {
        cv::Mat noise(out.size(), CV_16SC3);
        cv::RNG rng(12345);
        rng.fill(noise, cv::RNG::NORMAL, 0, 5);
        cv::Mat sum;
        cv::add(out, noise, sum, cv::noArray(), CV_16SC3);
        sum.convertTo(out, CV_8UC3);  // saturates at 0 and 255
    }
    return EncodeJpegFile(big, large, 92) == 0 ? big : small;
}

// A 12-megapixel portrait (3464 x 3464) made once from the 1000 x 1000
// sample: the size a studio camera delivers, so that the decode, the
// reduction on load and the sheet all work at their real scale. The smooth
// upscale codes into an unusually small file (about 1.8 MB) that decodes
// fast; a camera's file of that size holds sensor grain and is 3-6 MB. The
// grainy variant adds such grain (Gaussian, sigma 5 per channel, the same
// every run), so both ends of the range are measured.
std::string SamplePortrait(bool grain) {
    static const std::string paths[2] = {MakeSample(false), MakeSample(true)};
    return paths[grain ? 1 : 0];
}

void BM_Floor(benchmark::State& state) {
    const std::string out = (fs::temp_directory_path() / "kambrix_pipeline_floor.jpg").string();
    const std::string sample = SamplePortrait(state.range(0) != 0);
    Bitmap photo, sheet(1051, 1500, kWhite);
    state.counters["file_mb"] = static_cast<double>(fs::file_size(sample)) / 1e6;
    for (auto _ : state) {
        if (DecodeJpegFile(sample, photo) != 0 || EncodeJpegFile(out, sheet, 90) != 0)
            state.SkipWithError("sample portrait not decoded or sheet not written");
    }
    fs::remove(out);
}
BENCHMARK(BM_Floor)
    ->Name("Pipeline/Floor")
    ->ArgName("grain")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The load stage of OnePhoto alone, beside the floor's decode: what the
// reduction to 3000 pixels, the kept copy and the square add to decoding.
void BM_Load(benchmark::State& state) {
    const std::string sample = SamplePortrait(state.range(0) != 0);
    WorkingImages images;  // held across photos, as in a run
    for (auto _ : state) {
        images.fileName.clear();  // read the file again
        if (LoadPhoto(images, sample, LoadOptions{}).code != 0 || images.trim.Width() != 3000)
            state.SkipWithError("sample portrait not loaded");
    }
}
BENCHMARK(BM_Load)
    ->Name("Pipeline/Load")
    ->ArgName("grain")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_OnePhoto(benchmark::State& state) {
    const fs::path out = fs::temp_directory_path() / "kambrix_pipeline_bench";
    BatchOptions options;
    options.inputs = {SamplePortrait(state.range(0) != 0)};
    options.outDir = out.string();
    options.settings.recognitionImages = false;
    BatchPlan plan;
    const std::string error = PrepareBatch(options, ExecutableFolder() + "../bin/", plan);
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    BatchWorker worker(plan);  // the face library stays resident, as in a run
    PhotoResult last;
    worker.RunUnit(0, [&last](const PhotoResult& r) { last = r; });  // models read once
    // Per-stage times, averaged over the iterations: where the time goes.
    std::map<std::string, double> stageMs;
    for (auto _ : state) {
        worker.RunUnit(0, [&last](const PhotoResult& r) { last = r; });
        for (const auto& [stage, ms] : last.ms) stageMs[stage] += ms;
    }
    for (const auto& [stage, ms] : stageMs)
        state.counters["ms_" + stage] = benchmark::Counter(ms / double(state.iterations()));
    if (last.status != PhotoStatus::Ok) state.SkipWithError("the sample portrait gave no sheet");
    fs::remove_all(out);
}
BENCHMARK(BM_OnePhoto)
    ->Name("Pipeline/OnePhoto")
    ->ArgName("grain")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
