#include "detect/head_top_contour.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace {

// The crop is reduced to about this width: enough for a row to be a little
// over one percent of the face height, small enough for the segmentation to
// take a few tens of milliseconds.
constexpr double kCropWidth = 128;
constexpr int kSegmentationRounds = 3;
constexpr double kLeastDeviation = 2.0;
// Too few sure background pixels (a head filling the photo) make no model.
constexpr std::size_t kMinSeedShare = 400;
// The least the head rises above the face box's top, in face heights.
constexpr double kLeastHeadAbove = 0.05;
// Two colours closer than this (RGB distance) count as the same background.
// On a smooth background the step shrinks towards kLeastColourStep: it is
// kGrainSteps times the background's pixel-to-pixel grain above that.
constexpr float kSameColour = 28.0f;
constexpr float kLeastColourStep = 8.0f;
constexpr float kGrainSteps = 4.0f;
// A background whose grain is at most this is smooth (a plain wall or
// studio backdrop after the reduction; foliage or a street is 6 or more).
constexpr float kSmoothGrain = 4.0f;
// Hair lost to a smooth background: the scan sees the head this much
// higher (in face heights) than the segmentation.
constexpr double kLostHair = 0.05;

// Where the head can be, in face widths (w) and face heights (h, brow to
// chin) around the face box. The highest hair measured on the portraits
// reaches one face height above the brows.
constexpr double kCropHalfWidth = 1.2;  // w each side of the face's middle
constexpr double kCropAbove = 1.15;     // h above the box top
constexpr double kHeadHalfWidth = 0.8;  // w: the head's likely half width
constexpr double kHeadAbove = 0.75;     // h: the likely head top above the box top
// w: beside this, above the face, no head. The box lies on the visible face;
// the back of a turned head, a headwrap or full hair reach well past 0.7.
constexpr double kSureBackground = 0.9;
constexpr double kSideAbove = 0.25;   // h: above the box top by this
constexpr double kCornerSide = 0.45;  // w: beside this, in the crop's top rows, no head
constexpr int kCornerRows = 3;
constexpr double kBandHalfWidth = 0.3;  // w: the columns over the middle of the head

// The segmentation's picture of the head: the crop, reduced, and where it lies.
struct HeadCrop {
    cv::Mat pixels;  // BGR, reduced
    int x0 = 0, y0 = 0;
    double scale = 1;  // crop pixels per image pixel
    // The face in crop pixels: middle column, box top, width, height to the chin.
    double cx = 0, top = 0, fw = 0, fh = 0;
    // The photo's top edge cut the crop short: its top rows may be hair.
    bool cutAbove = false;
};

bool BlackAt(const Bitmap& image, int x, int y) {
    return image.Pixel(x, y) == kBlack;
}

// The photo inside the square working image: the black margins that centre
// a narrow or wide photo are not background and must not be taken for it.
// A margin is a run of wholly black columns (rows) from the edge, judged on
// every few pixels across the head's rows (columns).
PixelRect PhotoArea(const Bitmap& image, const PixelRect& around) {
    const int step = std::max(1, around.Height() / 64);
    auto blackColumn = [&](int x) {
        for (int y = around.top; y < around.bottom; y += step)
            if (!BlackAt(image, x, y)) return false;
        return true;
    };
    const int stepX = std::max(1, around.Width() / 64);
    auto blackRow = [&](int y) {
        for (int x = around.left; x < around.right; x += stepX)
            if (!BlackAt(image, x, y)) return false;
        return true;
    };
    PixelRect area{0, 0, image.Width(), image.Height()};
    while (area.left < around.left && blackColumn(area.left)) ++area.left;
    while (area.right > around.right && blackColumn(area.right - 1)) --area.right;
    while (area.top < around.top && blackRow(area.top)) ++area.top;
    return area;
}

