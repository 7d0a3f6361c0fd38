// Opening a 12-megapixel JPEG the way the window does: decode, reduce to
// 3000 pixels wide, copy, square, and the 530-pixel view. Reports the longest
// stretch without a yield (the window's event loop stands still that long),
// in wall-clock and in the thread's CPU time, and the process's peak
// resident memory.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "imaging/photo.h"
#include "imaging/view.h"
#include "platform/jpeg.h"

Bitmap PhotoLikeBitmap(int width, int height);  // reduce_bench.cpp

namespace {

using Clock = std::chrono::steady_clock;

const std::string& PhotoFile() {
    static const std::string path = [] {
        const auto folder = std::filesystem::temp_directory_path() / "kambrix_photo_bench";
        std::filesystem::create_directories(folder);
        const std::string file = (folder / "photo_4000x3000.jpg").string();
        EncodeJpegFile(file, PhotoLikeBitmap(4000, 3000), 90);
        return file;
    }();
    return path;
}

// VmHWM of /proc/self/status in megabytes (0 where the platform has none).
double PeakResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    double kilobytes = 0;
    while (status >> key) {
        if (key == "VmHWM:") {
            status >> kilobytes;
            break;
        }
        status.ignore(1 << 10, '\n');
    }
    return kilobytes / 1024.0;
}

// CPU time of the calling thread: on a machine shared with other work the
// wall-clock gaps also hold the time the thread waited for a core.
double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void ResetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_OpenPhoto(benchmark::State& state) {
    const std::string& file = PhotoFile();
    ResetPeakResident();
    // The window's bitmaps live as long as the window: photo after photo
    // (and run after run here) finds them holding the memory it needs.
    static WorkingImages images;
    static Bitmap view, scratch;
    std::string text;
    double longestGap = 0, longestCpuGap = 0;
    for (auto _ : state) {
        Clock::time_point last = Clock::now();
        double lastCpu = ThreadCpuSeconds();
        auto yield = [&] {
            const Clock::time_point now = Clock::now();
            const double nowCpu = ThreadCpuSeconds();
            longestGap = std::max(longestGap, std::chrono::duration<double>(now - last).count());
            longestCpuGap = std::max(longestCpuGap, nowCpu - lastCpu);
            last = now;
            lastCpu = nowCpu;
        };
        images.fileName.clear();  // read the file again
        const LoadOutcome outcome = LoadPhoto(images, file, LoadOptions{}, {}, yield);
        if (outcome.code != 0 || images.trim.Width() != 3000) state.SkipWithError("not loaded");
        yield();
        BuildViewImage(images.trim, 530, view, scratch, text, yield);
        yield();
        benchmark::DoNotOptimize(view.Data());
    }
    state.counters["longest_yield_gap_ms"] = longestGap * 1000;
    state.counters["longest_yield_gap_cpu_ms"] = longestCpuGap * 1000;
    state.counters["peak_rss_MB"] = PeakResidentMegabytes();
}
BENCHMARK(BM_OpenPhoto)->Name("Photo/OpenPhoto")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
