// Padding of tight portraits for the framing report card: the frame of the
// true head top and chin must fit the padded photo with room to spare, every
// coordinate must move by exactly the padding, and photos that fit already
// must come out untouched.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "eval_frame.h"
#include "support/exif_jpeg.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// The first place of the 35 x 45 mm passport layout.
TPhotoSlot Passport() {
    TPhotoSlot s;
    s.width = 437, s.height = 555, s.widthIn = 413, s.heightIn = 531, s.hny = 59, s.bny = 94;
    return s;
}

Truth Marked(int width, int height, Box face, int headTop, int chin) {
    Truth t;
    t.width = width, t.height = height, t.face = face, t.headTopY = headTop, t.chinY = chin;
    return t;
}

struct PadCase {
    const char* name;
    Truth truth;
    bool padded;
};

void PrintTo(const PadCase& c, std::ostream* os) {
    *os << c.name;
}

class PaddingGeometry : public ::testing::TestWithParam<PadCase> {};

TEST_P(PaddingGeometry, TheCorrectFrameFitsThePaddedPhotoWithRoomToSpare) {
    const Truth& t = GetParam().truth;
    const Padding p = PaddingFor(t, Passport());
    ASSERT_EQ(p.Any(), GetParam().padded);
    EXPECT_GE(std::min({p.top, p.bottom, p.left, p.right}), 0);
    if (!p.Any()) return;
    const int width = t.width + p.left + p.right, height = t.height + p.top + p.bottom;
    const double middle = (t.face->l + t.face->r) / 2.0 + p.left;
    const TrueFrame f =
        CorrectFrameAround(*t.headTopY + p.top, *t.chinY + p.top, middle, Passport());
    const double eps = 1e-6;
    EXPECT_GE(f.t, kPadMargin * f.Height() - eps);
    EXPECT_LE(f.b, height - kPadMargin * f.Height() + eps);
    EXPECT_GE(f.l, kPadMargin * f.Width() - eps);
    EXPECT_LE(f.r, width - kPadMargin * f.Width() + eps);
    EXPECT_LE(f.Height(), kPadFrameShare * height + eps);
    EXPECT_LE(f.Width(), kPadFrameShare * width + eps);
    EXPECT_LE((t.face->t + t.face->b) / 2.0 + p.top, kPadFaceRow * height + eps);
    const Box photo{0, 0, width, height};
    EXPECT_EQ(ReachOf(f, photo, std::max(width, height)).reach, Reach::kFits);
}

