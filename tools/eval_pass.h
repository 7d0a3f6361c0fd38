#pragma once
// One framing pass driven the way the program drives the face library: the
// square working image written as a JPEG, the first face search, the second
// when the first answer is not believable, then the chin search on the strip
// below the face. Used by facedetect_eval and by the accuracy test.
#include <filesystem>
#include <opencv2/core.hpp>
#include <optional>
#include <string>

#include "eval_truth.h"

constexpr int kEvalMinFace = 200;  // the program's default minimum face size
constexpr int kEvalAccuracy = 3;   // the program's default accuracy
constexpr int kEvalQuality = 90;   // the program's default JPEG quality

// The library loaded from the program folder, as the program loads it.
class FaceLibrary {
  public:
    explicit FaceLibrary(const std::filesystem::path& programDir);
    ~FaceLibrary();
    FaceLibrary(const FaceLibrary&) = delete;
    FaceLibrary& operator=(const FaceLibrary&) = delete;
    bool Ready() const { return handle_ && setMinSize && facedetect && getRect; }
    Box Rect(int index) const {
        return {getRect(0, index), getRect(1, index), getRect(2, index), getRect(3, index)};
    }

    void (*setMinSize)(int, int) = nullptr;
    int (*facedetect)(const char*, int, const char*, int, int) = nullptr;
    int (*getRect)(int, int) = nullptr;

  private:
    void* handle_ = nullptr;
};

// The program's test of whether a face gives a frame within 90 % of the
// image, approximated: built-in layout (place 496 high, 378 wide, 59 above the
// head, 118 below the chin), head 30 % above and 7 % below the face, no
// head-top scan.
bool FrameFits(const Box& face, int side);
// Believable as the program judges a first answer: centre at or above the
// middle row, frame fits, centre within a tenth of the side of the middle column.
bool Plausible(const Box& face, int side);

struct PassResult {
    bool loaded = false;
    int n = 0;  // faces reported for the face used (0: none)
    Box face;   // the face used: the second search's winner, else the first's detection 0
    bool secondSearch = false;
    bool chinFound = false;  // reported and at or below the face box bottom
    int chinRow = 0;
    double faceMs = 0, face2Ms = 0, chinMs = 0, passMs = 0;
    std::string note;
};

// Writes `image` as a JPEG of the program's default quality.
bool WriteJpeg(const std::filesystem::path& file, const cv::Mat& image);

// The searches of one pass with the library loaded. `temp` holds the square
// image as a JPEG; it is overwritten with the chin strip for the chin search.
void SearchPhoto(FaceLibrary& lib, const cv::Mat& square, const std::filesystem::path& temp,
                 PassResult& out);

// A whole pass: write the square to `temp`, then (timed) load the library,
// wait `waitMs`, search, release.
PassResult RunPass(const std::filesystem::path& programDir, const cv::Mat& square,
                   const std::filesystem::path& temp, int waitMs);
