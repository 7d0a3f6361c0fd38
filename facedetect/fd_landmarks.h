#pragma once
// The landmark model fitted on the whole face at face-search time, and what
// that fit leaves for the chin search of the same pass.
//
// The chin strip the program cuts below a face shows only the lower half of
// the face, so a fit on the strip alone has to guess where the eyes and nose
// are; it drifts on tilted heads and round faces. Fitting once on the whole
// face, where the face search found it, and remembering the chin lets the
// chin search answer from that fit when it is handed a strip cut from the
// same picture.
#include <dlib/image_processing/frontal_face_detector.h>

#include <array>
#include <filesystem>
#include <opencv2/core.hpp>
#include <vector>

#include "fd_shape_model.h"

namespace fd {

struct LandmarkModel {
    ShapeModel predictor;
    // The face box the predictor was trained on comes from this detector; run
    // on a small crop around a Haar face it gives the box the model fits best.
    mutable dlib::frontal_face_detector boxFinder;
};

// One face of a face search, fitted.
struct FaceFit {
    cv::Rect box;                       // the box reported for the face (image pixels)
    cv::Point2d chin;                   // the chin tip (image pixels)
    std::array<int, 2> stripTop{};      // the two rows the program may cut the strip from
    std::array<cv::Mat, 2> stripPrint;  // small grey copies of those two strips
};

// The chin point of the 68-point scheme and the points it must lie below.
inline constexpr unsigned long kChinPoint = 8;
inline constexpr unsigned long kNoseTip = 33;
inline constexpr unsigned long kLowerLip = 57;
inline constexpr unsigned long kMouthInnerLow = 66;
inline constexpr unsigned long kPointsOf68 = 68;

// True when the shape has the 68 points and its chin lies below the mouth.
bool ChinBelowMouth(const dlib::full_object_detection& shape);

// The face box the model expects for a face whose Haar box is `haar` (both
// in the same pixels), used when the detector finds no face in the crop.
dlib::rectangle ModelBoxFromHaar(const cv::Rect& haar);

// Fits the model on the whole face: `picture` is the grey image (any scale),
// `haar` the cascade's box in its pixels. The chin in picture pixels, or
// false when the fit has no believable chin.
bool FitChin(const LandmarkModel& model, const cv::Mat& picture, const cv::Rect& haar,
             cv::Point2d& chin);

// The reported box for a face whose cascade box is `haar` and whose chin
// lies at `chinRow`: the bottom moved so that the chin lies 7 % of the box
// height below it, which is where the program looks for it by default.
cv::Rect BoxAboveChin(const cv::Rect& haar, double chinRow);

// The fits of the last face searches, kept for the chin search that follows.
class FaceMemory {
  public:
    void Clear() { fits_.clear(); }
    // Remembers a fitted face; `picture` is the searched image in grey at
    // `scale` (picture pixels per image pixel), `imageHeight` in image pixels.
    void Add(const cv::Rect& box, const cv::Point2d& chin, const cv::Mat& picture, double scale,
             int imageHeight);
    // The fit whose chin strip `strip` (grey, any scale, `size` in its file's
    // pixels) is, with the strip's top row in the searched image; nullptr
    // when the strip matches none.
    const FaceFit* MatchStrip(const cv::Mat& strip, cv::Size size, int& stripTop) const;
    bool Empty() const { return fits_.empty(); }

  private:
    std::vector<FaceFit> fits_;
};

}  // namespace fd
