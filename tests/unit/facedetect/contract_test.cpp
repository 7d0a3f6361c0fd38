// The library's contract, through dlopen as the program uses it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "face_library_fixture.h"
#include "platform/jpeg.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

bool Inside(const Box& outer, int x, int y) {
    return outer.Contains(x, y);
}

}  // namespace

TEST_F(FaceLibraryTest, FindsTheFaceWithItsBoxInImagePixels) {
    lib_->setMinSize(100, 100);
    ASSERT_EQ(Search(FacePhoto(), kFaceCascade), 0);
    ASSERT_GE(Count(), 1);
    const Box face = Rect(0);
    EXPECT_GE(face.l, 0);
    EXPECT_GE(face.t, 0);
    EXPECT_LE(face.r, 400);  // right and bottom exclusive
    EXPECT_LE(face.b, 400);
    EXPECT_TRUE(Inside(kFaceTruth, face.Cx(), face.Cy()))
        << face.l << "," << face.t << "," << face.r << "," << face.b;
    EXPECT_GE(face.r - face.l, 100);
    EXPECT_GE(face.b - face.t, 100 * 9 / 10);  // the box's bottom is trimmed (see README)
}

TEST_F(FaceLibraryTest, MinimumSizeAppliesToLaterCallsInBothDirections) {
    lib_->setMinSize(300, 300);
    ASSERT_EQ(Search(FacePhoto(), kFaceCascade), 0);
    EXPECT_EQ(Count(), 0);
    lib_->setMinSize(100, 300);  // the face is about 180 high: too short
    ASSERT_EQ(Search(FacePhoto(), kFaceCascade), 0);
    EXPECT_EQ(Count(), 0);
    lib_->setMinSize(100, 100);
    ASSERT_EQ(Search(FacePhoto(), kFaceCascade), 0);
    EXPECT_GE(Count(), 1);
}

TEST_F(FaceLibraryTest, ResultsStayReadableUntilTheNextSearch) {
    lib_->setMinSize(100, 100);
    ASSERT_EQ(Search(FacePhoto(), kFaceCascade), 0);
    const int n = Count();
    ASSERT_GE(n, 1);
    const Box first = Rect(0);
    lib_->setMinSize(1000, 1000);  // a size change alone does not touch the results
    EXPECT_EQ(Count(), n);
    EXPECT_EQ(Rect(0).l, first.l);
    EXPECT_EQ(Rect(0).b, first.b);
    EXPECT_EQ(lib_->getRect(0, n), 0);   // past the last detection
    EXPECT_EQ(lib_->getRect(4, 0), 0);   // no such item
    EXPECT_EQ(lib_->getRect(-1, 0), 0);  // the count needs index -1 too
    EXPECT_NE(Search(FacePhoto() + ".absent", kFaceCascade), 0);
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(lib_->getRect(0, 0), 0);
}

TEST_F(FaceLibraryTest, StricterAccuracyNeverFindsMore) {
    lib_->setMinSize(60, 60);
    int previous = 1 << 30;
    for (int accuracy = 1; accuracy <= 10; ++accuracy) {
        ASSERT_EQ(Search(FacePhoto(), kFaceCascade, 0, accuracy), 0);
        EXPECT_LE(Count(), previous) << "accuracy " << accuracy;
        previous = Count();
    }
}

TEST_F(FaceLibraryTest, SecondSearchIsAtLeastAsPermissive) {
    lib_->setMinSize(100, 100);
    ASSERT_EQ(Search(FacePhoto(), kFaceCascade, 0), 0);
    const int first = Count();
    ASSERT_EQ(Search(FacePhoto(), kFaceCascade, 1), 0);
    EXPECT_GE(Count(), std::min(first, 1));
    bool faceAmongThem = false;
    for (int i = 0; i < Count(); ++i)
        faceAmongThem = faceAmongThem || Inside(kFaceTruth, Rect(i).Cx(), Rect(i).Cy());
    EXPECT_TRUE(faceAmongThem);
}

TEST_F(FaceLibraryTest, ChinFoundInTheStripNearTheTrueChin) {
    lib_->setMinSize(100, 100);
    ASSERT_EQ(Search(FacePhoto(), kFaceCascade), 0);
    ASSERT_GE(Count(), 1);
    const Box face = Rect(0);
    Bitmap photo;
    ASSERT_EQ(DecodeJpegFile(FacePhoto(), photo), 0);
    int y0 = 0;
    const Bitmap strip = ChinStrip(photo, face, y0);
    TempFolder temp;
    const std::string stripFile = temp.Dir() + "kambrix_temp.jpg";
    ASSERT_EQ(EncodeJpegFile(stripFile, strip, 90), 0);
    lib_->setMinSize(100 / 8, 100 / 8);
    ASSERT_EQ(Search(stripFile, kChinCascade), 0);
    ASSERT_EQ(Count(), 1);
    const Box chin = Rect(0);
    EXPECT_GE(chin.l, 0);
    EXPECT_LE(chin.r, strip.Width());
    const int row = y0 + chin.t + (chin.b - chin.t) / 2;
    EXPECT_GE(row, face.b) << "the program drops a chin above the face box";
    EXPECT_NEAR(row, kFaceTruth.b, (kFaceTruth.b - kFaceTruth.t) * 3 / 100);
}

