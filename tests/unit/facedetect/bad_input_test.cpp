// Bad input never ends the program: every case gives a failure value (never 0
// and never -7, which the program reads as "no failure"), leaves no
// detections behind and prints nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "face_library_fixture.h"
#include "platform/jpeg.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Failure values of the library (see facedetect/README.md).
constexpr int kImageMissing = -1, kNotJpeg = -2, kBadImageSize = -3, kCascadeMissing = -4,
              kCascadeBroken = -5, kModelMissing = -8;

std::string SmallJpeg() {
    std::vector<std::uint8_t> bytes;
    EncodeJpegMemory(Bitmap(16, 16, {90, 120, 150}), 90, bytes);
    return std::string(bytes.begin(), bytes.end());
}

// A JPEG whose frame header announces `width` x `height`.
std::string JpegAnnouncing(int width, int height) {
    std::string bytes = SmallJpeg();
    const std::size_t sof = bytes.find("\xFF\xC0");
    if (sof == std::string::npos) return bytes;
    bytes[sof + 5] = static_cast<char>(height >> 8);
    bytes[sof + 6] = static_cast<char>(height & 0xFF);
    bytes[sof + 7] = static_cast<char>(width >> 8);
    bytes[sof + 8] = static_cast<char>(width & 0xFF);
    return bytes;
}

std::string ChinDescription(const std::string& method, const std::string& model) {
    return "<?xml version=\"1.0\"?>\n<opencv_storage>\n<method>" + method +
           "</method>\n<models>\n  <_>" + model + "</_></models>\n</opencv_storage>\n";
}

std::string FirstBytesOf(const std::string& file, std::size_t n) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes(n, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(n));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

const char* const kDlibModel = "/usr/share/dlib/shape_predictor_68_face_landmarks.dat";

struct BadCase {
    const char* name;
    // Makes the bad files in `temp`; sets the image and cascade arguments.
    std::function<void(const TempFolder& temp, std::string& image, std::string& cascade)> make;
    int expected;
    bool nullImage = false;
    bool nullCascade = false;
};

const BadCase kCases[] = {
    {"MissingImage", [](auto& t, auto& i, auto&) { i = t.Dir() + "absent.jpg"; }, kImageMissing},
    {"ImageIsAFolder", [](auto& t, auto& i, auto&) { i = t.Path().string(); }, kImageMissing},
    {"NullImagePath", [](auto&, auto&, auto&) {}, kImageMissing, true},
    {"EmptyFile", [](auto& t, auto& i, auto&) { i = t.Write("empty.jpg", ""); }, kNotJpeg},
    {"TextNamedJpeg",
     [](auto& t, auto& i, auto&) { i = t.Write("text.jpg", "not a picture at all\r\n"); },
     kNotJpeg},
    {"PngNamedJpeg",
     [](auto& t, auto& i, auto&) { i = t.Write("png.jpg", "\x89PNG\r\n\x1A\n\0\0\0\rIHDR"); },
     kNotJpeg},
    {"TruncatedInTheHeader",
     [](auto& t, auto& i, auto&) { i = t.Write("cut.jpg", SmallJpeg().substr(0, 120)); }, kNotJpeg},
    {"ZeroHeightAnnounced",
     [](auto& t, auto& i, auto&) { i = t.Write("zero.jpg", JpegAnnouncing(16, 0)); },
     kBadImageSize},
    {"EmptyAnnounced", [](auto&, auto& i, auto&) { i = TestDataPath("jpeg_announcing_0x0.jpg"); },
     kBadImageSize},
    {"BeyondLibjpegsLimitAnnounced",
     [](auto&, auto& i, auto&) { i = TestDataPath("jpeg_announcing_65535x65535.jpg"); },
     kBadImageSize},
    {"GiganticAnnounced",
     [](auto& t, auto& i, auto&) { i = t.Write("huge.jpg", JpegAnnouncing(30000, 30000)); },
     kBadImageSize},
    {"OnePixelTooWide",
     [](auto& t, auto& i, auto&) { i = t.Write("wide.jpg", JpegAnnouncing(20001, 16)); },
     kBadImageSize},
    {"MissingCascade", [](auto&, auto&, auto& c) { c = "absent_cascade.xml"; }, kCascadeMissing},
    {"NullCascadeName", [](auto&, auto&, auto&) {}, kCascadeMissing, false, true},
    {"MalformedCascade",
     [](auto& t, auto&, auto& c) {
         c = t.Write("broken.xml", "<?xml version=\"1.0\"?>\n<opencv_storage><cascade><stage");
     },
     kCascadeBroken},
    {"NestedDeeperThanAnyDescription",
     [](auto&, auto&, auto& c) { c = TestDataPath("cascade_nested_40000_deep.xml"); },
     kCascadeBroken},
    {"FeatureIndexPastTheFeatureList",
     [](auto&, auto&, auto& c) { c = TestDataPath("cascade_feature_index_out_of_range.xml"); },
     kCascadeBroken},
    {"NulBytesInTheXml",
     [](auto&, auto&, auto& c) { c = TestDataPath("cascade_nul_bytes_crash_the_xml_reader.xml"); },
     kCascadeBroken},
    {"YamlInsteadOfXml",
     [](auto& t, auto&, auto& c) {
         c = t.Write("yaml.xml", "%YAML:1.0\n" + std::string(5000, '['));
     },
     kCascadeBroken},
    {"XmlThatIsNoCascade",
     [](auto& t, auto&, auto& c) {
         c = t.Write("other.xml",
                     "<?xml version=\"1.0\"?>\n<opencv_storage><x>1</x></opencv_storage>\n");
     },
     kCascadeBroken},
    {"ChinModelMissing",
     [](auto& t, auto&, auto& c) {
         c = t.Write("ago.xml", ChinDescription("dlib-shape-predictor", "absent.dat"));
     },
     kModelMissing},
    {"ChinMethodUnknown",
     [](auto& t, auto&, auto& c) { c = t.Write("ago.xml", ChinDescription("magic", kDlibModel)); },
     kCascadeBroken},
    {"ChinModelNotAModel",
     [](auto& t, auto&, auto& c) {
         t.Write("model.dat", std::string(5000, '\x7F'));
         c = t.Write("ago.xml", ChinDescription("dlib-shape-predictor", "model.dat"));
     },
     kCascadeBroken},
    {"ChinModelTruncated",
     [](auto& t, auto&, auto& c) {
         t.Write("model.dat", FirstBytesOf(kDlibModel, 1 << 20));
         c = t.Write("ago.xml", ChinDescription("dlib-shape-predictor", "model.dat"));
     },
     kCascadeBroken},
};

