#pragma once
// The descriptions loaded so far, kept by absolute path for the life of the
// library. Loading the chin model takes most of a second, and the program
// loads the library afresh for every framing pass, so the descriptions found
// beside the library when it is loaded are read at once on a
// background thread; a search that needs one of them waits for it. Releasing
// the library stops that thread (a model load in progress is abandoned).
#include <atomic>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fd_detector.h"

namespace fd {

class DetectorCache {
  public:
    // `preload`: absolute paths of the descriptions to read at once.
    explicit DetectorCache(const std::vector<std::filesystem::path>& preload);
    ~DetectorCache();
    DetectorCache(const DetectorCache&) = delete;
    DetectorCache& operator=(const DetectorCache&) = delete;

    // kOk with `out` pointing at the loaded detector (valid for the life of
    // the cache), or a failure value; failures are not kept.
    int Get(const std::filesystem::path& path, const Detector*& out);

  private:
    struct Outcome {
        int code = kInternal;
        std::unique_ptr<Detector> detector;
    };
    struct Pending {
        std::filesystem::path path;
        std::promise<Outcome> promise;
        std::future<Outcome> future;
    };
    void LoadPending();
    int TakePending(const std::filesystem::path& path, Outcome& outcome);

    std::map<std::filesystem::path, std::unique_ptr<Detector>> loaded_;
    std::vector<std::unique_ptr<Pending>> pending_;
    std::atomic<bool> cancel_{false};
    std::thread worker_;
};

}  // namespace fd