bool MakeCrop(const Bitmap& image, const HeadTopFace& face, HeadCrop& out) {
    const PixelRect& box = face.box;
    if (image.Empty() || box.Width() <= 0 || box.Height() <= 0) return false;
    const double fw = box.Width();
    const double chin =
        face.chinRow && *face.chinRow > box.top ? *face.chinRow : box.top + box.Height() * 1.07;
    const double fh = chin - box.top;
    const double cx = box.left + fw / 2;
    if (box.top < 0 || box.top >= image.Height() || box.left < 0 || box.right > image.Width())
        return false;
    const int y1 = std::min(image.Height(), static_cast<int>(chin));
    const PixelRect photo = PhotoArea(image, {box.left, box.top, box.right, y1});
    const int x0 = std::max(photo.left, static_cast<int>(cx - kCropHalfWidth * fw));
    const int x1 = std::min(photo.right, static_cast<int>(cx + kCropHalfWidth * fw));
    const int wantedTop = static_cast<int>(box.top - kCropAbove * fh);
    const int y0 = std::max(photo.top, wantedTop);
    if (x1 - x0 < 8 || y1 - y0 < 8) return false;
    const cv::Mat whole(image.Height(), image.Width(), CV_8UC3,
                        const_cast<std::uint8_t*>(image.Data()),
                        static_cast<std::size_t>(image.Stride()));
    const double s = std::min(1.0, kCropWidth / (x1 - x0));
    const cv::Size size(std::max(1, static_cast<int>(std::lround((x1 - x0) * s))),
                        std::max(1, static_cast<int>(std::lround((y1 - y0) * s))));
    // A large photo is first thinned to every k-th pixel, still twice the
    // reduced size or more, so that the averaging reads a few hundred
    // thousand pixels instead of millions.
    const cv::Mat region = whole(cv::Rect(x0, y0, x1 - x0, y1 - y0));
    const int k = std::max(1, static_cast<int>(1 / (2 * s)));
    if (k > 1) {
        cv::Mat thinned((region.rows + k - 1) / k, (region.cols + k - 1) / k, CV_8UC3);
        for (int y = 0; y < thinned.rows; ++y) {
            const auto* from = region.ptr<cv::Vec3b>(y * k);
            auto* to = thinned.ptr<cv::Vec3b>(y);
            for (int x = 0; x < thinned.cols; ++x) to[x] = from[x * k];
        }
        cv::resize(thinned, out.pixels, size, 0, 0, cv::INTER_AREA);
    } else {
        cv::resize(region, out.pixels, size, 0, 0, cv::INTER_AREA);
    }
    out.x0 = x0, out.y0 = y0, out.scale = s;
    out.cx = (cx - x0) * s, out.top = (box.top - y0) * s;
    out.fw = fw * s, out.fh = fh * s;
    out.cutAbove = wantedTop < photo.top;
    return true;
}

// The seeds: the middle of the face is surely head, the upper corners far
// beside the head (with `topIsBackground` the whole top rows) surely
// background, the rest is guessed from an ellipse around the likely head.
cv::Mat SeedMask(const HeadCrop& c, bool topIsBackground) {
    cv::Mat mask(c.pixels.size(), CV_8UC1, cv::Scalar(cv::GC_PR_BGD));
    const double ey = c.top + (c.fh - kHeadAbove * c.fh) / 2;  // ellipse from head top to chin
    const double ry = (c.fh + kHeadAbove * c.fh) / 2;
    const double rx = kHeadHalfWidth * c.fw;
    for (int y = 0; y < mask.rows; ++y) {
        auto* m = mask.ptr<unsigned char>(y);
        for (int x = 0; x < mask.cols; ++x) {
            const double dx = (x - c.cx) / rx, dy = (y - ey) / ry;
            if (dx * dx + dy * dy <= 1) m[x] = cv::GC_PR_FGD;
            const double side = std::abs(x - c.cx);
            if ((side > kSureBackground * c.fw && y < c.top - kSideAbove * c.fh) ||
                (y < kCornerRows && (topIsBackground || side > kCornerSide * c.fw)))
                m[x] = cv::GC_BGD;
        }
    }
    const cv::Rect core(static_cast<int>(c.cx - 0.3 * c.fw), static_cast<int>(c.top + 0.15 * c.fh),
                        static_cast<int>(0.6 * c.fw), static_cast<int>(0.7 * c.fh));
    mask(core & cv::Rect(0, 0, mask.cols, mask.rows)).setTo(cv::GC_FGD);
    return mask;
}

