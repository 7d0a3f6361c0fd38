#pragma once
// What the library searches with: a Haar face cascade or the chin finder
// described by ago.xml. Both take the same request and answer with boxes in
// the pixels of the image file, right and bottom exclusive.
#include <atomic>
#include <filesystem>
#include <memory>
#include <opencv2/core.hpp>
#include <vector>

namespace fd {

// Failure values of facedetect (0 is success; -7 is never used because the
// program reads it as "no failure").
enum Result : int {
    kOk = 0,
    kImageMissing = -1,  // the image file is missing or unreadable
    kNotJpeg = -2,       // not a JPEG, or broken beyond decoding
    kBadImageSize = -3,  // empty, or larger than 20000 pixels on a side
    kCascadeMissing = -4,
    kCascadeBroken = -5,  // unreadable as a cascade or chin description
    kNoMemory = -6,
    kModelMissing = -8,  // the landmark model named by the chin description
    kInternal = -9,      // any other exception inside the library
};

// The cascade's box for a face ends at the chin (the true chin lies a median
// 1.02 box heights below its top on the shared portraits, but below the chin
// on some round faces), while the program places the chin a share of the box
// height below the box (7 % in the default layout) and drops a chin found
// above it. A face whose landmarks were fitted is reported with its bottom
// above the fitted chin; any other with this share of the cascade's height
// cut from its bottom, which the strip-only chin fit undoes.
inline constexpr double kFaceBottomTrim = 0.08;

class FaceMemory;
struct LandmarkModel;

struct SearchRequest {
    std::filesystem::path image;
    cv::Size minSize;  // no detection smaller than this (pixels of the image)
    int pass = 0;      // 1: the more permissive second search
    int accuracy = 3;  // 1 (lenient) .. 10 (strict)
    // The faces fitted in this library's earlier searches: a face search
    // replaces them (when `landmarks` is given), a chin search reads them.
    FaceMemory* memory = nullptr;
    const LandmarkModel* landmarks = nullptr;
};

class Detector {
  public:
    virtual ~Detector() = default;
    // kOk with `found` in the order the caller should read them, or a failure.
    virtual int Detect(const SearchRequest& request, std::vector<cv::Rect>& found) const = 0;
};

// Loads the description at `path`. `cancel` may stop a long load early (the
// result is then a failure). kOk with `out` set, or a failure value.
int LoadDetector(const std::filesystem::path& path, const std::atomic<bool>& cancel,
                 std::unique_ptr<Detector>& out);

// Whether loading may use threads of its own (the preload when the library is
// loaded, the box finder unpacked beside the model). A caller that wants all
// work on its own thread sets FACEDETECT_HELPER_THREADS=0 around loading the
// library; the setting is read once, then, and holds until it is released.
bool HelperThreadsAllowed();

}  // namespace fd
