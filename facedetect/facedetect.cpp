// The library's exports. Each catches everything: no exception leaves
// the library, nothing is printed, and a failed search leaves no detections.
#include <map>
#include <mutex>
#include <new>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif
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

// The folder this library was loaded from: its own description files lie
// beside it, whatever the caller's current folder is.
std::filesystem::path LibraryFolder() {
#if defined(_WIN32)
    HMODULE module = nullptr;
    wchar_t name[MAX_PATH * 4];
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&LibraryFolder), &module))
        return {};
    const DWORD n = GetModuleFileNameW(module, name, static_cast<DWORD>(std::size(name)));
    if (n == 0 || n >= std::size(name)) return {};
    return std::filesystem::path(name).parent_path();
#else
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LibraryFolder), &info) == 0 || !info.dli_fname) return {};
    std::error_code ec;
    return std::filesystem::absolute(info.dli_fname, ec).parent_path();
#endif
}

// Searches may run side by side in threads: each thread keeps its own
// minimum size and results, and the shared descriptions are used one search
// at a time (a cascade classifier is not safe to share between threads).
// The per-thread state lives in a map rather than in thread_local objects:
// a thread_local with a destructor would pin the library in memory, and the
// program releases it after every pass.
struct ThreadState {
    cv::Size minSize{0, 0};
    std::vector<cv::Rect> results;
    fd::FaceMemory faces;  // the last face searches' fitted faces, for the chin search
};

struct Library {
    std::mutex mutex;        // the descriptions and their searches
    std::mutex statesMutex;  // the map below (not its entries: each is one thread's)
    std::map<std::thread::id, ThreadState> states;
    std::filesystem::path folder = LibraryFolder();
    // Starts reading the library's own descriptions when it is loaded.
    fd::DetectorCache cache{{folder / "haarcascade_frontalface_default.xml", folder / "ago.xml"}};
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

ThreadState& State() {
    std::lock_guard<std::mutex> lock(library.statesMutex);
    return library.states[std::this_thread::get_id()];
}

int Search(const char* imagePath, const char* cascadeName, int pass, int accuracy) {
    const std::filesystem::path cascade = fd::AbsoluteFromUtf8(cascadeName, library.folder);
    if (cascade.empty()) return fd::kCascadeMissing;
    const std::filesystem::path image = fd::AbsoluteFromUtf8(imagePath);
    if (image.empty()) return fd::kImageMissing;
    const fd::Detector* detector = nullptr;
    if (const int r = library.cache.Get(cascade, detector); r != fd::kOk) return r;
    ThreadState& state = State();
    fd::SearchRequest request{image, state.minSize, pass == 1 ? 1 : 0, accuracy};
    request.memory = &state.faces;
    if (dynamic_cast<const fd::ChinDetector*>(detector) == nullptr) {
        // A first search starts a new picture; the second adds its faces.
        if (request.pass == 0) state.faces.Clear();
        request.landmarks = LandmarksBeside(cascade);
    }
    std::vector<cv::Rect> found;
    if (const int r = detector->Detect(request, found); r != fd::kOk) return r;
    state.results = std::move(found);
    return fd::kOk;
}

}  // namespace

FD_EXPORT void setMinSize(int width, int height) {
    try {
        State().minSize = cv::Size(width > 0 ? width : 0, height > 0 ? height : 0);
    } catch (...) {
        // No memory for this thread's state: later searches use no minimum.
    }
}

FD_EXPORT int facedetect(const char* imagePath, int /*show*/, const char* cascadeName, int pass,
                         int accuracy) {
    try {
        State().results.clear();
    } catch (...) {
        return fd::kNoMemory;
    }
    try {
        std::lock_guard<std::mutex> lock(library.mutex);
        const int r = Search(imagePath, cascadeName, pass, accuracy);
        if (r != fd::kOk) State().results.clear();
        return r;
    } catch (const std::bad_alloc&) {
        State().results.clear();
        return fd::kNoMemory;
    } catch (...) {
        State().results.clear();
        return fd::kInternal;
    }
}

FD_EXPORT int getRect(int item, int index) {
    const std::vector<cv::Rect>* found = nullptr;
    try {
        found = &State().results;
    } catch (...) {
        return 0;
    }
    const std::vector<cv::Rect>& results = *found;
    if (item == -1 && index == -1) return static_cast<int>(results.size());
    if (index < 0 || static_cast<std::size_t>(index) >= results.size()) return 0;
    const cv::Rect& r = results[static_cast<std::size_t>(index)];
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

// Loads a description now rather than at the first search that needs it: a
// program that forks after this shares the loaded models with its children.
FD_EXPORT int loadDescription(const char* cascadeName) {
    try {
        std::lock_guard<std::mutex> lock(library.mutex);
        const std::filesystem::path cascade = fd::AbsoluteFromUtf8(cascadeName, library.folder);
        if (cascade.empty()) return fd::kCascadeMissing;
        const fd::Detector* detector = nullptr;
        return library.cache.Get(cascade, detector);
    } catch (const std::bad_alloc&) {
        return fd::kNoMemory;
    } catch (...) {
        return fd::kInternal;
    }
}
