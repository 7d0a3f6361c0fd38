// Loading reduces a large upright photo while it is decoded, a few rows at a
// time. Each case here compares LoadPhoto with the load done step by step on
// whole pictures: decode, turn by EXIF, reduce (or stretch), copy, square.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "imaging/orientation.h"
#include "imaging/photo.h"
#include "imaging/reduce.h"
#include "platform/exif_orientation.h"
#include "platform/jpeg.h"
#include "support/bitmap_compare.h"
#include "support/exif_jpeg.h"
#include "support/temp_folder.h"

namespace {

// The load by its steps, each on the whole picture.
struct Stepwise {
    Bitmap trim, square;
    int decodedWidth = 0, decodedHeight = 0;
    bool reduced = false;
};

Stepwise LoadStepByStep(const std::string& path, const LoadOptions& options) {
    Stepwise s;
    Bitmap photo;
    EXPECT_EQ(DecodeJpegFile(path, photo), 0) << path;
    if (options.applyExifOrientation) ApplyExifOrientation(photo, ReadJpegExifOrientation(path));
    s.decodedWidth = photo.Width();
    s.decodedHeight = photo.Height();
    if (NeedsLoadReduction(photo.Width(), photo.Height(), options)) {
        const PixelSize size = LoadReducedSize(photo.Width(), photo.Height());
        std::string text;
        if (ReduceHighQuality(photo, s.trim, size.width, size.height, text) != 0) {
            s.trim.SetSize(size.width, size.height, kWhite);
            StretchDraw(photo, s.trim);
        }
        s.reduced = true;
    } else {
        s.trim = photo;
    }
    BuildSquareImage(s.trim, s.square);
    return s;
}

struct StreamCase {
    const char* what;
    int width, height;
    int orientation;  // 0: no EXIF segment
    bool grey = false;
    bool reduceLarge = true;
};

void PrintTo(const StreamCase& c, std::ostream* os) {
    *os << c.what;
}

class LoadStream : public testing::TestWithParam<StreamCase> {
  protected:
    std::string Write(const StreamCase& c) {
        const std::string path = folder.Dir() + "photo.jpg";
        const Bitmap picture = MakePicture(Picture::Edges, c.width, c.height, 7);
        if (c.grey) {
            EXPECT_EQ(EncodeJpegGreyWorkingFile(path, picture, 90), 0);
            return path;
        }
        std::vector<std::uint8_t> bytes;
        if (c.orientation > 0)
            bytes = JpegWithSegment(picture, ExifSegment(c.orientation));
        else
            EXPECT_EQ(EncodeJpegMemory(picture, 90, bytes), 0);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    TempFolder folder;
};

TEST_P(LoadStream, SameImagesAsTheLoadStepByStep) {
    const StreamCase& c = GetParam();
    const std::string path = Write(c);
    LoadOptions options;
    options.reduceLarge = c.reduceLarge;
    const Stepwise expected = LoadStepByStep(path, options);
    // Images that held a larger photo before, as in a run.
    WorkingImages images;
    images.trim = images.temp2 = images.source = Bitmap(3100, 3100, kWhite);
    const LoadOutcome outcome = LoadPhoto(images, path, options);
    ASSERT_EQ(outcome.code, 0);
    EXPECT_EQ(FirstDifference(expected.trim, images.trim), "");
    EXPECT_EQ(FirstDifference(expected.trim, images.temp2), "");
    EXPECT_EQ(FirstDifference(expected.square, images.source), "");
    EXPECT_EQ(outcome.width, expected.trim.Width());
    EXPECT_EQ(outcome.height, expected.trim.Height());
    EXPECT_EQ(outcome.decodedWidth, expected.decodedWidth);
    EXPECT_EQ(outcome.decodedHeight, expected.decodedHeight);
    EXPECT_EQ(outcome.reduced, expected.reduced);
}

INSTANTIATE_TEST_SUITE_P(Imaging, LoadStream,
                         testing::Values(StreamCase{"streamed, odd sizes", 3001, 2001, 0},
                                         StreamCase{"streamed, tall and odd", 2001, 3003, 0},
                                         StreamCase{"streamed, EXIF says upright", 3001, 2001, 1},
                                         StreamCase{"streamed, grey file", 3001, 2001, 0, true},
                                         StreamCase{"streamed, square", 3464, 3464, 0},
                                         StreamCase{"equal sizes copied", 3000, 2000, 0},
                                         StreamCase{"turned 180 first", 3001, 2001, 3},
                                         StreamCase{"mirrored first", 3001, 2001, 2},
                                         StreamCase{"turned right first", 2001, 3001, 6},
                                         StreamCase{"turned left first", 3001, 2001, 8},
                                         StreamCase{"refused: stretched", 9801, 1000, 0},
                                         StreamCase{"other aspect: stretched", 6001, 7, 0},
                                         StreamCase{"kept at its size", 3001, 2001, 0, false,
                                                    false},
                                         StreamCase{"small, straight in", 641, 479, 0}));

// A truncated large photo fails as before: nothing loaded, the earlier kept
// photo and square untouched even though rows reached the working photo.
TEST(LoadStreamFailure, TruncatedLargePhotoKeepsTheEarlierPhoto) {
    TempFolder folder;
    const std::string good = folder.Dir() + "good.jpg", cut = folder.Dir() + "cut.jpg";
    ASSERT_EQ(EncodeJpegFile(good, MakePicture(Picture::Ramp, 800, 600), 90), 0);
    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(EncodeJpegMemory(MakePicture(Picture::Noise, 3001, 2001), 90, bytes), 0);
    bytes.resize(bytes.size() * 2 / 3);
    std::ofstream(cut, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    WorkingImages images;
    ASSERT_EQ(LoadPhoto(images, good, LoadOptions{}).code, 0);
    const Bitmap temp2 = images.temp2, square = images.source;
    const LoadOutcome outcome = LoadPhoto(images, cut, LoadOptions{});
    EXPECT_EQ(outcome.code, -2);
    EXPECT_FALSE(outcome.errorReason.empty());
    EXPECT_EQ(images.fileName, "");
    EXPECT_EQ(images.trim, Bitmap(1, 1, kBlack));
    EXPECT_EQ(images.temp2, temp2);
    EXPECT_EQ(images.source, square);
}

}  // namespace
