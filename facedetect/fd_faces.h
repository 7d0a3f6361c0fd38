#pragma once
// Face search with an OpenCV Haar cascade on a reduced grey copy of the image.
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>

#include "fd_detector.h"

namespace fd {

// How one search runs; derived from the pass and the accuracy. The picture is
// reduced so that the smallest face wanted spans `workMinFace` pixels; a face
// counts when at least `minNeighbors` + 1 overlapping windows find it.
struct FaceSearchParams {
    double scaleFactor = 1.05;
    int minNeighbors = 2;
    double workMinFace = 30;
};

FaceSearchParams FaceParamsFor(int pass, int accuracy);

class HaarDetector final : public Detector {
  public:
    explicit HaarDetector(std::unique_ptr<cv::CascadeClassifier> cascade)
        : cascade_(std::move(cascade)) {}
    int Detect(const SearchRequest& request, std::vector<cv::Rect>& found) const override;

  private:
    std::unique_ptr<cv::CascadeClassifier> cascade_;
};

// The surest first (most windows agreeing), of equal sureness the largest.
void OrderFaces(std::vector<cv::Rect>& boxes, std::vector<double>& weights);

}  // namespace fd
