// facedetect_eval: measures the face library on portraits with known faces and
// chins, driving it as the program does: through its three exports, loaded
// from the program folder for each framing pass.
//
//   facedetect_eval [--portraits DIR] [--program DIR] [--wait MS] [--only NAME]
//
// One line per photo, then a summary. Face and chin errors are in percent of
// the true face height (brow to chin: face_bottom - face_top of truth.csv).
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "eval_truth.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kFaceCascade = "haarcascade_frontalface_default.xml";
constexpr const char* kChinCascade = "ago.xml";
constexpr int kMinFace = 200;  // the program's default minimum face size
constexpr int kAccuracy = 3;   // the program's default accuracy
constexpr int kQuality = 90;   // the program's default JPEG quality

double MsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// The library as the program uses it: loaded for one pass, released after.
class FaceLibrary {
  public:
    explicit FaceLibrary(const fs::path& programDir) {
        const fs::path file = programDir / "libfacedetect.so";
        handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) return;
        setMinSize = reinterpret_cast<void (*)(int, int)>(dlsym(handle_, "setMinSize"));
        facedetect = reinterpret_cast<int (*)(const char*, int, const char*, int, int)>(
            dlsym(handle_, "facedetect"));
        getRect = reinterpret_cast<int (*)(int, int)>(dlsym(handle_, "getRect"));
    }
    ~FaceLibrary() {
        if (handle_ != nullptr) dlclose(handle_);
    }
    FaceLibrary(const FaceLibrary&) = delete;
    FaceLibrary& operator=(const FaceLibrary&) = delete;
    bool Ready() const { return handle_ && setMinSize && facedetect && getRect; }
    Box Rect(int index) const {
        return {getRect(0, index), getRect(1, index), getRect(2, index), getRect(3, index)};
    }

    void (*setMinSize)(int, int) = nullptr;
    int (*facedetect)(const char*, int, const char*, int, int) = nullptr;
    int (*getRect)(int, int) = nullptr;

  private:
    void* handle_ = nullptr;
};

// The square working image the program searches: reduced to 3000 pixels on the
// long side when it is 3000 or more, centred on black.
struct Prepared {
    cv::Mat square;
    Placement place;
};

std::optional<Prepared> Prepare(const fs::path& file, const Truth& truth, std::string& note) {
    cv::Mat photo = cv::imread(file.string(), cv::IMREAD_COLOR);  // EXIF orientation applied
    if (photo.empty()) return std::nullopt;
    if (photo.cols != truth.width || photo.rows != truth.height) note += " size-mismatch";
    Prepared p;
    const int longSide = std::max(photo.cols, photo.rows);
    if (longSide >= 3000) {
        const int w = photo.cols * 3000 / longSide, h = photo.rows * 3000 / longSide;
        cv::resize(photo, photo, cv::Size(w, h), 0, 0, cv::INTER_AREA);
        p.place.scale = 3000.0 / longSide;
    }
    const int side = std::max(photo.cols, photo.rows);
    p.place.offsetX = (side - photo.cols) / 2;
    p.place.offsetY = (side - photo.rows) / 2;
    p.square = cv::Mat(side, side, CV_8UC3, cv::Scalar(0, 0, 0));
    photo.copyTo(p.square(cv::Rect(p.place.offsetX, p.place.offsetY, photo.cols, photo.rows)));
    return p;
}

// The program's test of whether a face gives a frame within 90 % of the image,
// approximated: built-in layout (place 496 high, 378 wide, 59 above the head,
// 118 below the chin), head 30 % above and 7 % below the face, no head-top scan.
bool FrameFits(const Box& f, int side) {
    const long long head = (f.b - f.t) + (f.b - f.t) * 30 / 100 + (f.b - f.t) * 7 / 100;
    const long long fh = head * 496 / (496 - 59 - 118);
    const long long fw = 378 * fh / 496;
    return fw * 100 <= side * 90LL && fh * 100 <= side * 90LL;
}

bool Plausible(const Box& f, int side) {
    return side / 2 >= f.t + (f.b - f.t) / 2 && FrameFits(f, side) &&
           side / 10 >= std::abs(f.l + (f.r - f.l) / 2 - side / 2);
}

struct PassResult {
    bool loaded = false;
    int n = 0;  // faces of the accepted search (0: none)
    Box face;
    int firstN = 0;       // detections of the first search
    Box first;            // its detection 0
    bool winner = false;  // the second search produced a winner
    bool secondSearch = false;
    bool chinFound = false;
    int chinRow = 0;
    std::string note;
    double faceMs = 0, face2Ms = 0, chinMs = 0, passMs = 0;
};

