// pad_portraits: gives tightly cropped portraits room for the frame a layout
// prescribes, so that framing_eval can judge the framing on them.
//
//   pad_portraits --portraits DIR --out DIR [--layout FILE.ini] [--program DIR] [--blur SHARE]
//
// For each photo of DIR/truth.csv with a true head top and chin, the frame of
// the layout's first place is drawn around them (centred on the true face).
// Where it does not fit the photo, the photo is padded so that the frame
// keeps 12 % of its height above and below it (12 % of its width beside it)
// and covers at most 75 % of the padded height and width, well under the size
// check's 90 % of the square; then more below, until the true face's middle
// lies at 45 % of the height or above, as in a head-and-shoulders photo (the
// second face search passes over faces below the middle row; padded evenly,
// four faces of portraits2 fell there and a stray detection was framed).
// The band repeats the photo's edge rows and columns; --blur SHARE (a share
// of the padded long side, 0 by default) blurs the band alone. A blur of
// 0.02 made no difference to the framing figures once the face sits high, so
// plain repetition is the default. The padded photo is written upright as
// JPEG, and OUT's truth.csv holds the same columns with the coordinates moved
// by the padding and the padding noted. Photos that fit (sideways a frame may
// move without moving its lines) and photos without a head top or chin are
// copied unchanged with their rows.
//
// What the padded set measures: whether the framing pass puts the true head
// top and chin on the layout's lines on faces it has not been tuned on, once
// the photo leaves room for the frame. What it does not measure: the band is
// synthetic background (the program itself never pads a photo; on the
// original photos it rightly refuses a frame that does not fit), so a finder
// that reads the background (the head top's scan against the picture's edge
// or corners) sees a smoother, more uniform surround than a real photo has,
// a band that repeats hair or clothes cut by the crop stays hair or clothes,
// and the face is placed where the face search expects it, so a face low in a
// real photo is not tried.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "detect/auto_frame.h"
#include "eval_frame.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    fs::path portraits, out, program = KAMBRIX_PROGRAM_DIR;
    std::string layoutFile = "35x45mm_L判_4枚_パスポート.ini";
    double blur = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--portraits") portraits = value;
        if (key == "--out") out = value;
        if (key == "--program") program = value;
        if (key == "--layout") layoutFile = value;
        if (key == "--blur") blur = std::stod(value);
    }
    if (portraits.empty() || out.empty()) {
        std::fprintf(stderr,
                     "usage: pad_portraits --portraits DIR --out DIR [--layout FILE.ini] "
                     "[--program DIR] [--blur SHARE]\n");
        return 2;
    }
    std::error_code ec;
    if (fs::equivalent(out, portraits, ec)) {
        std::fprintf(stderr, "--out must not be the portraits folder\n");
        return 2;
    }
    TLayout layout;
    const fs::path layoutPath =
        fs::path(layoutFile).is_absolute() ? fs::path(layoutFile) : program / layoutFile;
    if (!LoadLayoutFile(layoutPath.string(), layout) || !LayoutCanFrame(layout)) {
        std::fprintf(stderr, "cannot use the layout %s\n", layoutPath.c_str());
        return 2;
    }
    std::vector<PaddedPortrait> done;
    std::string error;
    const bool ok = PadPortraits(portraits, out, layout.slots[0], blur, done, error);
    std::printf("%-44s %s\n", "photo", "padding top/bottom/left/right px");
    int padded = 0, failed = 0;
    for (const PaddedPortrait& d : done) {
        padded += d.written && d.pad.Any(), failed += !d.written;
        if (!d.written)
            std::printf("%-44s NOT WRITTEN (cannot read or write it)\n", d.file.c_str());
        else if (d.pad.Any())
            std::printf("%-44s %d/%d/%d/%d\n", d.file.c_str(), d.pad.top, d.pad.bottom, d.pad.left,
                        d.pad.right);
        else
            std::printf("%-44s copied\n", d.file.c_str());
    }
    std::printf("%d padded, %zu copied, %d left out\n", padded, done.size() - padded - failed,
                failed);
    if (!ok) std::fprintf(stderr, "%s\n", error.c_str());
    return ok && !failed ? 0 : 1;
}
