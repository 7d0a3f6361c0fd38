#pragma once
// The frame a layout's place prescribes around a portrait's true head top and
// chin, whether a program could frame the photo right at all, and the padding
// that gives a tightly cropped portrait room for that frame (framing_eval,
// pad_portraits).
#include <filesystem>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "eval_truth.h"
#include "layout/layout.h"

// The head top within ±3 % and the chin within ±2 % of the frame height.
constexpr double kHeadTolerance = 3.0;
constexpr double kChinTolerance = 2.0;

struct TrueFrame {
    double l = 0, t = 0, r = 0, b = 0;
    double Width() const { return r - l; }
    double Height() const { return b - t; }
};

// The frame with the place's proportions whose head-top and chin lines lie on
// `headTop` and `chin` (rows), its width from the place's aspect, centred on
// `centreX`; in the coordinates of its arguments.
TrueFrame CorrectFrameAround(double headTop, double chin, double centreX, const TPhotoSlot& slot);

// Whether any program could frame a photo right: the correct frame must lie
// in the photo, not in the black margins of the square nor beyond it. A frame
// that sticks out sideways can be moved sideways without moving its lines; up
// or down it can be moved only as far as the chin's tolerance allows. A frame
// that fits but covers more than 90 % of the square is refused by the size
// check by design.
enum class Reach { kFits, kOverSizeCheck, kNoFit };

struct CorrectFrame {
    Reach reach = Reach::kFits;
    double outside = 0;  // how far it must move to lie in the photo, % of its height
};

// `frame` and `photo` in the square's pixels; `side` the square's side.
CorrectFrame ReachOf(const TrueFrame& frame, const Box& photo, int side);
// The same for a marked portrait prepared as the program sees it.
CorrectFrame Correct(const Truth& t, const PreparedPhoto& p, const TPhotoSlot& slot);

// Rows and columns added on each side of a photo.
struct Padding {
    int top = 0, bottom = 0, left = 0, right = 0;
    bool Any() const { return top || bottom || left || right; }
};

// Room around the correct frame (in the upright photo's pixels) kept by the
// padding, in shares of the frame's height (above and below) and width
// (beside), and the largest share of the padded photo the frame may cover,
// well under the size check's 90 %.
constexpr double kPadMargin = 0.12;
constexpr double kPadFrameShare = 0.75;
// The lowest the true face's middle may lie in the padded photo, as a share
// of its height from the top. A head-and-shoulders photo has the face in its
// upper half, and the program's second face search passes over faces whose
// middle lies below the middle row (the detector's box sits a little higher
// than the landmark box, hence the room under one half).
constexpr double kPadFaceRow = 0.45;

// Nothing for a photo without a head top and chin or whose correct frame
// already fits it; otherwise enough on every side to keep the margin around
// the frame, and more, shared between both sides, until the frame covers at
// most kPadFrameShare of the padded photo's height and width; then more
// below until the face's middle lies at kPadFaceRow of the height or above.
Padding PaddingFor(const Truth& t, const TPhotoSlot& slot);

// `photo` grown by `pad`, the new band filled by repeating the photo's edge
// rows and columns; with `blurSigma` > 0 the band alone is then blurred so
// that it reads as background out of focus rather than streaks.
cv::Mat PadImage(const cv::Mat& photo, const Padding& pad, double blurSigma);

// The truth row of the padded photo: every column as read, the size grown and
// every coordinate (also the other faces' boxes and chins named in the notes)
// moved by the padding, and the padding noted with the place's frame size.
std::vector<std::string> PaddedRow(const Truth& t, const Padding& pad, const TPhotoSlot& slot);
// One CSV line of `fields`, quoted where needed.
std::string CsvLine(const std::vector<std::string>& fields);

struct PaddedPortrait {
    std::string file;
    Padding pad;
    bool written = false;
};

// Writes every portrait of `in`/truth.csv to `out`: padded (as upright JPEG,
// quality 95) where PaddingFor asks for it, otherwise copied unchanged, with
// a truth.csv of the same columns. The band is blurred with a sigma of
// `blurShare` of the padded photo's long side (none for 0). False, with `error`, when truth.csv
// cannot be read or `out` cannot be written; a photo that cannot be read is left out (written
// false).
bool PadPortraits(const std::filesystem::path& in, const std::filesystem::path& out,
                  const TPhotoSlot& slot, double blurShare, std::vector<PaddedPortrait>& done,
                  std::string& error);