void PrintTo(const BadCase& c, std::ostream* os) {
    *os << c.name;
}

class BadInput : public FaceLibraryTest, public ::testing::WithParamInterface<BadCase> {};

}  // namespace

TEST_P(BadInput, FailsWithoutDetectionsOrOutput) {
    const BadCase& c = GetParam();
    TempFolder temp;
    std::string image = FacePhoto();
    std::string cascade = kFaceCascade;
    c.make(temp, image, cascade);
    // A good search first, so that a failure has results to clear.
    lib_->setMinSize(100, 100);
    ASSERT_EQ(Search(FacePhoto(), kFaceCascade), 0);
    ASSERT_GE(Count(), 1);

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int r = lib_->facedetect(c.nullImage ? nullptr : image.c_str(), 0,
                                   c.nullCascade ? nullptr : cascade.c_str(), 0, 3);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, c.expected);
    EXPECT_NE(r, 0);
    EXPECT_NE(r, -7);
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, BadInput, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FaceLibraryTest, LargestAcceptedSideIsSearched) {
    TempFolder temp;
    const std::string file = temp.Dir() + "wide.jpg";
    ASSERT_EQ(EncodeJpegFile(file, Bitmap(20000, 8, {60, 60, 60}), 90), 0);
    lib_->setMinSize(0, 0);
    EXPECT_EQ(Search(file, kFaceCascade), 0);
    EXPECT_EQ(Count(), 0);
}

// The library reads the descriptions beside it in the background as soon as
// it is loaded: hostile ones there must not take the program down.
TEST_F(FaceLibraryTest, HostileDescriptionsBesideTheLibraryAtLoadingAreRefused) {
    TempFolder temp;
    fs::copy_file(programDir_ / "libfacedetect.so", temp.Path() / "libfacedetect.so");
    fs::copy_file(TestDataPath("cascade_nested_40000_deep.xml"), temp.Path() / "ago.xml");
    fs::copy_file(TestDataPath("cascade_feature_index_out_of_range.xml"),
                  temp.Path() / "haarcascade_frontalface_default.xml");
    const fs::path programDir = programDir_;
    programDir_ = temp.Path();
    Reload();
    lib_->setMinSize(0, 0);
    EXPECT_EQ(Search(FacePhoto(), "haarcascade_frontalface_default.xml"), kCascadeBroken);
    EXPECT_EQ(Search(FacePhoto(), "ago.xml"), kCascadeBroken);
    lib_.reset();
    programDir_ = programDir;
}
