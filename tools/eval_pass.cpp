#include "eval_pass.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kFaceCascade = "haarcascade_frontalface_default.xml";
constexpr const char* kChinCascade = "ago.xml";

double MsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

void SecondSearch(FaceLibrary& lib, const fs::path& image, int side, PassResult& out) {
    const auto t = Clock::now();
    lib.facedetect(image.c_str(), 0, kFaceCascade, 1, kEvalAccuracy);
    out.face2Ms = MsSince(t);
    out.secondSearch = true;
    const int k = std::min(10, lib.getRect(-1, -1));
    int best = -1, bestD = 0;
    for (int i = 0; i < k; ++i) {
        const Box c = lib.Rect(i);
        if (!FrameFits(c, side) || c.Cy() > side / 2) continue;
        const int d = std::abs(c.Cx() - side / 2);
        if (best < 0 || d < bestD) best = i, bestD = d;
    }
    if (best >= 0) out.face = lib.Rect(best), out.n = k;
}

void ChinSearch(FaceLibrary& lib, const cv::Mat& square, const fs::path& temp, PassResult& out) {
    const Box& f = out.face;
    const int fh = f.b - f.t, side = square.rows;
    int y0 = f.t + fh / 2;
    if (side < f.b + fh / 2) y0 = side - fh;
    if (fh <= 0 || f.r <= f.l || y0 < 0 ||
        !WriteJpeg(temp, square(cv::Rect(f.l, y0, f.r - f.l, fh))))
        return;
    lib.setMinSize(kEvalMinFace / 8, kEvalMinFace / 8);
    const auto t = Clock::now();
    lib.facedetect(temp.c_str(), 0, kChinCascade, 0, kEvalAccuracy);
    out.chinMs = MsSince(t);
    if (lib.getRect(-1, -1) <= 0) {
        out.note += " no chin in the strip";
        return;
    }
    const Box c = lib.Rect(0);
    out.chinRow = y0 + c.Cy();
    out.chinFound = out.chinRow >= f.b;
    if (!out.chinFound)
        out.note += " chin row " + std::to_string(out.chinRow) + " above the face box bottom " +
                    std::to_string(f.b) + " (discarded)";
}

}  // namespace

bool WriteJpeg(const fs::path& file, const cv::Mat& image) {
    try {
        return cv::imwrite(file.string(), image, {cv::IMWRITE_JPEG_QUALITY, kEvalQuality});
    } catch (const cv::Exception&) {
        return false;
    }
}

FaceLibrary::FaceLibrary(const fs::path& programDir) {
    const fs::path file = programDir / "libfacedetect.so";
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) return;
    setMinSize = reinterpret_cast<void (*)(int, int)>(dlsym(handle_, "setMinSize"));
    facedetect = reinterpret_cast<int (*)(const char*, int, const char*, int, int)>(
        dlsym(handle_, "facedetect"));
    getRect = reinterpret_cast<int (*)(int, int)>(dlsym(handle_, "getRect"));
}

FaceLibrary::~FaceLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

bool FrameFits(const Box& f, int side) {
    const long long h = f.b - f.t;
    const long long head = h + h * 30 / 100 + h * 7 / 100;
    const long long fh = head * 496 / (496 - 59 - 118);
    const long long fw = 378 * fh / 496;
    return fw * 100 <= side * 90LL && fh * 100 <= side * 90LL;
}

bool Plausible(const Box& f, int side) {
    return side / 2 >= f.Cy() && FrameFits(f, side) && side / 10 >= std::abs(f.Cx() - side / 2);
}

void SearchPhoto(FaceLibrary& lib, const cv::Mat& square, const fs::path& temp, PassResult& out) {
    lib.setMinSize(kEvalMinFace, kEvalMinFace);
    const auto t = Clock::now();
    lib.facedetect(temp.c_str(), 0, kFaceCascade, 0, kEvalAccuracy);
    out.faceMs = MsSince(t);
    out.n = lib.getRect(-1, -1);
    out.face = lib.Rect(0);
    if (out.n <= 0 || !Plausible(out.face, square.rows)) SecondSearch(lib, temp, square.rows, out);
    if (out.n > 0) ChinSearch(lib, square, temp, out);
}

PassResult RunPass(const fs::path& programDir, const cv::Mat& square, const fs::path& temp,
                   int waitMs) {
    PassResult out;
    if (!WriteJpeg(temp, square)) {
        out.note += " temporary JPEG not written";
        return out;
    }
    const auto start = Clock::now();
    {
        FaceLibrary lib(programDir);
        if (!lib.Ready()) return out;
        out.loaded = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        SearchPhoto(lib, square, temp, out);
    }
    out.passMs = MsSince(start);
    return out;
}
