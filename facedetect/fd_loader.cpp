// Loading a description file: a Haar cascade (OpenCV's cascade format) or the
// chin finder's description, told apart by the `method` entry of the latter.
#include <cstdlib>
#include <cstring>
#include <new>
#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>
#include <string>

#include "cascade_check.h"
#include "fd_chin.h"
#include "fd_detector.h"
#include "fd_faces.h"
#include "fd_files.h"

namespace fd {

namespace fs = std::filesystem;

namespace {

int LoadHaar(const cv::FileStorage& storage, std::unique_ptr<Detector>& out) {
    const cv::FileNode top = storage.getFirstTopLevelNode();
    if (CheckCascadeShape(top) != kOk) return kCascadeBroken;
    auto cascade = std::make_unique<cv::CascadeClassifier>();
    if (!cascade->read(top) || cascade->empty()) return kCascadeBroken;
    out = std::make_unique<HaarDetector>(std::move(cascade));
    return kOk;
}

int LoadChin(const cv::FileStorage& storage, const fs::path& folder,
             const std::atomic<bool>& cancel, std::unique_ptr<Detector>& out) {
    if (!storage["method"].isString() || storage["method"].string() != kChinMethod)
        return kCascadeBroken;
    ChinSettings settings;
    if (const int r = ParseChinSettings(storage.root(), folder, settings); r != kOk) return r;
    std::unique_ptr<ChinDetector> chin;
    if (const int r = ChinDetector::Load(settings, cancel, chin); r != kOk) return r;
    out = std::move(chin);
    return kOk;
}

}  // namespace

bool HelperThreadsAllowed() {
    // The first call comes from the preload while the library is being loaded.
    static const bool allowed = [] {
        const char* setting = std::getenv("FACEDETECT_HELPER_THREADS");
        return setting == nullptr || std::strcmp(setting, "0") != 0;
    }();
    return allowed;
}

int LoadDetector(const fs::path& path, const std::atomic<bool>& cancel,
                 std::unique_ptr<Detector>& out) {
    out.reset();
    std::vector<unsigned char> bytes;
    const int read = ReadWholeFile(path, bytes, kMaxDescriptionBytes);
    if (read == -1) return kCascadeMissing;
    if (read != 0 || bytes.empty()) return kCascadeBroken;
    const std::string text(bytes.begin(), bytes.end());
    if (CheckDescriptionText(text) != kOk) return kCascadeBroken;
    try {
        const cv::FileStorage storage(text, cv::FileStorage::READ | cv::FileStorage::MEMORY);
        if (!storage.isOpened()) return kCascadeBroken;
        if (!storage["method"].empty()) return LoadChin(storage, path.parent_path(), cancel, out);
        return LoadHaar(storage, out);
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    } catch (const cv::Exception&) {
        return kCascadeBroken;
    }
}

}  // namespace fd
