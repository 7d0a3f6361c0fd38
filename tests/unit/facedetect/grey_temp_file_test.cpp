// The framing pass hands the library a grey (luminance-only) temporary file
// instead of a colour one. The library decodes in grey, so both files must
// decode to the same grey pixels at every scale it uses, and every answer must
// be exactly the one the colour file gives: faces of both searches at several
// minimum sizes and accuracies, and the chin of the strip.
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "face_library_fixture.h"
#include "platform/jpeg.h"
#include "support/temp_folder.h"

namespace {

struct Answer {
    int code = 0;
    std::vector<Box> boxes;
};

bool Same(const std::vector<Box>& a, const std::vector<Box>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].l != b[i].l || a[i].t != b[i].t || a[i].r != b[i].r || a[i].b != b[i].b)
            return false;
    return true;
}

std::string Describe(const Answer& a) {
    std::string s = "code " + std::to_string(a.code) + ":";
    for (const Box& b : a.boxes)
        s += " (" + std::to_string(b.l) + "," + std::to_string(b.t) + ")-(" + std::to_string(b.r) +
             "," + std::to_string(b.b) + ")";
    return s;
}

// The file decoded in grey at 1/denominator scale, as the library decodes
// it (libjpeg's own grey output); empty when it cannot be read.
std::vector<unsigned char> DecodeGrey(const std::string& path, int denominator) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    jpeg_decompress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);  // the test files are well formed
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_GRAYSCALE;
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned>(denominator);
    jpeg_start_decompress(&info);
    std::vector<unsigned char> pixels(std::size_t(info.output_width) * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + std::size_t(info.output_scanline) * info.output_width;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return pixels;
}

struct Question {
    int minSize, pass, accuracy;
};

}  // namespace

class GreyTempFileTest : public FaceLibraryTest {
  protected:
    Answer Ask(const std::string& file, const char* cascade, const Question& s) {
        lib_->setMinSize(s.minSize, s.minSize);
        Answer a;
        a.code = FaceLibraryTest::Search(file, cascade, s.pass, s.accuracy);
        for (int i = 0; i < Count(); ++i) a.boxes.push_back(Rect(i));
        return a;
    }

    // Both files of `picture` at `quality`, asked the same question in turn.
    void ExpectSameAnswers(const Bitmap& picture, int quality, const char* cascade,
                           const std::vector<Question>& searches) {
        const std::string colour = temp_.Dir() + "colour.jpg";
        const std::string grey = temp_.Dir() + "grey.jpg";
        ASSERT_EQ(EncodeJpegFile(colour, picture, quality), 0);
        ASSERT_EQ(EncodeJpegGreyWorkingFile(grey, picture, quality), 0);
        EXPECT_LT(std::filesystem::file_size(grey), std::filesystem::file_size(colour));
        for (const int denominator : {1, 2, 4, 8}) {
            const std::vector<unsigned char> a = DecodeGrey(colour, denominator);
            ASSERT_FALSE(a.empty());
            EXPECT_TRUE(a == DecodeGrey(grey, denominator))
                << "grey pixels differ at 1/" << denominator << ", quality " << quality;
        }
        for (const Question& s : searches) {
            const Answer a = Ask(colour, cascade, s);
            const Answer b = Ask(grey, cascade, s);
            EXPECT_EQ(a.code, b.code);
            EXPECT_TRUE(Same(a.boxes, b.boxes))
                << "min " << s.minSize << " pass " << s.pass << " accuracy " << s.accuracy
                << " quality " << quality << "\ncolour " << Describe(a) << "\ngrey   "
                << Describe(b);
        }
    }

    TempFolder temp_;
};

TEST_F(GreyTempFileTest, FacesAndChinAreThoseOfTheColourFile) {
    Bitmap photo;
    ASSERT_EQ(DecodeJpegFile(FacePhoto(), photo), 0);
    const std::vector<Question> faces = {
        {100, 0, 3}, {100, 1, 3}, {60, 0, 1}, {200, 0, 3}, {40, 1, 6}};
    for (const int quality : {90, 75, 100}) {
        ExpectSameAnswers(photo, quality, kFaceCascade, faces);
        // The strip the pass cuts below the face it found, as the chin search sees it.
        lib_->setMinSize(100, 100);
        ASSERT_EQ(FaceLibraryTest::Search(FacePhoto(), kFaceCascade), 0);
        ASSERT_GE(Count(), 1);
        int y0 = 0;
        const Bitmap strip = ChinStrip(photo, Rect(0), y0);
        ExpectSameAnswers(strip, quality, kChinCascade, {{12, 0, 3}});
    }
}

TEST_F(GreyTempFileTest, SharedPortraitsGiveTheSameFaces) {
    const std::string folder = Portraits();
    if (folder.empty()) GTEST_SKIP() << "shared portraits not present";
    // A large photo (decoded at a reduced scale, landmark fit on a finer one)
    // and a small one (decoded whole).
    for (const char* name : {"unsplash_portrait_3000x4495.jpg", "pexels_santa_beard.jpg"}) {
        SCOPED_TRACE(name);
        Bitmap photo;
        ASSERT_EQ(DecodeJpegFile(folder + "/" + name, photo), 0);
        ExpectSameAnswers(photo, 90, kFaceCascade, {{200, 0, 3}, {200, 1, 3}});
    }
}
