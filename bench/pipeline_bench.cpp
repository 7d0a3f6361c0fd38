// One portrait end to end as kambrix-batch works it on one core (load, frame,
// cut, compose, save), beside its floor: decoding the photo and encoding a
// sheet of the built-in layout's size, which no pipeline can go below.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "cli/batch_run.h"
#include "platform/jpeg.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;

std::string SamplePortrait() {
    return (fs::path(KAMBRIX_BENCH_SOURCE_DIR) / "data" / "samples" / "visualhunt_bald_beard.jpg")
        .string();
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
    for (auto _ : state) worker.RunUnit(0, [&last](const PhotoResult& r) { last = r; });
    if (last.status != PhotoStatus::Ok) state.SkipWithError("the sample portrait gave no sheet");
    fs::remove_all(out);
}
BENCHMARK(BM_OnePhoto)->Name("Pipeline/OnePhoto")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
