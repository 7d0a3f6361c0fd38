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
#include <filesystem>
#include <string>
#include <vector>

#include "detect/auto_frame.h"
#include "detect/face_library.h"
#include "eval_bitmap.h"
#include "eval_frame.h"
#include "eval_truth.h"
#include "layout/layout.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    fs::path portraits;
    fs::path program = KAMBRIX_PROGRAM_DIR;
    std::string layout = "35x45mm_L判_4枚_パスポート.ini";
    std::string only;
    bool detail = false;  // --detail 1: each pass's face box, head top and frame
};

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--portraits") o.portraits = value;
        if (key == "--program") o.program = value;
        if (key == "--layout") o.layout = value;
        if (key == "--only") o.only = value;
        if (key == "--detail") o.detail = value == "1";
    }
    return o;
}

struct Method {
    const char* name = "";
    HeadTopMethod method = HeadTopMethod::kContour;
    int framed = 0, inScope = 0, headOk = 0, chinOk = 0, bothOk = 0;
    int fits = 0, fitsOk = 0;               // photos whose correct frame fits; framed right
    int noFit = 0, noFitRefused = 0;        // no correct frame fits; refused (right)
    int overSize = 0, overSizeRefused = 0;  // fits, but over the size check's 90 %
    int otherFace = 0;  // another valid face framed (its head top is not marked)
    std::vector<double> head, chin;
    std::string detail;
};

// The other valid face (named in the notes) whose box holds the framed face's
// middle; -1 when the framed face is the marked one or none.
int OtherFace(const Truth& t, const Placement& place, const PixelRect& face) {
    const int cx = face.left + face.Width() / 2, cy = face.top + face.Height() / 2;
    if (place.Map(*t.face).Contains(cx, cy)) return -1;
    for (std::size_t i = 0; i < t.otherFaces.size(); ++i)
        if (place.Map(t.otherFaces[i]).Contains(cx, cy)) return static_cast<int>(i);
    return -1;
}

// One pass; prints "head% chin%" or why there is no frame.
void Frame(const Bitmap& square, const Truth& truth, const PreparedPhoto& photo,
           const CorrectFrame& correct, const AutoFrameOptions& base, const TLayout& layout,
           Method& m) {
    AutoFrameOptions options = base;
    options.headTopMethod = m.method;
    FaceLibrary library(options.appDir + FaceLibraryFileName());
    FramingResult r;
    const FramingHooks hooks{{}, {}, [](int) {}};  // the fixed waits are not measured here
    const auto count = [&](int step) {
        m.inScope += step;
        m.fits += step * (correct.reach == Reach::kFits);
        m.noFit += step * (correct.reach == Reach::kNoFit);
        m.overSize += step * (correct.reach == Reach::kOverSizeCheck);
    };
    count(1);
    const int code = RunFramingPass(square, options, layout, library, r, hooks);
    char detail[160];
    std::snprintf(detail, sizeof detail,
                  "  %-10s face %d,%d-%d,%d  head top %d (estimate %d)  frame %d,%d %dx%d of %d\n",
                  m.name, r.face.left, r.face.top, r.face.right, r.face.bottom, r.headBox.top,
                  r.topO, r.photoBox.left, r.photoBox.top, r.frameW, r.frameH, r.width);
    m.detail += detail;
    if (code != 0 || r.frameH <= 0) {
        m.noFitRefused += correct.reach == Reach::kNoFit;
        m.overSizeRefused += correct.reach == Reach::kOverSizeCheck;
        std::printf("  no frame (%3d) ", code);
        return;
    }
    if (const int other = OtherFace(truth, photo.place, r.face); other >= 0) {
        count(-1), ++m.otherFace;
        const double chin =
            (photo.place.Y(truth.otherChinY[other]) - r.chinLine) * 100.0 / r.frameH;
        std::printf("  other face %+5.1f ", chin);
        return;
    }
    ++m.framed;
    const double head = (photo.place.Y(*truth.headTopY) - r.headBox.top) * 100.0 / r.frameH;
    const double chin = (photo.place.Y(*truth.chinY) - r.chinLine) * 100.0 / r.frameH;
    const bool headOk = std::abs(head) <= kHeadTolerance, chinOk = std::abs(chin) <= kChinTolerance;
    m.head.push_back(std::abs(head));
    m.chin.push_back(std::abs(chin));
    m.headOk += headOk, m.chinOk += chinOk, m.bothOk += headOk && chinOk;
    m.fitsOk += headOk && chinOk && correct.reach == Reach::kFits;
    std::printf("  %+7.1f%c %+5.1f%c", head, headOk ? ' ' : '*', chin, chinOk ? ' ' : '*');
}

