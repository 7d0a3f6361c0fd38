#pragma once
// The face library as the program uses it: loaded with dlopen from the
// program folder, with that folder as the current folder so that cascade
// names resolve there. The program folder is KAMBRIX_PROGRAM_DIR (set by
// ctest), else the build's bin folder beside the test program's folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "eval_pass.h"
#include "platform/bitmap.h"

class FaceLibraryTest : public ::testing::Test {
  protected:
    static constexpr const char* kFaceCascade = "haarcascade_frontalface_default.xml";
    static constexpr const char* kChinCascade = "ago.xml";

    void SetUp() override;
    void TearDown() override;

    // Releases the library and loads it again.
    void Reload();
    // facedetect with show 0 and accuracy 3.
    int Search(const std::string& image, const char* cascade, int pass = 0, int accuracy = 3);
    int Count() const { return lib_->getRect(-1, -1); }
    Box Rect(int index) const { return lib_->Rect(index); }

    // The frontal face kept beside these tests: a 400 x 400 CC0 portrait whose
    // landmark box is (135, 97)-(268, 224), chin at row 224.
    static std::string FacePhoto();
    // The shared portraits, or "" when they are absent.
    static std::string Portraits();
    static constexpr Box kFaceTruth{135, 97, 268, 224};

    std::filesystem::path programDir_;
    std::filesystem::path previousDir_;
    std::unique_ptr<FaceLibrary> lib_;
};

// The chin strip the program cuts for the face box `face` of `photo`: the
// lower half of the box and as much again below; its top row goes to `y0`.
Bitmap ChinStrip(const Bitmap& photo, const Box& face, int& y0);
