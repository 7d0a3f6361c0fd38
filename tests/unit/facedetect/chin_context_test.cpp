// The chin search answers from the landmark fit made on the whole face when
// the strip is cut from the picture the face search saw, and only then.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "face_library_fixture.h"
#include "platform/jpeg.h"
#include "support/temp_folder.h"

namespace {

struct ChinAnswer {
    bool found = false;
    int row = 0;  // in the photo's rows
};

}  // namespace

class ChinContextTest : public FaceLibraryTest {
  protected:
    void SetUp() override {
        FaceLibraryTest::SetUp();
        ASSERT_EQ(DecodeJpegFile(FacePhoto(), photo_), 0);
    }

    Box FirstFace(int pass = 0) {
        lib_->setMinSize(100, 100);
        EXPECT_EQ(Search(FacePhoto(), kFaceCascade, pass), 0);
        EXPECT_GE(Count(), 1);
        return Rect(0);
    }

    ChinAnswer ChinIn(const Bitmap& strip, int y0) {
        const std::string file = temp_.Dir() + "kambrix_temp.jpg";
        EXPECT_EQ(EncodeJpegFile(file, strip, 90), 0);
        lib_->setMinSize(100 / 8, 100 / 8);
        EXPECT_EQ(Search(file, kChinCascade), 0);
        if (Count() <= 0) return {};
        const Box c = Rect(0);
        return {true, y0 + c.t + (c.b - c.t) / 2};
    }

    Bitmap photo_;
    TempFolder temp_;
};

TEST_F(ChinContextTest, FaceBoxEndsAboveTheChinTheStripFinds) {
    const Box face = FirstFace();
    int y0 = 0;
    const Bitmap strip = ChinStrip(photo_, face, y0);
    const ChinAnswer chin = ChinIn(strip, y0);
    ASSERT_TRUE(chin.found);
    EXPECT_GT(chin.row, face.b) << "the program would drop this chin";
    // The box bottom lies where the program's default share puts the chin.
    EXPECT_NEAR(face.b + (face.b - face.t) * 7 / 100, chin.row, 3);
    EXPECT_NEAR(chin.row, kFaceTruth.b, (kFaceTruth.b - kFaceTruth.t) * 2 / 100);
}

TEST_F(ChinContextTest, SecondSearchKeepsTheFirstSearchsFaces) {
    // The program may keep the first answer after a second search that found
    // nothing better; the strip is then cut below the first answer's box.
    const Box first = FirstFace(0);
    lib_->setMinSize(300, 300);
    ASSERT_EQ(Search(FacePhoto(), kFaceCascade, 1), 0);
    int y0 = 0;
    const Bitmap strip = ChinStrip(photo_, first, y0);
    const ChinAnswer chin = ChinIn(strip, y0);
    ASSERT_TRUE(chin.found);
    EXPECT_NEAR(chin.row, kFaceTruth.b, (kFaceTruth.b - kFaceTruth.t) * 2 / 100);
}

TEST_F(ChinContextTest, StripFromAnotherPictureIsFittedOnItsOwn) {
    const Box face = FirstFace();
    int y0 = 0;
    const Bitmap strip = ChinStrip(photo_, face, y0);
    // The same size, other content: the strip upside down. The remembered
    // chin would sit at the same place; a fit of its own finds no chin below
    // a mouth, or one elsewhere.
    Bitmap flipped(strip.Width(), strip.Height());
    for (int y = 0; y < strip.Height(); ++y)
        CopyRect(strip, {0, y, strip.Width(), y + 1}, flipped, 0, strip.Height() - 1 - y);
    const ChinAnswer own = ChinIn(strip, y0);
    const ChinAnswer other = ChinIn(flipped, y0);
    ASSERT_TRUE(own.found);
    if (other.found) {
        EXPECT_GT(std::abs(other.row - own.row), 3);
    }
}

TEST_F(ChinContextTest, NewFirstSearchForgetsThePreviousPicture) {
    const Box face = FirstFace();
    int y0 = 0;
    const Bitmap strip = ChinStrip(photo_, face, y0);
    const ChinAnswer before = ChinIn(strip, y0);
    // A first search on a flat picture starts a new pass: the strip of the
    // earlier photo is then fitted on its own (near, but not the same).
    Bitmap flat(400, 400, {128, 128, 128});
    const std::string flatFile = temp_.Dir() + "flat.jpg";
    ASSERT_EQ(EncodeJpegFile(flatFile, flat, 90), 0);
    lib_->setMinSize(100, 100);
    ASSERT_EQ(Search(flatFile, kFaceCascade), 0);
    ASSERT_EQ(Count(), 0);
    const ChinAnswer after = ChinIn(strip, y0);
    ASSERT_TRUE(before.found);
    if (after.found) {
        EXPECT_NEAR(after.row, kFaceTruth.b, (kFaceTruth.b - kFaceTruth.t) * 5 / 100);
    }
}
