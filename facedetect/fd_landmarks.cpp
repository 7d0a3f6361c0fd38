#include "fd_landmarks.h"

#include <dlib/array2d.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <opencv2/imgproc.hpp>

#include "fd_fit_vote.h"

namespace fd {

namespace {

// The crop the model is fitted on: the cascade's box with half its size
// around it, scaled so that the box is about this wide. The detector that
// gives the model's box needs faces of 80 pixels or more.
constexpr double kFitFaceWidth = 120;
constexpr double kCropMargin = 0.5;

// The strips are compared as pictures of this many pixels a side; the mean
// difference of two copies of one strip (JPEG and scaling noise) stays far
// below the limit, that of different places far above it.
constexpr int kPrintSide = 12;
constexpr double kPrintLimit = 14.0;

// The program's default share of the box height between box bottom and chin.
constexpr double kChinBelowBox = 0.07;

void ToDlib(const cv::Mat& grey, dlib::array2d<unsigned char>& out) {
    out.set_size(grey.rows, grey.cols);
    for (int y = 0; y < grey.rows; ++y)
        std::memcpy(&out[y][0], grey.ptr<unsigned char>(y), static_cast<std::size_t>(grey.cols));
}

// The detector's face nearest the middle of the cascade's box, when its
// centre lies inside that box.
bool NearestModelBox(const std::vector<dlib::rectangle>& found, const dlib::rectangle& haar,
                     dlib::rectangle& out) {
    double best = -1;
    const dlib::rectangle middle = dlib::shrink_rect(haar, haar.width() / 4);
    for (const dlib::rectangle& r : found) {
        const dlib::point c = dlib::center(r);
        if (!middle.contains(c)) continue;
        if (r.width() < haar.width() * 0.6 || r.width() > haar.width() * 1.15) continue;
        const double d = dlib::length(c - dlib::center(haar));
        if (best < 0 || d < best) best = d, out = r;
    }
    return best >= 0;
}

cv::Rect2d ToCv(const dlib::rectangle& r) {
    return {static_cast<double>(r.left()), static_cast<double>(r.top()),
            static_cast<double>(r.width()), static_cast<double>(r.height())};
}

dlib::rectangle ToDlib(const cv::Rect2d& r) {
    return dlib::rectangle(std::lround(r.x), std::lround(r.y), std::lround(r.x + r.width) - 1,
                           std::lround(r.y + r.height) - 1);
}

cv::Mat Print(const cv::Mat& grey) {
    cv::Mat print;
    cv::resize(grey, print, cv::Size(kPrintSide, kPrintSide), 0, 0, cv::INTER_AREA);
    return print;
}

}  // namespace

bool ChinBelowMouth(const dlib::full_object_detection& shape) {
    if (shape.num_parts() != kPointsOf68) return false;
    const long chin = shape.part(kChinPoint).y();
    return chin > shape.part(kLowerLip).y() && chin > shape.part(kMouthInnerLow).y() &&
           chin > shape.part(kNoseTip).y();
}

dlib::rectangle ModelBoxFromHaar(const cv::Rect& haar) {
    // Measured on the shared portraits: the detector's box is about 0.84 of
    // the cascade's width, centred on it, and starts 0.17 of its height lower.
    const double w = haar.width * 0.84;
    const double left = haar.x + (haar.width - w) / 2;
    const double top = haar.y + haar.height * 0.17;
    return dlib::rectangle(std::lround(left), std::lround(top), std::lround(left + w - 1),
                           std::lround(top + w - 1));
}

bool FitChin(const LandmarkModel& model, const cv::Mat& picture, const cv::Rect& haar,
             cv::Point2d& chin) {
    const int mx = static_cast<int>(haar.width * kCropMargin);
    const int my = static_cast<int>(haar.height * kCropMargin);
    const cv::Rect area =
        cv::Rect(haar.x - mx, haar.y - my, haar.width + 2 * mx, haar.height + 2 * my) &
        cv::Rect(0, 0, picture.cols, picture.rows);
    if (area.width < 8 || area.height < 8 || haar.width <= 0) return false;
    const double s = kFitFaceWidth / haar.width;
    cv::Mat crop;
    cv::resize(picture(area), crop,
               cv::Size(std::max(1, static_cast<int>(std::lround(area.width * s))),
                        std::max(1, static_cast<int>(std::lround(area.height * s)))),
               0, 0, s < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
    dlib::array2d<unsigned char> image;
    ToDlib(crop, image);
    const cv::Rect local((haar.x - area.x) * s, (haar.y - area.y) * s, haar.width * s,
                         haar.height * s);
    const dlib::rectangle haarLocal(local.x, local.y, local.x + local.width - 1,
                                    local.y + local.height - 1);
    const dlib::rectangle derived = ModelBoxFromHaar(local);
    dlib::rectangle detected;
    if (!NearestModelBox(model.boxFinder(image), haarLocal, detected)) detected = derived;
    // The fit from the detector's box and those from the start boxes, made
    // together; a box that comes up twice (the detector's box is one of the
    // start boxes, and all come twice when it is the derived one) is fitted once.
    std::vector<dlib::rectangle> boxes{detected};
    std::vector<std::size_t> fitOf;
    for (const cv::Rect2d& start : StartBoxes(ToCv(detected), ToCv(derived))) {
        const dlib::rectangle box = ToDlib(start);
        const auto same = std::find(boxes.begin(), boxes.end(), box);
        fitOf.push_back(static_cast<std::size_t>(same - boxes.begin()));
        if (same == boxes.end()) boxes.push_back(box);
    }
    std::vector<ShapeModel::Start> starts;
    for (const dlib::rectangle& box : boxes) starts.push_back({&image, box});
    const std::vector<dlib::full_object_detection> fits = model.predictor.Fit(starts);
    const dlib::full_object_detection& shape = fits.front();
    if (!ChinBelowMouth(shape)) return false;
    std::vector<cv::Point2d> votes;
    for (const std::size_t i : fitOf) {
        const dlib::full_object_detection& other = fits[i];
        if (ChinBelowMouth(other))
            votes.emplace_back(other.part(kChinPoint).x(), other.part(kChinPoint).y());
    }
    const dlib::point own = shape.part(kChinPoint);
    const cv::Point2d p = VotedChin({static_cast<double>(own.x()), static_cast<double>(own.y())},
                                    votes, local.height);
    chin = {area.x + p.x / s, area.y + p.y / s};
    return chin.x >= 0 && chin.y >= 0 && chin.x < picture.cols && chin.y < picture.rows;
}

cv::Rect BoxAboveChin(const cv::Rect& haar, double chinRow) {
    const int height =
        std::max(1, static_cast<int>(std::floor((chinRow - haar.y) / (1 + kChinBelowBox))));
    return {haar.x, haar.y, haar.width, height};
}

void FaceMemory::Add(const cv::Rect& box, const cv::Point2d& chin, const cv::Mat& picture,
                     double scale, int imageHeight) {
    FaceFit fit;
    fit.box = box;
    fit.chin = chin;
    const int fh = box.height;
    fit.stripTop = {box.y + fh / 2, imageHeight - fh};
    for (std::size_t i = 0; i < fit.stripTop.size(); ++i) {
        const cv::Rect strip(static_cast<int>(std::lround(box.x * scale)),
                             static_cast<int>(std::lround(fit.stripTop[i] * scale)),
                             std::max(1, static_cast<int>(std::lround(box.width * scale))),
                             std::max(1, static_cast<int>(std::lround(fh * scale))));
        if (fit.stripTop[i] >= 0 && (strip & cv::Rect(0, 0, picture.cols, picture.rows)) == strip)
            fit.stripPrint[i] = Print(picture(strip));
    }
    fits_.push_back(std::move(fit));
}

const FaceFit* FaceMemory::MatchStrip(const cv::Mat& strip, cv::Size size, int& stripTop) const {
    if (strip.empty()) return nullptr;
    const cv::Mat print = Print(strip);
    const FaceFit* best = nullptr;
    double bestDiff = kPrintLimit;
    for (const FaceFit& fit : fits_) {
        if (fit.box.size() != size) continue;
        for (std::size_t i = 0; i < fit.stripPrint.size(); ++i) {
            if (fit.stripPrint[i].empty()) continue;
            const double diff =
                cv::norm(fit.stripPrint[i], print, cv::NORM_L1) / (kPrintSide * kPrintSide);
            if (diff < bestDiff) bestDiff = diff, best = &fit, stripTop = fit.stripTop[i];
        }
    }
    return best;
}

}  // namespace fd
