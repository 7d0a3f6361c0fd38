#include "fd_chin.h"

#include <dlib/array2d.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <istream>
#include <opencv2/imgproc.hpp>
#include <streambuf>

#include "fd_box_finder.h"
#include "fd_files.h"
#include "fd_jpeg.h"

namespace fd {

namespace fs = std::filesystem;

namespace {

// A file read in large blocks that stops delivering as soon as `cancel` is
// set, so that a model load can be abandoned when the library is released.
class CancellableFileBuffer final : public std::streambuf {
  public:
    CancellableFileBuffer(const fs::path& path, const std::atomic<bool>& cancel)
        : in_(path, std::ios::binary), cancel_(cancel), block_(1 << 20) {}
    bool IsOpen() const { return in_.is_open(); }

  protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        if (cancel_.load(std::memory_order_relaxed)) return traits_type::eof();
        in_.read(block_.data(), static_cast<std::streamsize>(block_.size()));
        const std::streamsize n = in_.gcount();
        if (n <= 0) return traits_type::eof();
        setg(block_.data(), block_.data(), block_.data() + n);
        return traits_type::to_int_type(*gptr());
    }

  private:
    std::ifstream in_;
    const std::atomic<bool>& cancel_;
    std::vector<char> block_;
};

// The reduced decode a strip is matched on, and the smallest side that
// still gives a faithful print (four times the print's).
constexpr double kMatchReduction = 8;
constexpr int kMatchMinSide = 48;

const fs::path* FirstExisting(const std::vector<fs::path>& paths) {
    for (const fs::path& p : paths) {
        std::error_code ec;
        if (fs::is_regular_file(p, ec)) return &p;
    }
    return nullptr;
}

// The strip with half its height of repeated top rows above it, as a dlib image.
void PaddedStrip(const cv::Mat& strip, int pad, dlib::array2d<unsigned char>& out) {
    cv::Mat padded;
    cv::copyMakeBorder(strip, padded, pad, 0, 0, 0, cv::BORDER_REPLICATE);
    out.set_size(padded.rows, padded.cols);
    for (int y = 0; y < padded.rows; ++y)
        std::memcpy(&out[y][0], padded.ptr<unsigned char>(y),
                    static_cast<std::size_t>(padded.cols));
}

}  // namespace

int ParseChinSettings(const cv::FileNode& root, const fs::path& folder, ChinSettings& out) {
    out = ChinSettings();
    const cv::FileNode models = root["models"];
    if (models.isString()) {
        out.models.push_back(folder / PathFromUtf8(models.string()));
    } else if (models.isSeq()) {
        for (const cv::FileNode& m : models) {
            if (!m.isString()) return kCascadeBroken;
            out.models.push_back(folder / PathFromUtf8(m.string()));
        }
    }
    if (out.models.empty()) return kCascadeBroken;
    const cv::FileNode landmark = root["landmark"];
    if (!landmark.empty()) {
        if (!landmark.isInt() || static_cast<int>(landmark) < 0) return kCascadeBroken;
        out.landmark = static_cast<int>(landmark);
    }
    return kOk;
}

cv::Rect ChinBox(double x, double y, int w, int h, int halfSide) {
    const int cx = static_cast<int>(std::floor(x));
    const int cy = static_cast<int>(std::floor(y));
    const int s = std::max(0, std::min({halfSide, cx, cy, w - 1 - cx, h - 1 - cy}));
    return {cx - s, cy - s, 2 * s + 1, 2 * s + 1};
}

ChinDetector::ChinDetector(std::unique_ptr<LandmarkModel> model, int landmark)
    : model_(std::move(model)), landmark_(landmark) {}

ChinDetector::~ChinDetector() = default;

int ChinDetector::Load(const ChinSettings& settings, const std::atomic<bool>& cancel,
                       std::unique_ptr<ChinDetector>& out) {
    const fs::path* path = FirstExisting(settings.models);
    if (path == nullptr) return kModelMissing;
    auto model = std::make_unique<LandmarkModel>();
    try {
        if (ShapeModel::IsFlatFile(*path)) {
            model->predictor.ReadFlat(*path);
        } else {
            CancellableFileBuffer buffer(*path, cancel);
            if (!buffer.IsOpen()) return kModelMissing;
            std::istream in(&buffer);
            deserialize(model->predictor, in);
        }
        UnpackBoxFinder(model->boxFinder);
    } catch (const dlib::serialization_error&) {
        return kCascadeBroken;
    }
    if (model->predictor.num_parts() <= static_cast<unsigned long>(settings.landmark))
        return kCascadeBroken;
    out.reset(new ChinDetector(std::move(model), settings.landmark));
    return kOk;
}

const LandmarkModel* ChinDetector::Landmarks() const {
    const bool chinOf68 =
        landmark_ == static_cast<int>(kChinPoint) && model_->predictor.num_parts() == kPointsOf68;
    return chinOf68 ? model_.get() : nullptr;
}

int ChinDetector::Detect(const SearchRequest& request, std::vector<cv::Rect>& found) const {
    found.clear();
    // A strip cut from the searched picture is told by its print of 12 x 12
    // pixels, for which a decode at an eighth of its size serves; only a
    // strip from elsewhere is decoded whole, for the fit.
    GrayPicture picture;
    const bool remembered = request.memory != nullptr && !request.memory->Empty();
    if (const int r = LoadGrayFile(request.image, remembered ? kMatchReduction : 1.0, picture);
        r != kOk)
        return r;
    const int w = picture.fullWidth;
    const int h = picture.fullHeight;
    if (w < request.minSize.width || h < request.minSize.height) return kOk;
    if (std::min(picture.pixels.cols, picture.pixels.rows) < kMatchMinSide &&
        picture.pixels.cols < w) {
        if (const int r = LoadGrayFile(request.image, 1.0, picture); r != kOk) return r;
    }
    int stripTop = 0;
    const FaceFit* fit =
        remembered ? request.memory->MatchStrip(picture.pixels, cv::Size(w, h), stripTop) : nullptr;
    if (fit != nullptr) {
        const double x = fit->chin.x - fit->box.x;
        const double y = fit->chin.y - stripTop;
        if (x >= 0 && y >= 0 && x < w && y < h)
            found.push_back(ChinBox(x, y, w, h, std::max(1, w / 40)));
        return kOk;
    }
    if (picture.pixels.cols < w) {
        if (const int r = LoadGrayFile(request.image, 1.0, picture); r != kOk) return r;
    }
    const cv::Mat& strip = picture.pixels;
    const int pad = strip.rows / 2;
    dlib::array2d<unsigned char> image;
    PaddedStrip(strip, pad, image);
    const long faceHeight = std::lround(strip.rows / (1 - kFaceBottomTrim));
    const dlib::rectangle face(0, 0, strip.cols - 1, faceHeight - 1);
    const dlib::full_object_detection shape = model_->predictor(image, face);
    const dlib::point chin = shape.part(static_cast<unsigned long>(landmark_));
    if (shape.num_parts() == kPointsOf68 && !ChinBelowMouth(shape)) return kOk;
    const double x = static_cast<double>(chin.x()) * w / strip.cols;
    const double y = static_cast<double>(chin.y() - pad) * h / strip.rows;
    if (x < 0 || y < 0 || x >= w || y >= h) return kOk;
    found.push_back(ChinBox(x, y, w, h, std::max(1, w / 40)));
    return kOk;
}

}  // namespace fd
