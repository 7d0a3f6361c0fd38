#include "cli/face_models.h"

#include <dlfcn.h>

#include <cstdlib>
#include <opencv2/core/utility.hpp>
#include <string>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "detect/auto_frame.h"
#include "detect/face_library.h"

namespace {

constexpr const char* kHelperThreadsVariable = "FACEDETECT_HELPER_THREADS";

// Sets an environment variable for the life of the object, then puts back
// what was there.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedVariable() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

void* OpenLibrary(const std::string& path, FaceLoadThreads threads) {
    if (threads == FaceLoadThreads::Helpers) return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    // The library reads the setting once, while it is being loaded.
    const ScopedVariable callingOnly(kHelperThreadsVariable, "0");
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

using LoadDescriptionFn = int (*)(const char*);

}  // namespace

ResidentFaceModels::ResidentFaceModels(const std::string& appDir, FaceLoadThreads threads,
                                       const std::function<void()>& meanwhile)
    : handle_(OpenLibrary(appDir + FaceLibraryFileName(), threads)) {
    if (meanwhile) meanwhile();
    if (!handle_) return;
    // An older library without the call reads them at the first search.
    const auto load = reinterpret_cast<LoadDescriptionFn>(dlsym(handle_, "loadDescription"));
    if (!load) return;
    for (const char* name : {kFaceCascadeName, kChinCascadeName}) load((appDir + name).c_str());
}

ResidentFaceModels::~ResidentFaceModels() {
    if (handle_) dlclose(handle_);
}

CallingThreadOnly::CallingThreadOnly() {
#ifdef _OPENMP
    openMp_ = omp_get_max_threads();
    omp_set_num_threads(1);
#endif
    openCv_ = cv::getNumThreads();
    cv::setNumThreads(1);
}

CallingThreadOnly::~CallingThreadOnly() {
#ifdef _OPENMP
    omp_set_num_threads(openMp_);
#endif
    cv::setNumThreads(openCv_);
}
