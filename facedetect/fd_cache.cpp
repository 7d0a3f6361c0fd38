#include "fd_cache.h"

#include <algorithm>
#include <new>

namespace fd {

namespace fs = std::filesystem;

namespace {

int LoadSafely(const fs::path& path, const std::atomic<bool>& cancel,
               std::unique_ptr<Detector>& out) {
    try {
        return LoadDetector(path, cancel, out);
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    } catch (...) {
        return kInternal;
    }
}

}  // namespace

DetectorCache::DetectorCache(const std::vector<fs::path>& preload) {
    // Without a thread of its own every description loads when first asked for.
    if (!HelperThreadsAllowed()) return;
    try {
        for (const fs::path& name : preload) {
            std::error_code ec;
            const fs::path path = fs::absolute(name, ec).lexically_normal();
            if (ec || !fs::is_regular_file(path, ec)) continue;
            auto pending = std::make_unique<Pending>();
            pending->path = path;
            pending->future = pending->promise.get_future();
            pending_.push_back(std::move(pending));
        }
        if (!pending_.empty()) worker_ = std::thread([this] { LoadPending(); });
    } catch (...) {
        pending_.clear();  // nothing preloaded: every description loads when asked for
    }
}

DetectorCache::~DetectorCache() {
    cancel_.store(true);
    if (worker_.joinable()) worker_.join();
}

void DetectorCache::LoadPending() {
    for (const auto& pending : pending_) {
        Outcome outcome;
        outcome.code =
            cancel_.load() ? kInternal : LoadSafely(pending->path, cancel_, outcome.detector);
        try {
            pending->promise.set_value(std::move(outcome));
        } catch (...) {
            return;
        }
    }
}

int DetectorCache::TakePending(const fs::path& path, Outcome& outcome) {
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if ((*it)->path != path || !(*it)->future.valid()) continue;
        try {
            outcome = (*it)->future.get();
        } catch (...) {
            return kInternal;
        }
        // Once every preloaded description has been taken the loading thread
        // has nothing left to do: join it now rather than when the library
        // is released, so that a caller who forks after reading the
        // descriptions up front never forks while that thread is still
        // winding down (holding an allocator lock the child would inherit).
        const bool allTaken = std::none_of(pending_.begin(), pending_.end(),
                                           [](const auto& p) { return p->future.valid(); });
        if (allTaken && worker_.joinable()) worker_.join();
        return kOk;
    }
    return kCascadeMissing;  // not preloaded
}

int DetectorCache::Get(const fs::path& path, const Detector*& out) {
    out = nullptr;
    if (const auto it = loaded_.find(path); it != loaded_.end()) {
        out = it->second.get();
        return kOk;
    }
    Outcome outcome;
    if (TakePending(path, outcome) != kOk)
        outcome.code = LoadSafely(path, cancel_, outcome.detector);
    if (outcome.code != kOk) return outcome.code;
    out = outcome.detector.get();
    loaded_.emplace(path, std::move(outcome.detector));
    return kOk;
}

}  // namespace fd