// The head top from a head mask (non-zero: head): in each column over the
// middle of the head, the head is followed up from the box top across gaps
// of one pixel; the head top is the second highest of those column tops, so
// that one stray hair or speck does not set it.
std::optional<int> TopFromMask(const cv::Mat& head, const HeadCrop& c) {
    const int left = std::max(0, static_cast<int>(c.cx - kBandHalfWidth * c.fw));
    const int right = std::min(head.cols, static_cast<int>(c.cx + kBandHalfWidth * c.fw) + 1);
    const int start = std::clamp(static_cast<int>(c.top), 0, head.rows - 1);
    std::vector<int> tops;
    for (int x = left; x < right; ++x) {
        int y = start, top = start + 1;
        while (y >= 0) {
            if (head.at<unsigned char>(y, x) != 0)
                top = y;
            else if (y == 0 || head.at<unsigned char>(y - 1, x) == 0)
                break;
            --y;
        }
        if (top <= start) tops.push_back(top);
    }
    if (tops.size() < 2) return std::nullopt;
    std::nth_element(tops.begin(), tops.begin() + 1, tops.end());
    const double row = c.y0 + (tops[1] + 0.5) / c.scale;
    return static_cast<int>(std::lround(std::max(0.0, row)));
}

std::optional<int> Clamped(std::optional<int> row, const HeadTopFace& face) {
    if (row) row = std::min(*row, face.box.top);
    return row;
}

// The background beside and above the head, as the scan sees it: colour
// samples of the upper corners and sides, and how much the colour varies
// from one pixel to the next there (its grain).
struct BackgroundModel {
    std::vector<cv::Vec3f> samples;
    float grain = 0;  // median RGB distance between neighbouring pixels
};

BackgroundModel SampleBackground(const HeadCrop& c) {
    BackgroundModel model;
    std::vector<float> steps;
    const int step = std::max(1, c.pixels.cols / 40);
    for (int y = 0; y < std::min(c.pixels.rows, static_cast<int>(c.top)); y += step)
        for (int x = 0; x < c.pixels.cols; x += step) {
            const double dx = std::abs(x - c.cx);
            const bool corner = y < 0.15 * c.fh && dx > 0.6 * c.fw;
            if (!corner && dx <= 0.95 * c.fw) continue;
            const cv::Vec3f p = c.pixels.at<cv::Vec3b>(y, x);
            model.samples.push_back(p);
            if (x + 1 < c.pixels.cols && y + 1 < c.pixels.rows) {
                const cv::Vec3f right = c.pixels.at<cv::Vec3b>(y, x + 1);
                const cv::Vec3f below = c.pixels.at<cv::Vec3b>(y + 1, x);
                steps.push_back(
                    static_cast<float>(std::max(cv::norm(p - right), cv::norm(p - below))));
            }
        }
    if (!steps.empty()) {
        std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
        model.grain = steps[steps.size() / 2];
    }
    return model;
}

// How far a colour may lie from every background sample and still be taken
// for background: a plain, smooth background (a studio's black or white)
// is told from dark hair on it by a few levels, a grainy one needs more.
float SameColourStep(const BackgroundModel& model) {
    return std::clamp(kLeastColourStep + kGrainSteps * model.grain, kLeastColourStep, kSameColour);
}

// The segmentation starts its colour mixtures from a k-means clustering with
// random centres drawn from the thread's generator; a fixed state for it
// (the caller's restored after) gives one photo one head top, whatever ran
// before on the thread.
class FixedRandomState {
  public:
    FixedRandomState() : saved_(cv::theRNG().state) { cv::theRNG().state = 0x4b616d62; }
    ~FixedRandomState() { cv::theRNG().state = saved_; }
    FixedRandomState(const FixedRandomState&) = delete;
    FixedRandomState& operator=(const FixedRandomState&) = delete;

  private:
    std::uint64_t saved_;
};

// The head mask (non-zero: head) by segmentation: colour models of head and
// background are formed from the seeds and refined together with the cut
// between them. Empty when no model can be formed.
cv::Mat Segment(const HeadCrop& c, bool topIsBackground) {
    cv::Mat mask = SeedMask(c, topIsBackground);
    if (cv::countNonZero(mask == cv::GC_BGD) < static_cast<int>(mask.total() / kMinSeedShare))
        return {};
    cv::Mat bgModel, fgModel;
    const FixedRandomState fixed;
    try {
        cv::grabCut(c.pixels, mask, cv::Rect(), bgModel, fgModel, kSegmentationRounds,
                    cv::GC_INIT_WITH_MASK);
    } catch (const cv::Exception&) {
        return {};  // no model can be formed (e.g. one flat colour)
    }
    return (mask == cv::GC_FGD) | (mask == cv::GC_PR_FGD);
}