TEST_F(FaceLibraryTest, ChinStripBelowTheMinimumSizeGivesNoChin) {
    Bitmap photo;
    ASSERT_EQ(DecodeJpegFile(FacePhoto(), photo), 0);
    int y0 = 0;
    const Bitmap strip = ChinStrip(photo, {140, 80, 270, 230}, y0);
    TempFolder temp;
    const std::string stripFile = temp.Dir() + "strip.jpg";
    ASSERT_EQ(EncodeJpegFile(stripFile, strip, 90), 0);
    lib_->setMinSize(strip.Width() + 1, 10);
    EXPECT_EQ(Search(stripFile, kChinCascade), 0);
    EXPECT_EQ(Count(), 0);
}

TEST_F(FaceLibraryTest, NoFaceInAFlatPicture) {
    TempFolder temp;
    const std::string file = temp.Dir() + "grey.jpg";
    ASSERT_EQ(EncodeJpegFile(file, Bitmap(640, 480, {128, 128, 128}), 90), 0);
    lib_->setMinSize(30, 30);
    EXPECT_EQ(Search(file, kFaceCascade, 1), 0);
    EXPECT_EQ(Count(), 0);
}

TEST_F(FaceLibraryTest, Utf8PathsAreRead) {
    TempFolder temp;
    const fs::path folder = temp.Path() / fs::path(u8"顔写真");
    fs::create_directories(folder);
    const fs::path file = folder / fs::path(u8"お客様.jpg");
    fs::copy_file(FacePhoto(), file);
    lib_->setMinSize(100, 100);
    const std::u8string utf8 = file.u8string();
    ASSERT_EQ(Search(std::string(utf8.begin(), utf8.end()), kFaceCascade), 0);
    EXPECT_GE(Count(), 1);
}

// The library finds its own descriptions beside itself, whatever folder is
// current; absolute names are taken as they are.
TEST_F(FaceLibraryTest, CascadeNamesResolveBesideTheLibrary) {
    TempFolder elsewhere;
    fs::current_path(elsewhere.Path());
    lib_->setMinSize(100, 100);
    EXPECT_EQ(Search(FacePhoto(), kFaceCascade), 0);
    EXPECT_GE(Count(), 1);
    const std::u8string absolute = (programDir_ / kFaceCascade).u8string();
    EXPECT_EQ(Search(FacePhoto(), std::string(absolute.begin(), absolute.end()).c_str()), 0);
    EXPECT_GE(Count(), 1);
    const std::u8string missing = (elsewhere.Path() / kFaceCascade).u8string();
    EXPECT_NE(Search(FacePhoto(), std::string(missing.begin(), missing.end()).c_str()), 0);
    EXPECT_EQ(Count(), 0);
}

// Passes may run side by side: each thread reads its own minimum size and
// results.
TEST_F(FaceLibraryTest, EachThreadKeepsItsOwnResults) {
    lib_->setMinSize(100, 100);
    ASSERT_EQ(Search(FacePhoto(), kFaceCascade), 0);
    const int here = Count();
    ASSERT_GE(here, 1);
    int there = -1, thereAfter = -1;
    std::thread other([&] {
        there = lib_->getRect(-1, -1);  // nothing searched on this thread yet
        lib_->setMinSize(390, 390);     // larger than the face: finds nothing
        lib_->facedetect(FacePhoto().c_str(), 0, kFaceCascade, 0, 3);
        thereAfter = lib_->getRect(-1, -1);
    });
    other.join();
    EXPECT_EQ(there, 0);
    EXPECT_EQ(thereAfter, 0);
    EXPECT_EQ(Count(), here);
    ASSERT_EQ(Search(FacePhoto(), kFaceCascade), 0);  // this thread's minimum is unchanged
    EXPECT_EQ(Count(), here);
}

// Every pass loads the library afresh and releases it; the chin model is read
// in the background from the moment of loading. Releasing at once abandons
// that read; releasing after a search frees everything.
TEST_F(FaceLibraryTest, ReleasedAndLoadedAgainForEveryPass) {
    for (int pass = 0; pass < 3; ++pass) {
        Reload();
        if (pass == 1) continue;  // released again before any call
        lib_->setMinSize(100, 100);
        ASSERT_EQ(Search(FacePhoto(), kFaceCascade), 0) << "pass " << pass;
        EXPECT_GE(Count(), 1) << "pass " << pass;
    }
}
