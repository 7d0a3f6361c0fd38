// One 12-megapixel portrait end to end as kambrix-batch works it on one core
// (load with its reduction, frame, cut, compose, save), with the time of each
// stage, beside its floor: decoding the photo and encoding a sheet of the
// built-in layout's size, which no pipeline can go below.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <opencv2/imgproc.hpp>

#include "cli/batch_run.h"
#include "platform/jpeg.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;

// A 12-megapixel portrait (3464 x 3464) made once from the 1000 x 1000
// sample: the size a studio camera delivers, so that the decode, the
// reduction on load and the sheet all work at their real scale.
std::string SamplePortrait() {
    static const std::string path = [] {
        const std::string small =
            (fs::path(KAMBRIX_BENCH_SOURCE_DIR) / "data" / "samples" / "visualhunt_bald_beard.jpg")
                .string();
        const std::string big = (fs::temp_directory_path() / "kambrix_pipeline_12mp.jpg").string();
        Bitmap photo;
        if (DecodeJpegFile(small, photo) != 0) return small;
        const cv::Mat in(photo.Height(), photo.Width(), CV_8UC3, photo.Data(),
                         static_cast<std::size_t>(photo.Stride()));
        Bitmap large(3464, 3464);
        cv::Mat out(large.Height(), large.Width(), CV_8UC3, large.Data(),
                    static_cast<std::size_t>(large.Stride()));
        cv::resize(in, out, out.size(), 0, 0, cv::INTER_CUBIC);
        return EncodeJpegFile(big, large, 92) == 0 ? big : small;
    }();
    return path;
}

void BM_Floor(benchmark::State& state) {
    const std::string out = (fs::temp_directory_path() / "kambrix_pipeline_floor.jpg").string();
    Bitmap photo, sheet(1051, 1500, kWhite);
    for (auto _ : state) {
        if (DecodeJpegFile(SamplePortrait(), photo) != 0 || EncodeJpegFile(out, sheet, 90) != 0)
            state.SkipWithError("sample portrait not decoded or sheet not written");
    }
    fs::remove(out);
}
BENCHMARK(BM_Floor)->Name("Pipeline/Floor")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OnePhoto(benchmark::State& state) {
    const fs::path out = fs::temp_directory_path() / "kambrix_pipeline_bench";
    BatchOptions options;
    options.inputs = {SamplePortrait()};
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
BENCHMARK(BM_OnePhoto)->Name("Pipeline/OnePhoto")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