void SecondSearch(FaceLibrary& lib, const std::string& image, int side, PassResult& out) {
    const auto t = Clock::now();
    lib.facedetect(image.c_str(), 0, kFaceCascade, 1, kAccuracy);
    out.face2Ms = MsSince(t);
    out.secondSearch = true;
    const int k = std::min(10, lib.getRect(-1, -1));
    int best = -1, bestD = 0;
    for (int i = 0; i < k; ++i) {
        const Box c = lib.Rect(i);
        if (!FrameFits(c, side) || c.t + (c.b - c.t) / 2 > side / 2) continue;
        const int d = std::abs(c.l + (c.r - c.l) / 2 - side / 2);
        if (best < 0 || d < bestD) best = i, bestD = d;
    }
    if (best >= 0) out.face = lib.Rect(best), out.n = k, out.winner = true;
}

void ChinSearch(FaceLibrary& lib, const cv::Mat& square, const fs::path& temp, PassResult& out) {
    const Box& f = out.face;
    const int fh = f.b - f.t, side = square.rows;
    int y0 = f.t + fh / 2;
    if (side < f.b + fh / 2) y0 = side - fh;
    if (fh <= 0 || f.r <= f.l || y0 < 0) return;
    cv::imwrite(temp.string(), square(cv::Rect(f.l, y0, f.r - f.l, fh)),
                {cv::IMWRITE_JPEG_QUALITY, kQuality});
    lib.setMinSize(kMinFace / 8, kMinFace / 8);
    const auto t = Clock::now();
    lib.facedetect(temp.c_str(), 0, kChinCascade, 0, kAccuracy);
    out.chinMs = MsSince(t);
    if (lib.getRect(-1, -1) <= 0) {
        out.note += " no chin in the strip";
        return;
    }
    const Box c = lib.Rect(0);
    out.chinRow = y0 + c.t + (c.b - c.t) / 2;
    out.chinFound = out.chinRow >= f.b;
    if (!out.chinFound)
        out.note += " chin row " + std::to_string(out.chinRow) + " above the face box bottom " +
                    std::to_string(f.b) + " (discarded)";
}

PassResult RunPass(const fs::path& programDir, const Prepared& p, const fs::path& temp,
                   int waitMs) {
    PassResult out;
    cv::imwrite(temp.string(), p.square, {cv::IMWRITE_JPEG_QUALITY, kQuality});
    const auto start = Clock::now();
    {
        FaceLibrary lib(programDir);
        if (!lib.Ready()) return out;
        out.loaded = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        lib.setMinSize(kMinFace, kMinFace);
        const auto t = Clock::now();
        lib.facedetect(temp.c_str(), 0, kFaceCascade, 0, kAccuracy);
        out.faceMs = MsSince(t);
        out.n = out.firstN = lib.getRect(-1, -1);
        out.face = out.first = lib.Rect(0);
        if (out.n <= 0 || !Plausible(out.face, p.square.rows))
            SecondSearch(lib, temp.string(), p.square.rows, out);
        if (out.n > 0) ChinSearch(lib, p.square, temp, out);
    }
    out.passMs = MsSince(start);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    EvalOptions options = ParseEvalOptions(argc, argv);
    std::vector<Truth> truths;
    if (!ReadTruth(options.portraits / "truth.csv", truths)) {
        std::fprintf(stderr, "cannot read %s\n", (options.portraits / "truth.csv").c_str());
        return 2;
    }
    if (chdir(options.program.c_str()) != 0) {
        std::fprintf(stderr, "cannot enter the program folder %s\n", options.program.c_str());
        return 2;
    }
    const fs::path temp =
        fs::temp_directory_path() / ("facedetect_eval_" + std::to_string(getpid()) + ".jpg");
    Summary summary;
    PrintHeader();
    for (const Truth& truth : truths) {
        if (!options.only.empty() && truth.file.find(options.only) == std::string::npos) continue;
        std::string note;
        const auto prepared = Prepare(options.portraits / truth.file, truth, note);
        if (!prepared) {
            std::printf("%-40s unreadable\n", truth.file.c_str());
            continue;
        }
        const PassResult r = RunPass(options.program, *prepared, temp, options.waitMs);
        Outcome o =
            Judge(truth, prepared->place, r.loaded, r.n > 0, r.face, r.chinFound, r.chinRow);
        o.faceMs = r.faceMs, o.face2Ms = r.face2Ms, o.chinMs = r.chinMs, o.passMs = r.passMs;
        o.side = prepared->square.rows;
        o.secondSearch = r.secondSearch;
        o.note += note + r.note;
        PrintOutcome(truth, o);
        summary.Add(o);
    }
    std::error_code ec;
    fs::remove(temp, ec);
    summary.Print();
    return 0;
}