double Share(int part, int whole) {
    return whole ? part * 100.0 / whole : 0.0;
}

void PrintSummary(const Method& m) {
    std::printf(
        "%-10s framed %d/%d (another valid face: %d, left out); head top within ±3 %%: %d, chin "
        "within ±2 %%: %d, both: %d "
        "(%.0f %% of all); |head| median %.1f %% 90th %.1f %%; |chin| median %.1f %% 90th "
        "%.1f %%\n",
        m.name, m.framed, m.inScope, m.otherFace, m.headOk, m.chinOk, m.bothOk,
        Share(m.bothOk, m.inScope), Percentile(m.head, 0.5), Percentile(m.head, 0.9),
        Percentile(m.chin, 0.5), Percentile(m.chin, 0.9));
    const int right = m.bothOk + m.noFitRefused + m.overSizeRefused;
    std::printf(
        "%-10s where the correct frame fits: both within %d/%d (%.0f %%); no correct frame "
        "fits the picture: %d (refused %d); fits but over the size check's 90 %%: %d (refused "
        "%d); all, counting those refusals as right: %d/%d (%.0f %%)\n",
        "", m.fitsOk, m.fits, Share(m.fitsOk, m.fits), m.noFit, m.noFitRefused, m.overSize,
        m.overSizeRefused, right, m.inScope, Share(right, m.inScope));
}

std::string ReachText(const CorrectFrame& c) {
    if (c.reach == Reach::kFits) return "fits";
    if (c.reach == Reach::kOverSizeCheck) return ">90%";
    char text[32];
    std::snprintf(text, sizeof text, "NO %.1f%%", c.outside);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = Parse(argc, argv);
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
    std::printf("%-36s %-9s", "photo (head% chin% of the frame height)", "correct");
    for (const Method& m : methods) std::printf("  %-15s", m.name);
    std::printf("\n");
    const auto marked = [](const Truth& t) { return t.face && t.chinY && t.headTopY; };
    const bool read = ForEachPortrait(
        options.portraits, options.only, marked, [&](const Truth& truth, const PreparedPhoto& p) {
            const Box face = p.place.Map(*truth.face);
            if ((face.r - face.l) * 1.25 < 200) return;  // smaller than the faces searched for
            if (!p.sizeMatchesTruth) {  // its marks would be read in the wrong pixels
                std::printf("%-36.36s size differs from truth.csv (%dx%d), left out\n",
                            truth.file.c_str(), truth.width, truth.height);
                return;
            }
            const CorrectFrame correct = Correct(truth, p, layout.slots[0]);
            const Bitmap square = ToBitmap(p.square);
            std::printf("%-36.36s %-9s", truth.file.c_str(), ReachText(correct).c_str());
            for (Method& m : methods) Frame(square, truth, p, correct, base, layout, m);
            std::printf("\n");
            for (Method& m : methods) {
                if (options.detail) std::printf("%s", m.detail.c_str());
                m.detail.clear();
            }
            std::fflush(stdout);
        });
    if (!read) return 2;
    std::printf(
        "\n(* outside ±%.0f %% for the head top, ±%.0f %% for the chin. correct: the frame of "
        "the true head top and chin fits the photo, is over the size check's 90 %%, or NO: "
        "must move by that share of its height to lie in the photo)\n",
        kHeadTolerance, kChinTolerance);
    for (const Method& m : methods) PrintSummary(m);
    return 0;
}
