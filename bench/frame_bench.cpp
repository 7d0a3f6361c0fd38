// One automatic framing pass as the program runs it, on the large portrait of
// the shared set brought to a 3000 x 3000 square: temporary JPEG, library
// load and the fixed 500 ms wait, first search, second search when needed,
// chin, head-top scans (or the contour finder), the face image with its 50 ms
// wait, release. The counters give each stage in milliseconds and the time
// beyond the waits.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "detect/auto_frame.h"
#include "layout/layout.h"
#include "platform/jpeg.h"

namespace fs = std::filesystem;

namespace {

fs::path BenchProgramDir() {
    if (const char* dir = std::getenv("KAMBRIX_PROGRAM_DIR")) return dir;
    std::error_code ec;
    return fs::canonical("/proc/self/exe", ec).parent_path().parent_path() / "bin";
}

fs::path PortraitsDir() {
    if (const char* dir = std::getenv("KAMBRIX_PORTRAITS")) return dir;
    return BenchProgramDir().parent_path().parent_path().parent_path().parent_path() /
           "shared/testdata/portraits";
}

// The 3000 x 3000 working square of the large portrait; empty when absent.
const Bitmap& Square() {
    static const Bitmap square = [] {
        Bitmap photo;
        if (DecodeJpegFile((PortraitsDir() / "unsplash_portrait_3000x4495.jpg").string(), photo) !=
            0)
            return Bitmap();
        const int w = photo.Width() * 3000 / photo.Height();
        Bitmap s(3000, 3000, kBlack);
        StretchDraw(photo, {0, 0, photo.Width(), photo.Height()}, s,
                    {(3000 - w) / 2, 0, (3000 - w) / 2 + w, 3000});
        return s;
    }();
    return square;
}

constexpr double FramingTimes::*kStages[] = {
    &FramingTimes::tempJpeg,     &FramingTimes::load,    &FramingTimes::firstSearch,
    &FramingTimes::secondSearch, &FramingTimes::chin,    &FramingTimes::headTop,
    &FramingTimes::faceSave,     &FramingTimes::release, &FramingTimes::total};
constexpr const char* kStageNames[] = {"tempJpeg", "load_wait", "first",   "second", "chin",
                                       "headTop",  "face_wait", "release", "total"};

void FrameAutoPass(benchmark::State& state, HeadTopMethod method) {
    const std::string appDir = BenchProgramDir().string() + "/";
    TLayout layout = DefaultLayout();
    if (Square().Empty() || !LoadLayoutFile(appDir + "35x45mm_L判_4枚_パスポート.ini", layout)) {
        state.SkipWithError("shared portraits or the program folder not available");
        return;
    }
    const fs::path out = fs::temp_directory_path() / "kambrix_frame_bench";
    fs::create_directories(out);
    AutoFrameOptions options;
    options.appDir = appDir;
    options.saveFolder = out.string() + "/";
    options.photoDir = options.saveFolder;
    options.photoPath = "/nowhere/portrait.jpg";
    options.headTopMethod = method;
    FramingTimes wall, cpu;
    int passes = 0, failures = 0;
    auto add = [](FramingTimes& sum, const FramingTimes& t) {
        for (double FramingTimes::*stage : kStages) sum.*stage += t.*stage;
    };
    for (auto _ : state) {
        FaceLibrary library(appDir + FaceLibraryFileName());
        FramingResult result;
        if (RunFramingPass(Square(), options, layout, library, result) != 0) ++failures;
        add(wall, result.times);
        add(cpu, result.cpuTimes);
        ++passes;
    }
    fs::remove_all(out);
    if (passes == 0) return;
    for (std::size_t i = 0; i < std::size(kStages); ++i) {
        state.counters[std::string(kStageNames[i]) + "_ms"] = wall.*kStages[i] / passes;
        state.counters[std::string(kStageNames[i]) + "_cpu"] = cpu.*kStages[i] / passes;
    }
    // The fixed waits (500 ms after loading, 50 ms before saving the face) cost no work.
    state.counters["beyond_waits_ms"] = wall.total / passes - 550.0;
    state.counters["failures"] = failures;
}

void FrameHeadTop(benchmark::State& state) {
    if (Square().Empty()) {
        state.SkipWithError("shared portraits not available");
        return;
    }
    // The band and face top row of the face found in this square.
    for (auto _ : state)
        benchmark::DoNotOptimize(FindHeadTop(500, 2490, 626, Square(), HeadTopSettings{}));
}

[[maybe_unused]] const bool registered = [] {
    // The description's background scan, and the contour finder (a
    // segmentation of the head) that kambrix-batch uses by default.
    for (const auto& [name, method] : {std::pair{"Frame/AutoPass", HeadTopMethod::kBackground},
                                       std::pair{"Frame/AutoPassContour", HeadTopMethod::kContour}})
        benchmark::RegisterBenchmark(name, FrameAutoPass, method)
            ->Iterations(5)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::RegisterBenchmark("Frame/HeadTop", FrameHeadTop)->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