// The head by segmentation. A crop cut short by the photo's top edge may
// have hair in its top rows, or background that the segmentation took for
// head for want of a sample of it above the head (a window or a wall behind
// a head near the top of the photo). When the head reaches the top rows of
// such a crop, the cut is made again with those rows as background; its
// answer is taken when the head then ends clearly below them and still
// rises above the forehead, else the hair is taken to touch the edge. The
// same second cut is tried when a head filling the photo's width leaves too
// few background seeds for the first.
std::optional<int> SegmentedTop(const HeadCrop& c) {
    cv::Scalar mean, deviation;
    cv::meanStdDev(c.pixels, mean, deviation);
    if (std::max({deviation[0], deviation[1], deviation[2]}) < kLeastDeviation)
        return std::nullopt;  // one flat colour: no head to tell from anything
    const cv::Mat head = Segment(c, false);
    std::optional<int> top;
    if (!head.empty()) {
        top = TopFromMask(head, c);
        if (!c.cutAbove || !top) return top;
        const int topRow = static_cast<int>(std::lround((*top - c.y0) * c.scale));
        if (topRow >= kCornerRows) return top;
    } else if (!c.cutAbove) {
        return std::nullopt;
    }
    const cv::Mat again = Segment(c, true);
    if (again.empty()) return top;
    const std::optional<int> lower = TopFromMask(again, c);
    const double lowerRow = lower ? (*lower - c.y0) * c.scale : 0;
    if (!lower || lowerRow <= kCornerRows + 1 || lowerRow > c.top - kLeastHeadAbove * c.fh)
        return top;
    return lower;
}

// The head as what differs from every background sample by more than a
// colour step.
std::optional<int> ScannedTop(const HeadCrop& c, const BackgroundModel& model) {
    if (model.samples.empty()) return std::nullopt;
    const float same = SameColourStep(model);
    cv::Mat head(c.pixels.size(), CV_8UC1, cv::Scalar(0));
    for (int y = 0; y < head.rows; ++y)
        for (int x = 0; x < head.cols; ++x) {
            const cv::Vec3f p = c.pixels.at<cv::Vec3b>(y, x);
            const bool background =
                std::any_of(model.samples.begin(), model.samples.end(), [&](const auto& s) {
                    const cv::Vec3f d = p - s;
                    return d.dot(d) < same * same;
                });
            head.at<unsigned char>(y, x) = background ? 0 : 255;
        }
    return TopFromMask(head, c);
}

}  // namespace

std::optional<int> FindHeadTopContour(const Bitmap& image, const HeadTopFace& face) {
    HeadCrop c;
    if (!MakeCrop(image, face, c)) return std::nullopt;
    // Hair or scalp always rises above the forehead, where the face box
    // starts; a segmented head that ends there has lost its hair to the
    // background (dark hair on black), and the corner colours may see it.
    // On a smooth background the corner colours are the surer judge
    // when they see the head markedly higher: the segmentation takes grey
    // hair on a grey wall, or thin hair over the scalp, for the wall. (A
    // few percent either way is stray hair, where the segmentation is the
    // better judge.) Their answer is not taken where it runs into the crop's
    // top rows, a sign that the samples missed a colour behind the head (a
    // window, a lit wall).
    const std::optional<int> segmented = Clamped(SegmentedTop(c), face);
    const double lowest = face.box.top - kLeastHeadAbove * c.fh / c.scale;
    const BackgroundModel background = SampleBackground(c);
    const bool smooth = background.grain <= kSmoothGrain;
    if (segmented && *segmented <= lowest && !smooth) return segmented;
    const std::optional<int> scanned = Clamped(ScannedTop(c, background), face);
    if (!scanned || (segmented && *scanned >= *segmented)) return segmented;
    if (!segmented || *segmented > lowest) return scanned;
    const bool belowTopRows = (*scanned - c.y0) * c.scale > kCornerRows + 1;
    const bool markedlyHigher = *scanned < *segmented - kLostHair * c.fh / c.scale;
    return belowTopRows && markedlyHigher ? scanned : segmented;
}

std::optional<int> FindHeadTopByBackgroundModel(const Bitmap& image, const HeadTopFace& face) {
    HeadCrop c;
    if (!MakeCrop(image, face, c)) return std::nullopt;
    return Clamped(ScannedTop(c, SampleBackground(c)), face);
}
