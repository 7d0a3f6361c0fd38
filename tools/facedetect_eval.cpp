// facedetect_eval: measures the face library on portraits with known faces and
// chins, driving it as the program does: through its three exports, loaded
// from the program folder for each framing pass.
//
//   facedetect_eval [--portraits DIR] [--program DIR] [--wait MS] [--only NAME]
//
// One line per photo, then a summary. Face and chin errors are in percent of
// the true face height (brow to chin: face_bottom - face_top of truth.csv).
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "eval_pass.h"
#include "eval_truth.h"

namespace fs = std::filesystem;

namespace {

struct EvalOptions {
    fs::path portraits = KAMBRIX_PORTRAITS_DIR;
    fs::path program = KAMBRIX_PROGRAM_DIR;
    int waitMs = 500;  // the program's wait between loading the library and searching
    std::string only;  // a part of the file name, to run one photo
};

EvalOptions ParseEvalOptions(int argc, char** argv) {
    EvalOptions o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--portraits")
            o.portraits = value;
        else if (key == "--program")
            o.program = value;
        else if (key == "--wait")
            o.waitMs = std::stoi(value);
        else if (key == "--only")
            o.only = value;
    }
    return o;
}

Outcome Evaluate(const Truth& truth, const EvalOptions& options, const fs::path& temp) {
    const auto prepared = PreparePhoto(options.portraits / truth.file, truth);
    if (!prepared) {
        Outcome o;
        o.note = " unreadable";
        return o;
    }
    const PassResult r = RunPass(options.program, prepared->square, temp, options.waitMs);
    Outcome o = Judge(truth, prepared->place, r.loaded, r.n > 0, r.face, r.chinFound, r.chinRow);
    o.faceMs = r.faceMs, o.face2Ms = r.face2Ms, o.chinMs = r.chinMs, o.passMs = r.passMs;
    o.side = prepared->square.rows;
    o.secondSearch = r.secondSearch;
    o.note += (prepared->sizeMatchesTruth ? "" : " size differs from truth") + r.note;
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const EvalOptions options = ParseEvalOptions(argc, argv);
    std::vector<Truth> truths;
    if (!ReadTruth(options.portraits / "truth.csv", truths)) {
        std::fprintf(stderr, "cannot read %s\n", (options.portraits / "truth.csv").c_str());
        return 2;
    }
    // The program makes its own folder the current one before every pass.
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
        const Outcome o = Evaluate(truth, options, temp);
        PrintOutcome(truth, o);
        summary.Add(o);
    }
    std::error_code ec;
    fs::remove(temp, ec);
    summary.Print();
    return 0;
}
