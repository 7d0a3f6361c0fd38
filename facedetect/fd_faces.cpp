#include "fd_faces.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <opencv2/imgproc.hpp>

#include "fd_jpeg.h"

namespace fd {

FaceSearchParams FaceParamsFor(int pass, int accuracy) {
    const int a = std::clamp(accuracy, 1, 10);
    FaceSearchParams p;
    p.scaleFactor = 1.05;
    if (pass == 1) {
        p.minNeighbors = std::max(1, a - 2);
        p.workMinFace = 36;
    } else {
        p.minNeighbors = std::max(1, a - 1);
        p.workMinFace = 30;
    }
    return p;
}

namespace {

// The reduced picture the cascade runs on: the DCT-reduced decode, brought
// down by area averaging to the wanted factor, contrast equalised.
cv::Mat WorkingPicture(const GrayPicture& picture, double reduction) {
    cv::Mat work = picture.pixels;
    const double done = static_cast<double>(picture.fullWidth) / work.cols;
    const double rest = reduction / done;
    if (rest > 1.05) {
        const cv::Size size(std::max(1, static_cast<int>(std::lround(work.cols / rest))),
                            std::max(1, static_cast<int>(std::lround(work.rows / rest))));
        cv::resize(work, work, size, 0, 0, cv::INTER_AREA);
    }
    cv::Mat equalised;
    cv::equalizeHist(work, equalised);
    return equalised;
}

cv::Rect ToFullSize(const cv::Rect& r, double sx, double sy, int width, int height) {
    const int left = std::clamp(static_cast<int>(std::floor(r.x * sx)), 0, width);
    const int top = std::clamp(static_cast<int>(std::floor(r.y * sy)), 0, height);
    const int right = std::clamp(static_cast<int>(std::ceil((r.x + r.width) * sx)), left, width);
    const double trimmed = r.height * (1 - kFaceBottomTrim);
    const int bottom = std::clamp(static_cast<int>(std::ceil((r.y + trimmed) * sy)), top, height);
    return {left, top, right - left, bottom - top};
}

}  // namespace

void OrderFaces(std::vector<cv::Rect>& boxes, std::vector<double>& weights) {
    std::vector<std::size_t> order(boxes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (weights[a] != weights[b]) return weights[a] > weights[b];
        return boxes[a].area() > boxes[b].area();
    });
    std::vector<cv::Rect> sortedBoxes;
    std::vector<double> sortedWeights;
    for (std::size_t i : order) {
        sortedBoxes.push_back(boxes[i]);
        sortedWeights.push_back(weights[i]);
    }
    boxes.swap(sortedBoxes);
    weights.swap(sortedWeights);
}

int HaarDetector::Detect(const SearchRequest& request, std::vector<cv::Rect>& found) const {
    found.clear();
    const FaceSearchParams p = FaceParamsFor(request.pass, request.accuracy);
    const int minSide = std::max(0, std::min(request.minSize.width, request.minSize.height));
    const double reduction = std::max(1.0, minSide / p.workMinFace);
    GrayPicture picture;
    if (const int r = LoadGrayFile(request.image, reduction, picture); r != kOk) return r;
    const cv::Mat work = WorkingPicture(picture, reduction);
    const double sx = static_cast<double>(picture.fullWidth) / work.cols;
    const double sy = static_cast<double>(picture.fullHeight) / work.rows;
    const cv::Size minWork(static_cast<int>(std::ceil(std::max(0, request.minSize.width) / sx)),
                           static_cast<int>(std::ceil(std::max(0, request.minSize.height) / sy)));
    std::vector<cv::Rect> boxes;
    std::vector<int> neighbours;
    cascade_->detectMultiScale(work, boxes, neighbours, p.scaleFactor, p.minNeighbors, 0, minWork);
    std::vector<double> weights(neighbours.begin(), neighbours.end());
    weights.resize(boxes.size(), 0.0);
    for (cv::Rect& box : boxes)
        box = ToFullSize(box, sx, sy, picture.fullWidth, picture.fullHeight);
    OrderFaces(boxes, weights);
    found = std::move(boxes);
    return kOk;
}

}  // namespace fd
