// framing_eval: the report card of automatic framing. Every portrait of a
// folder with truth.csv is framed through the real framing pass (face
// library, chin, head top, layout) once for each head-top method, and the
// true head top and chin are measured against the layout's head-top and
// chin lines, in percent of the frame height.
//
//   framing_eval [--portraits DIR] [--program DIR] [--layout FILE.ini] [--only NAME]
//
// Positive: the true line lies below the layout's line.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "detect/auto_frame.h"
#include "detect/face_library.h"
#include "eval_truth.h"
#include "layout/layout.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    fs::path portraits;
    fs::path program = KAMBRIX_PROGRAM_DIR;
    std::string layout = "35x45mm_L判_4枚_パスポート.ini";
    std::string only;
};

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--portraits") o.portraits = value;
        if (key == "--program") o.program = value;
        if (key == "--layout") o.layout = value;
        if (key == "--only") o.only = value;
    }
    return o;
}

struct Method {
    const char* name = "";
    HeadTopMethod method = HeadTopMethod::kContour;
    int framed = 0, inScope = 0, headOk = 0, chinOk = 0, bothOk = 0;
    std::vector<double> head, chin;
};

// The head top within ±3 % and the chin within ±2 % of the frame height.
constexpr double kHeadTolerance = 3.0;
constexpr double kChinTolerance = 2.0;

Bitmap ToBitmap(const cv::Mat& bgr) {
    Bitmap b(bgr.cols, bgr.rows);
    for (int y = 0; y < bgr.rows; ++y)
        std::memcpy(b.Row(y), bgr.ptr<unsigned char>(y), static_cast<std::size_t>(b.Stride()));
    return b;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Percentile90(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(0.9 * (v.size() - 1) + 0.5))];
}

// One pass; prints "head% chin%" or why there is no frame.
void Frame(const Bitmap& square, const Truth& truth, const Placement& place,
           const AutoFrameOptions& base, const TLayout& layout, Method& m) {
    AutoFrameOptions options = base;
    options.headTopMethod = m.method;
    FaceLibrary library(options.appDir + FaceLibraryFileName());
    FramingResult r;
    const FramingHooks hooks{{}, {}, [](int) {}};  // the fixed waits are not measured here
    ++m.inScope;
    const int code = RunFramingPass(square, options, layout, library, r, hooks);
    if (code != 0 || r.frameH <= 0) {
        std::printf("  no frame (%3d) ", code);
        return;
    }
    ++m.framed;
    const double head = (place.Y(*truth.headTopY) - r.headBox.top) * 100.0 / r.frameH;
    const double chin = (place.Y(*truth.chinY) - r.chinLine) * 100.0 / r.frameH;
    const bool headOk = std::abs(head) <= kHeadTolerance, chinOk = std::abs(chin) <= kChinTolerance;
    m.head.push_back(std::abs(head));
    m.chin.push_back(std::abs(chin));
    m.headOk += headOk, m.chinOk += chinOk, m.bothOk += headOk && chinOk;
    std::printf("  %+7.1f%c %+5.1f%c", head, headOk ? ' ' : '*', chin, chinOk ? ' ' : '*');
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = Parse(argc, argv);
    std::vector<Truth> truths;
    if (!ReadTruth(options.portraits / "truth.csv", truths)) {
        std::fprintf(stderr, "cannot read %s\n", (options.portraits / "truth.csv").c_str());
        return 2;
    }
    TLayout layout;
    const std::string appDir = fs::absolute(options.program).string() + "/";
    if (!LoadLayoutFile(appDir + options.layout, layout) || !LayoutCanFrame(layout)) {
        std::fprintf(stderr, "cannot use the layout %s\n", (appDir + options.layout).c_str());
        return 2;
    }
    AutoFrameOptions base;
    base.appDir = appDir;
    base.saveFace = false;
    base.tempImagePath =
        (fs::temp_directory_path() / ("framing_eval_" + std::to_string(getpid()) + ".jpg"))
            .string();
    std::vector<Method> methods(3);
    methods[0].name = "contour", methods[0].method = HeadTopMethod::kContour;
    methods[1].name = "background", methods[1].method = HeadTopMethod::kBackground;
    methods[2].name = "estimate", methods[2].method = HeadTopMethod::kEstimate;
    std::printf("%-36s", "photo (head% chin% of the frame height)");
    for (const Method& m : methods) std::printf("  %-15s", m.name);
    std::printf("\n");
    for (const Truth& truth : truths) {
        if (!options.only.empty() && truth.file.find(options.only) == std::string::npos) continue;
        if (!truth.face || !truth.chinY || !truth.headTopY) continue;
        const auto prepared = PreparePhoto(options.portraits / truth.file, truth);
        if (!prepared) continue;
        const Box face = prepared->place.Map(*truth.face);
        if ((face.r - face.l) * 1.25 < 200) continue;  // smaller than the faces searched for
        const Bitmap square = ToBitmap(prepared->square);
        std::printf("%-36.36s", truth.file.c_str());
        for (Method& m : methods) Frame(square, truth, prepared->place, base, layout, m);
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("\n(* outside ±%.0f %% for the head top, ±%.0f %% for the chin)\n", kHeadTolerance,
                kChinTolerance);
    for (const Method& m : methods)
        std::printf(
            "%-10s framed %d/%d; head top within ±3 %%: %d, chin within ±2 %%: %d, both: %d "
            "(%.0f %%); |head| median %.1f %% 90th %.1f %%; |chin| median %.1f %% 90th %.1f %%\n",
            m.name, m.framed, m.inScope, m.headOk, m.chinOk, m.bothOk,
            m.inScope ? m.bothOk * 100.0 / m.inScope : 0.0, Median(m.head), Percentile90(m.head),
            Median(m.chin), Percentile90(m.chin));
    return 0;
}
