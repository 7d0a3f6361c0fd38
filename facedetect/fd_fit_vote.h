#pragma once
// A check of the landmark model's chin against fits from nearby start boxes.
//
// The model's fit depends on where its start box lies: a box a little too low
// or too large lets the jaw snap to an edge under the chin (a hand, a collar),
// and the fitted shape still looks like a face, so the shape alone cannot
// tell. Fits started from slightly moved and scaled copies of the two boxes
// we have (the model's own detector's and the one derived from the cascade's)
// mostly agree on a sound face. When the fit from the detector's box lies far
// from the median of all of them, that fit is the odd one out and the median
// is taken instead; otherwise the fit is kept as it is, so that sound faces
// keep the chin of the box the model was trained on.
#include <algorithm>
#include <cmath>
#include <opencv2/core.hpp>
#include <vector>

namespace fd {

// How far (in face box heights) the fit may lie from the median before it is
// overruled. Sound faces stay within 0.02 on the shared portraits; a jaw that
// snapped to the hand under it lay 0.11 away.
inline constexpr double kChinVoteLimit = 0.06;

// The start boxes for one face: each of `a` and `b` (same pixels) as it is,
// moved up and down by a tenth of its width, and scaled by 0.9 and 1.1 about
// its centre; ten boxes in all.
inline std::vector<cv::Rect2d> StartBoxes(const cv::Rect2d& a, const cv::Rect2d& b) {
    std::vector<cv::Rect2d> out;
    for (const cv::Rect2d& base : {a, b}) {
        const cv::Point2d c(base.x + base.width / 2, base.y + base.height / 2);
        const double shift = base.width * 0.1;
        const auto around = [&](double dy, double scale) {
            const double w = base.width * scale, h = base.height * scale;
            out.emplace_back(c.x - w / 2, c.y + dy - h / 2, w, h);
        };
        around(0, 1.0);
        around(-shift, 1.0);
        around(shift, 1.0);
        around(0, 0.9);
        around(0, 1.1);
    }
    return out;
}

// The point with the median row of `points` (for an even count, the mean of
// the two middle ones); false when there are none.
inline bool MedianChin(std::vector<cv::Point2d> points, cv::Point2d& out) {
    if (points.empty()) return false;
    std::sort(points.begin(), points.end(),
              [](const cv::Point2d& p, const cv::Point2d& q) { return p.y < q.y; });
    const std::size_t mid = points.size() / 2;
    out = points.size() % 2 == 1 ? points[mid] : (points[mid - 1] + points[mid]) * 0.5;
    return true;
}

// The chin to report: `own` (the fit from the detector's box) unless the
// median of `votes` lies more than kChinVoteLimit box heights away from it.
inline cv::Point2d VotedChin(const cv::Point2d& own, const std::vector<cv::Point2d>& votes,
                             double boxHeight) {
    cv::Point2d median;
    if (!MedianChin(votes, median)) return own;
    return std::abs(median.y - own.y) > kChinVoteLimit * boxHeight ? median : own;
}

}  // namespace fd