INSTANTIATE_TEST_SUITE_P(
    Photos, PaddingGeometry,
    ::testing::Values(
        PadCase{"Fits", Marked(1000, 1400, {350, 500, 650, 800}, 380, 800), false},
        PadCase{"HeadAtTheTopEdge", Marked(1000, 1000, {300, 300, 700, 700}, 30, 700), true},
        PadCase{"ChinAtTheBottomEdge", Marked(1000, 1000, {300, 600, 700, 990}, 300, 990), true},
        PadCase{"NarrowerThanTheFrame", Marked(500, 1200, {100, 450, 400, 800}, 200, 800), true},
        // Sideways the frame may move without moving its lines.
        PadCase{"FaceAtTheLeftEdge", Marked(800, 1000, {0, 400, 300, 700}, 250, 700), false},
        PadCase{"FaceInTheTopLeftCorner", Marked(800, 1000, {0, 100, 300, 400}, 20, 400), true},
        // Lies in the photo, but over the size check's 90 % of the square.
        PadCase{"OverTheSizeCheck", Marked(1000, 1000, {300, 400, 700, 760}, 100, 760), true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PaddingGeometry, PhotosWithoutHeadTopOrChinAreLeftAlone) {
    Truth noHead = Marked(400, 400, {100, 100, 300, 390}, 0, 390);
    noHead.headTopY.reset();
    Truth noFace;
    noFace.width = noFace.height = 400;
    EXPECT_FALSE(PaddingFor(noHead, Passport()).Any());
    EXPECT_FALSE(PaddingFor(noFace, Passport()).Any());
}

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Mean absolute difference of two same-sized pictures, per channel value.
double MeanDifference(const cv::Mat& a, const cv::Mat& b) {
    cv::Mat d;
    cv::absdiff(a, b, d);
    const cv::Scalar m = cv::mean(d);
    return (m[0] + m[1] + m[2]) / 3;
}

// A smooth colour ramp: JPEG keeps it closely, and each edge differs.
cv::Mat Ramp(int width, int height) {
    cv::Mat m(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            m.at<cv::Vec3b>(y, x) = {static_cast<uchar>(40 + x * 150 / width),
                                     static_cast<uchar>(40 + y * 150 / height), 128};
    return m;
}

const char kHeader[] =
    "file,width,height,face_left,face_top,face_right,face_bottom,chin_x,chin_y,headtop_y,source,"
    "licence,notes\n";

class PadFolder : public ::testing::Test {
  protected:
    const PaddedPortrait& Done(const std::string& file) const {
        for (const PaddedPortrait& d : done_)
            if (d.file == file) return d;
        static const PaddedPortrait none;
        ADD_FAILURE() << file << " not handled";
        return none;
    }
    const Truth& Row(const std::string& file) {
        for (const Truth& t : out_)
            if (t.file == file) return t;
        static const Truth none;
        ADD_FAILURE() << file << " has no row";
        return none;
    }
    void Pad(const std::string& rows) {
        in_.Write("truth.csv", kHeader + rows);
        std::string error;
        ASSERT_TRUE(PadPortraits(in_.Path(), out_dir_.Path() / "out", Passport(), 0, done_, error))
            << error;
        ASSERT_TRUE(ReadTruth(out_dir_.Path() / "out" / "truth.csv", out_));
    }
    TempFolder in_, out_dir_;
    std::vector<PaddedPortrait> done_;
    std::vector<Truth> out_;
};

TEST_F(PadFolder, CoordinatesMoveByExactlyThePaddingAndFittingPhotosStayUntouched) {
    const cv::Mat tight = Ramp(120, 160);
    ASSERT_TRUE(cv::imwrite((in_.Path() / "tight.png").string(), tight));
    ASSERT_TRUE(cv::imwrite((in_.Path() / "roomy.jpg").string(), Ramp(300, 420)));
    ASSERT_TRUE(cv::imwrite((in_.Path() / "cat.jpg").string(), Ramp(90, 60)));
    const std::string roomy = "roomy.jpg,300,420,105,150,195,240,150,240,114,src,lic,plain";
    const std::string cat = "cat.jpg,90,60,,,,,,,,src,lic,no face";
    Pad("tight.png,120,160,30,60,90,130,60,130,10,\"a, b\",lic,\"tight, with \"\"quotes\"\"; "
        "other: box 10,20,30,40 chin 20,40 headtop 5\"\n" +
        roomy + "\n" + cat + "\nmissing.jpg,100,100,10,10,90,90,50,90,5,src,lic,gone\n");

    const Padding p = Done("tight.jpg").pad;
    ASSERT_TRUE(p.Any());
    const Truth& t = Row("tight.jpg");
    EXPECT_EQ(t.width, 120 + p.left + p.right);
    EXPECT_EQ(t.height, 160 + p.top + p.bottom);
    ASSERT_TRUE(t.face && t.chinY && t.headTopY);
    EXPECT_EQ(t.face->l, 30 + p.left);
    EXPECT_EQ(t.face->t, 60 + p.top);
    EXPECT_EQ(t.face->r, 90 + p.left);
    EXPECT_EQ(t.face->b, 130 + p.top);
    EXPECT_EQ(t.fields[7], std::to_string(60 + p.left));
    EXPECT_EQ(*t.chinY, 130 + p.top);
    EXPECT_EQ(*t.headTopY, 10 + p.top);
    EXPECT_EQ(t.fields[10], "a, b");
    ASSERT_EQ(t.otherFaces.size(), 1u);
    EXPECT_EQ(t.otherFaces[0].l, 10 + p.left);
    EXPECT_EQ(t.otherFaces[0].t, 20 + p.top);
    EXPECT_EQ(t.otherChinY[0], 40 + p.top);
    EXPECT_NE(t.notes.find("tight, with \"quotes\"; other: box"), std::string::npos) << t.notes;
    EXPECT_NE(t.notes.find("headtop " + std::to_string(5 + p.top)), std::string::npos);
    const std::string noted = "; padded " + std::to_string(p.top) + "/" + std::to_string(p.bottom) +
                              "/" + std::to_string(p.left) + "/" + std::to_string(p.right) +
                              " px (top/bottom/left/right) for the " + "35x45 frame";
    EXPECT_TRUE(t.notes.ends_with(noted)) << t.notes;

    // The photo lies at the padding's offset; the band repeats its edges.
    const cv::Mat padded = cv::imread((out_dir_.Path() / "out" / "tight.jpg").string());
    ASSERT_EQ(padded.cols, t.width);
    ASSERT_EQ(padded.rows, t.height);
    EXPECT_LT(MeanDifference(padded(cv::Rect(p.left, p.top, 120, 160)), tight), 3.0);
    cv::Mat top;
    cv::repeat(tight.row(0), p.top, 1, top);
    EXPECT_LT(MeanDifference(padded(cv::Rect(p.left, 0, 120, p.top)), top), 3.0);

    // Photos that fit and photos without a face: the same bytes, the same row.
    for (const char* name : {"roomy.jpg", "cat.jpg"}) {
        EXPECT_FALSE(Done(name).pad.Any()) << name;
        EXPECT_EQ(Bytes(out_dir_.Path() / "out" / name), Bytes(in_.Path() / name)) << name;
    }
    EXPECT_EQ(CsvLine(Row("roomy.jpg").fields), roomy);
    EXPECT_EQ(CsvLine(Row("cat.jpg").fields), cat);
    // A photo that cannot be read is left out, with its row.
    EXPECT_FALSE(Done("missing.jpg").written);
    EXPECT_EQ(out_.size(), 3u);
}

TEST_F(PadFolder, ATurnedPhotoIsWrittenUprightWithoutItsOrientationTag) {
    // Stored 300 x 200 and turned by its tag: 200 x 300 upright, which is what
    // truth.csv describes.
    const std::vector<std::uint8_t> jpeg = JpegWithSegment(CornerPicture(300, 200), ExifSegment(8));
    in_.Write("turned.jpg", std::string(jpeg.begin(), jpeg.end()));
    Pad("turned.jpg,200,300,50,100,150,250,100,250,20,src,lic,turned\n");
    const Padding p = Done("turned.jpg").pad;
    ASSERT_TRUE(Done("turned.jpg").written && p.Any());
    const std::string out = (out_dir_.Path() / "out" / "turned.jpg").string();
    const cv::Mat upright = cv::imread(out, cv::IMREAD_COLOR);
    const cv::Mat stored = cv::imread(out, cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION);
    ASSERT_EQ(upright.size(), stored.size());
    EXPECT_EQ(upright.cols, 200 + p.left + p.right);
    EXPECT_EQ(upright.rows, 300 + p.top + p.bottom);
    const cv::Mat source = cv::imread((in_.Path() / "turned.jpg").string(), cv::IMREAD_COLOR);
    EXPECT_LT(MeanDifference(upright(cv::Rect(p.left, p.top, 200, 300)), source), 3.0);
}

}  // namespace
