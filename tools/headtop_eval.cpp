// headtop_eval: measures the head-top finders on portraits with known head
// tops. Each photo goes through one framing pass of the face library (as
// facedetect_eval drives it); every finder then works on the same face box
// and chin.
//
//   headtop_eval [--portraits DIR] [--program DIR] [--wait MS] [--only NAME]
//
// Errors are signed, in percent of the true face height (brow to chin);
// positive: below the true head top (the head cut). "rise": how far the true
// head top lies above the library's box top, in heights from the box top to
// the chin (the spread a proportion check on the head would have to allow).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "detect/head_top_contour.h"
#include "eval_bitmap.h"
#include "eval_pass.h"
#include "eval_truth.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    fs::path portraits;
    fs::path program = KAMBRIX_PROGRAM_DIR;
    int waitMs = 500;
    std::string only;
};

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--portraits") o.portraits = value;
        if (key == "--program") o.program = value;
        if (key == "--wait") o.waitMs = std::stoi(value);
        if (key == "--only") o.only = value;
    }
    return o;
}

// Processor time of the process (all its threads): the finder's cost
// without the waits for a core that other work on a shared machine adds to
// the wall clock.
double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

struct Method {
    const char* name;
    std::vector<double> errors;
    std::vector<double> ms, cpuMs;  // wall clock; processor time
};

}  // namespace

int main(int argc, char** argv) {
    const Options options = Parse(argc, argv);
    if (chdir(options.program.c_str()) != 0) return 2;
    const fs::path temp =
        fs::temp_directory_path() / ("headtop_eval_" + std::to_string(getpid()) + ".jpg");
    std::vector<Method> methods{
        {"contour", {}, {}, {}}, {"bgmodel", {}, {}, {}}, {"estimate", {}, {}, {}}};
    std::printf("%-36s %8s %8s %8s\n", "photo", "contour", "bgmodel", "estimate");
    const auto marked = [](const Truth& t) { return t.headTopY && t.face; };
    const bool read = ForEachPortrait(
        options.portraits, options.only, marked, [&](const Truth& truth, const PreparedPhoto& p) {
            const PassResult r = RunPass(options.program, p.square, temp, options.waitMs);
            const Outcome o =
                Judge(truth, p.place, r.loaded, r.n > 0, r.face, r.chinFound, r.chinRow);
            if (!o.inScope || !o.faceOk) return;
            const Bitmap image = ToBitmap(p.square);
            const Box truthFace = p.place.Map(*truth.face);
            const double fh = truthFace.b - truthFace.t;
            const int trueTop = p.place.Y(*truth.headTopY);
            HeadTopFace face{{r.face.l, r.face.t, r.face.r, r.face.b}, std::nullopt};
            if (r.chinFound) face.chinRow = r.chinRow;
            std::printf("%-36.36s", truth.file.c_str());
            for (Method& m : methods) {
                const auto t = Clock::now();
                const double cpu = ProcessCpuMs();
                std::optional<int> row;
                if (std::strcmp(m.name, "contour") == 0) row = FindHeadTopContour(image, face);
                if (std::strcmp(m.name, "bgmodel") == 0)
                    row = FindHeadTopByBackgroundModel(image, face);
                if (!row) row = r.face.t - (r.face.b - r.face.t) * 30 / 100;
                m.ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
                m.cpuMs.push_back(ProcessCpuMs() - cpu);
                const double err = (*row - trueTop) * 100 / fh;
                m.errors.push_back(err);
                std::printf(" %+8.1f", err);
            }
            // How far the true head top lies above the box top, in heights
            // from the box top to the chin: the proportion a finder may expect.
            const double chin = r.chinFound ? r.chinRow : r.face.b;
            std::printf("  rise %.2f\n", (r.face.t - trueTop) / (chin - r.face.t));
            std::fflush(stdout);
        });
    std::error_code ec;
    fs::remove(temp, ec);
    if (!read) return 2;
    for (const Method& m : methods) {
        std::vector<double> abs;
        for (double e : m.errors) abs.push_back(std::abs(e));
        std::printf(
            "%-9s n %zu  |error| median %.1f %%  90th %.1f %%  max %.1f %%  ms median %.1f  "
            "max %.1f  processor ms median %.1f  max %.1f\n",
            m.name, abs.size(), Percentile(abs, 0.5), Percentile(abs, 0.9), Percentile(abs, 1.0),
            Percentile(m.ms, 0.5), Percentile(m.ms, 1.0), Percentile(m.cpuMs, 0.5),
            Percentile(m.cpuMs, 1.0));
    }
    return 0;
}
