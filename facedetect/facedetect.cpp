// The library's three exports. Each catches everything: no exception leaves
// the library, nothing is printed, and a failed search leaves no detections.
#include <mutex>
#include <new>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "fd_cache.h"
#include "fd_chin.h"
#include "fd_detector.h"
#include "fd_files.h"
#include "fd_landmarks.h"

#if defined(_WIN32)
#define FD_EXPORT extern "C" __declspec(dllexport)
#else
#define FD_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

struct Library {
    std::mutex mutex;
    cv::Size minSize{0, 0};
    std::vector<cv::Rect> results;
    fd::FaceMemory faces;  // the last face search's fitted faces, for the chin search
    // Starts reading the program folder's descriptions when the library is loaded.
    fd::DetectorCache cache{{"haarcascade_frontalface_default.xml", "ago.xml"}};
};

Library library;

// The landmark model of the chin description in the face cascade's folder,
// for fitting the found faces; nullptr when there is none.
const fd::LandmarkModel* LandmarksBeside(const std::filesystem::path& cascade) {
    const fd::Detector* detector = nullptr;
    if (library.cache.Get(cascade.parent_path() / "ago.xml", detector) != fd::kOk) return nullptr;
    const auto* chin = dynamic_cast<const fd::ChinDetector*>(detector);
    return chin == nullptr ? nullptr : chin->Landmarks();
}

int Search(const char* imagePath, const char* cascadeName, int pass, int accuracy) {
    const std::filesystem::path cascade = fd::AbsoluteFromUtf8(cascadeName);
    if (cascade.empty()) return fd::kCascadeMissing;
    const std::filesystem::path image = fd::AbsoluteFromUtf8(imagePath);
    if (image.empty()) return fd::kImageMissing;
    const fd::Detector* detector = nullptr;
    if (const int r = library.cache.Get(cascade, detector); r != fd::kOk) return r;
    fd::SearchRequest request{image, library.minSize, pass == 1 ? 1 : 0, accuracy};
    request.memory = &library.faces;
    if (dynamic_cast<const fd::ChinDetector*>(detector) == nullptr) {
        // A first search starts a new picture; the second adds its faces.
        if (request.pass == 0) library.faces.Clear();
        request.landmarks = LandmarksBeside(cascade);
    }
    std::vector<cv::Rect> found;
    if (const int r = detector->Detect(request, found); r != fd::kOk) return r;
    library.results = std::move(found);
    return fd::kOk;
}

}  // namespace

FD_EXPORT void setMinSize(int width, int height) {
    std::lock_guard<std::mutex> lock(library.mutex);
    library.minSize = cv::Size(width > 0 ? width : 0, height > 0 ? height : 0);
}

FD_EXPORT int facedetect(const char* imagePath, int /*show*/, const char* cascadeName, int pass,
                         int accuracy) {
    try {
        std::lock_guard<std::mutex> lock(library.mutex);
        library.results.clear();
        const int r = Search(imagePath, cascadeName, pass, accuracy);
        if (r != fd::kOk) library.results.clear();
        return r;
    } catch (const std::bad_alloc&) {
        library.results.clear();
        return fd::kNoMemory;
    } catch (...) {
        library.results.clear();
        return fd::kInternal;
    }
}

FD_EXPORT int getRect(int item, int index) {
    std::lock_guard<std::mutex> lock(library.mutex);
    if (item == -1 && index == -1) return static_cast<int>(library.results.size());
    if (index < 0 || static_cast<std::size_t>(index) >= library.results.size()) return 0;
    const cv::Rect& r = library.results[static_cast<std::size_t>(index)];
    switch (item) {
        case 0:
            return r.x;
        case 1:
            return r.y;
        case 2:
            return r.x + r.width;
        case 3:
            return r.y + r.height;
        default:
            return 0;
    }
}
