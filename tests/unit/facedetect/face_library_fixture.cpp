#include "face_library_fixture.h"

#include "platform/jpeg.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

void FaceLibraryTest::SetUp() {
    programDir_ = ProgramDir();
    previousDir_ = fs::current_path();
    fs::current_path(programDir_);
    lib_ = std::make_unique<FaceLibrary>(programDir_);
    ASSERT_TRUE(lib_->Ready()) << "libfacedetect.so with its three exports in " << programDir_;
}

void FaceLibraryTest::TearDown() {
    lib_.reset();
    std::error_code ec;
    fs::current_path(previousDir_, ec);
}

void FaceLibraryTest::Reload() {
    lib_.reset();
    lib_ = std::make_unique<FaceLibrary>(programDir_);
    ASSERT_TRUE(lib_->Ready());
}

int FaceLibraryTest::Search(const std::string& image, const char* cascade, int pass, int accuracy) {
    return lib_->facedetect(image.c_str(), 0, cascade, pass, accuracy);
}

std::string FaceLibraryTest::FacePhoto() {
    return (SourceDir() / "tests" / "unit" / "facedetect" / "face_frontal_400px_cc0.jpg").string();
}

std::string FaceLibraryTest::Portraits() {
    return PortraitsFolder();
}

Bitmap ChinStrip(const Bitmap& photo, const Box& face, int& y0) {
    const int fh = face.b - face.t;
    y0 = face.t + fh / 2;
    if (photo.Height() < face.b + fh / 2) y0 = photo.Height() - fh;
    Bitmap strip(face.r - face.l, fh);
    CopyRect(photo, {face.l, y0, face.r, y0 + fh}, strip, 0, 0);
    return strip;
}
