#pragma once
// The chin finder that ago.xml describes: a landmark shape model. When the
// face search of the same pass fitted it on the whole face and the chin strip
// (the lower half of the face box and as much again below it) is cut from
// that picture, the chin of that fit is reported. Otherwise the model is
// fitted on the strip alone: padded upward by half its height so that the
// face box it implies, (0, -h/2)-(w, h - h/2) in strip pixels, lies inside
// the picture. The chin is reported as a small box centred on the chin point.
#include <atomic>
#include <filesystem>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "fd_detector.h"
#include "fd_landmarks.h"

namespace fd {

// The method name ago.xml gives for this finder.
inline constexpr const char* kChinMethod = "dlib-shape-predictor";

struct ChinSettings {
    std::vector<std::filesystem::path> models;  // tried in order; the first that exists is used
    int landmark = 8;                           // the chin tip of the 68-point scheme
};

// Reads the settings from a parsed description. kOk, or kCascadeBroken when a
// value is missing or out of range. Relative model paths are resolved
// against `folder` (the description's own folder).
int ParseChinSettings(const cv::FileNode& root, const std::filesystem::path& folder,
                      ChinSettings& out);

// The chin box for a chin point (x, y) in a strip of w x h pixels: centred on
// the point, at most `halfSide` each way, trimmed so that it stays inside.
cv::Rect ChinBox(double x, double y, int w, int h, int halfSide);

class ChinDetector final : public Detector {
  public:
    ~ChinDetector() override;
    // Loads the model; kOk, kModelMissing or kCascadeBroken (model unreadable
    // or the load cancelled).
    static int Load(const ChinSettings& settings, const std::atomic<bool>& cancel,
                    std::unique_ptr<ChinDetector>& out);
    int Detect(const SearchRequest& request, std::vector<cv::Rect>& found) const override;
    // The model, for the whole-face fit of the face search; nullptr when
    // ago.xml names another point than the 68-point scheme's chin.
    const LandmarkModel* Landmarks() const;

  private:
    ChinDetector(std::unique_ptr<LandmarkModel> model, int landmark);
    std::unique_ptr<LandmarkModel> model_;
    int landmark_;
};

}  // namespace fd
