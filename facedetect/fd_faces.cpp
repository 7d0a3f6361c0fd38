#include "fd_faces.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <opencv2/imgproc.hpp>

#include "fd_jpeg.h"
#include "fd_landmarks.h"

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
    const int bottom = std::clamp(static_cast<int>(std::ceil((r.y + r.height) * sy)), top, height);
    return {left, top, right - left, bottom - top};
}

cv::Rect Trimmed(const cv::Rect& r) {
    const int height = static_cast<int>(std::ceil(r.height * (1 - kFaceBottomTrim)));
    return {r.x, r.y, r.width, std::min(r.height, height)};
}

// The landmark model wants a face of about 100 pixels; the picture the
// cascade ran on may hold the smallest faces at a third of that.
constexpr double kFitMinFace = 96;
constexpr std::size_t kMostFaces = 10;  // the program reads no more

// The true chin lies 0.93 to 1.18 cascade box heights below the box top on
// the shared portraits; a fitted chin far outside that is a failed fit.
bool ChinFitsBox(double chinRow, const cv::Rect& box) {
    const double at = (chinRow - box.y) / box.height;
    return at >= 0.8 && at <= 1.35;
}

// Fits the landmark model on the first faces, reports those with a fitted
// chin with their bottom above it and the others trimmed, and remembers the
// fits for the chin search.
void FitFaces(const SearchRequest& request, const GrayPicture& searched,
              std::vector<cv::Rect>& boxes) {
    const std::size_t n = std::min(boxes.size(), kMostFaces);
    int narrowest = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (i == 0 || boxes[i].width < narrowest) narrowest = boxes[i].width;
    GrayPicture finer;
    const GrayPicture* picture = &searched;
    const double scale = static_cast<double>(searched.pixels.cols) / searched.fullWidth;
    if (n > 0 && narrowest * scale < kFitMinFace && scale < 1 &&
        LoadGrayFile(request.image, std::max(1.0, narrowest / kFitMinFace), finer) == kOk)
        picture = &finer;
    const double s = static_cast<double>(picture->pixels.cols) / picture->fullWidth;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        cv::Point2d chin;
        const cv::Rect scaled(
            cv::Point(static_cast<int>(boxes[i].x * s), static_cast<int>(boxes[i].y * s)),
            cv::Point(static_cast<int>(boxes[i].br().x * s),
                      static_cast<int>(boxes[i].br().y * s)));
        if (i >= n || !FitChin(*request.landmarks, picture->pixels, scaled, chin) ||
            !ChinFitsBox(chin.y / s, boxes[i])) {
            boxes[i] = Trimmed(boxes[i]);
            continue;
        }
        chin *= 1 / s;
        boxes[i] = BoxAboveChin(boxes[i], chin.y);
        request.memory->Add(boxes[i], chin, picture->pixels, s, picture->fullHeight);
    }
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
    if (request.memory != nullptr && request.landmarks != nullptr) {
        FitFaces(request, picture, boxes);
    } else {
        for (cv::Rect& box : boxes) box = Trimmed(box);
    }
    found = std::move(boxes);
    return kOk;
}

}  // namespace fd
