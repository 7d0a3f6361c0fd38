#pragma once
// The face library held open for a whole run with its descriptions read up
// front. While it is held, the framing passes' own loading and releasing of
// the library only counts references, so the face cascade, the chin
// description and its landmark model are read once per process; a process
// that forks after reading them shares their pages with its children.
#include <functional>
#include <string>

enum class FaceLoadThreads {
    Helpers,      // the library's own threads read the models side by side
    CallingOnly,  // everything is read on the calling thread
};

class ResidentFaceModels {
  public:
    // Failures are not reported here: the framing pass that loads the
    // library or needs a description reports them for its photo.
    // `meanwhile` runs on the calling thread while the library's own threads
    // read the models (with FaceLoadThreads::Helpers).
    ResidentFaceModels(const std::string& appDir, FaceLoadThreads threads,
                       const std::function<void()>& meanwhile = {});
    ~ResidentFaceModels();
    ResidentFaceModels(const ResidentFaceModels&) = delete;
    ResidentFaceModels& operator=(const ResidentFaceModels&) = delete;

  private:
    void* handle_ = nullptr;
};

// Keeps the pixel kernels (OpenMP) and OpenCV to the calling thread for its
// lifetime and restores their settings after, so that a run asked for N
// processes uses N cores and no thread pool of the libraries adds to them.
// BLAS is left alone: the landmark fits' small matrices never reach its
// threads, and OpenBLAS told its thread count in a forked process starts
// its pool again, whose thread then spins for about 0.1 s of processor time.
class CallingThreadOnly {
  public:
    CallingThreadOnly();
    ~CallingThreadOnly();
    CallingThreadOnly(const CallingThreadOnly&) = delete;
    CallingThreadOnly& operator=(const CallingThreadOnly&) = delete;

  private:
    int openMp_ = 1;
    int openCv_ = 1;
};
