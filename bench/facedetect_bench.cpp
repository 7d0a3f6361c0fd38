// The face library as the program uses it, on the large portrait of the shared
// set brought to the 3000 x 3000 square the program searches: the face search,
// the chin search, and a whole framing pass (load, the program's 500 ms wait,
// both searches, release). The library and its data come from the program
// folder.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/bitmap.h"
#include "platform/jpeg.h"

namespace fs = std::filesystem;

namespace {

using SetMinSizeFn = void (*)(int, int);
using FaceDetectFn = int (*)(const char*, int, const char*, int, int);
using GetRectFn = int (*)(int, int);

// KAMBRIX_PROGRAM_DIR, else the build's bin folder beside this program's folder.
fs::path ProgramDir() {
    if (const char* dir = std::getenv("KAMBRIX_PROGRAM_DIR")) return dir;
    std::error_code ec;
    return fs::canonical("/proc/self/exe", ec).parent_path().parent_path() / "bin";
}

struct Library {
    void* handle = nullptr;
    SetMinSizeFn setMinSize = nullptr;
    FaceDetectFn facedetect = nullptr;
    GetRectFn getRect = nullptr;
    Library() {
        handle = dlopen((ProgramDir() / "libfacedetect.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        setMinSize = reinterpret_cast<SetMinSizeFn>(dlsym(handle, "setMinSize"));
        facedetect = reinterpret_cast<FaceDetectFn>(dlsym(handle, "facedetect"));
        getRect = reinterpret_cast<GetRectFn>(dlsym(handle, "getRect"));
    }
    ~Library() {
        if (handle) dlclose(handle);
    }
    bool Ready() const { return handle && setMinSize && facedetect && getRect; }
};

// The square JPEG and the chin strip of its face, written once; "" when the
// shared portraits are absent.
struct Files {
    std::string square, strip;
};

const Files& TestFiles() {
    static const Files files = [] {
        Files f;
        const fs::path source =
            ProgramDir().parent_path().parent_path().parent_path().parent_path() /
            "shared/testdata/portraits/unsplash_portrait_3000x4495.jpg";
        Bitmap photo;
        if (DecodeJpegFile(source.string(), photo) != 0) return f;
        const int w = photo.Width() * 3000 / photo.Height();
        Bitmap square(3000, 3000, kBlack);
        StretchDraw(photo, {0, 0, photo.Width(), photo.Height()}, square,
                    {(3000 - w) / 2, 0, (3000 - w) / 2 + w, 3000});
        const fs::path dir = fs::temp_directory_path();
        f.square = (dir / ("facedetect_bench_" + std::to_string(getpid()) + ".jpg")).string();
        f.strip = (dir / ("facedetect_bench_strip_" + std::to_string(getpid()) + ".jpg")).string();
        if (EncodeJpegFile(f.square, square, 90) != 0) return Files();
        // The chin strip of the face found in the square (as the program cuts it).
        chdir(ProgramDir().c_str());
        Library lib;
        lib.setMinSize(200, 200);
        if (!lib.Ready() ||
            lib.facedetect(f.square.c_str(), 0, "haarcascade_frontalface_default.xml", 0, 3) != 0 ||
            lib.getRect(-1, -1) <= 0)
            return Files();
        const int l = lib.getRect(0, 0), t = lib.getRect(1, 0), r = lib.getRect(2, 0);
        const int fh = lib.getRect(3, 0) - t;
        Bitmap strip(r - l, fh);
        CopyRect(square, {l, t + fh / 2, r, t + fh / 2 + fh}, strip, 0, 0);
        if (EncodeJpegFile(f.strip, strip, 90) != 0) return Files();
        return f;
    }();
    return files;
}

bool Prepare(benchmark::State& state) {
    if (TestFiles().square.empty()) {
        state.SkipWithError("shared portraits or the face library not available");
        return false;
    }
    chdir(ProgramDir().c_str());
    return true;
}

void BM_FaceSearch3000(benchmark::State& state) {
    if (!Prepare(state)) return;
    Library lib;
    lib.setMinSize(200, 200);
    lib.facedetect(TestFiles().square.c_str(), 0, "haarcascade_frontalface_default.xml", 0, 3);
    for (auto _ : state)
        benchmark::DoNotOptimize(lib.facedetect(TestFiles().square.c_str(), 0,
                                                "haarcascade_frontalface_default.xml",
                                                static_cast<int>(state.range(0)), 3));
}
BENCHMARK(BM_FaceSearch3000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ChinSearch(benchmark::State& state) {
    if (!Prepare(state)) return;
    Library lib;
    lib.setMinSize(25, 25);
    lib.facedetect(TestFiles().strip.c_str(), 0, "ago.xml", 0, 3);
    for (auto _ : state)
        benchmark::DoNotOptimize(lib.facedetect(TestFiles().strip.c_str(), 0, "ago.xml", 0, 3));
}
BENCHMARK(BM_ChinSearch)->Unit(benchmark::kMillisecond);

void BM_WholePass(benchmark::State& state) {
    if (!Prepare(state)) return;
    for (auto _ : state) {
        Library lib;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        lib.setMinSize(200, 200);
        lib.facedetect(TestFiles().square.c_str(), 0, "haarcascade_frontalface_default.xml", 0, 3);
        lib.setMinSize(25, 25);
        lib.facedetect(TestFiles().strip.c_str(), 0, "ago.xml", 0, 3);
    }
}
BENCHMARK(BM_WholePass)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
