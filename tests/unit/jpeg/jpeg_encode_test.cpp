#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/jpeg.h"
#include "support/temp_folder.h"
#include "unit/jpeg/jpeg_test_util.h"

#ifdef __linux__
#include <signal.h>
#include <sys/resource.h>
#endif

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> Encode(const Bitmap& b, int quality) {
    std::vector<std::uint8_t> bytes;
    EXPECT_EQ(EncodeJpegMemory(b, quality, bytes), 0);
    return bytes;
}

bool HasMarker(const std::vector<std::uint8_t>& bytes, std::uint8_t marker) {
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == marker) return true;
    return false;
}

std::vector<std::string> FolderContent(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

struct Size {
    int width, height;
};

class JpegRoundTrip : public testing::TestWithParam<Size> {};

TEST_P(JpegRoundTrip, KeepsTheSizeAndStaysClose) {
    const Bitmap source = PhotoLike(GetParam().width, GetParam().height, 7);
    const std::vector<std::uint8_t> bytes = Encode(source, 90);
    Bitmap back;
    ASSERT_EQ(DecodeJpegMemory(bytes.data(), bytes.size(), back), 0);
    ASSERT_EQ(back.Width(), source.Width());
    ASSERT_EQ(back.Height(), source.Height());
    EXPECT_LT(MeanAbsDifference(source, back), 3.0);
}

INSTANTIATE_TEST_SUITE_P(Jpeg, JpegRoundTrip,
                         testing::Values(Size{1, 1}, Size{2, 9}, Size{17, 33}, Size{3001, 3},
                                         Size{378, 496}));

TEST(JpegEncode, BaselineJfifWithApp0RightAfterSoi) {
    const std::vector<std::uint8_t> bytes = Encode(PhotoLike(40, 30), 90);
    ASSERT_GT(bytes.size(), 20u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    EXPECT_EQ(bytes[2], 0xFF);
    EXPECT_EQ(bytes[3], 0xE0);
    EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 11), std::string("JFIF\0", 5));
    EXPECT_TRUE(HasMarker(bytes, 0xC0));   // baseline frame
    EXPECT_FALSE(HasMarker(bytes, 0xC2));  // not progressive
}

TEST(JpegEncode, QualityIsClampedToZeroToHundred) {
    const Bitmap b = PhotoLike(64, 64);
    EXPECT_EQ(Encode(b, -20), Encode(b, 0));
    EXPECT_EQ(Encode(b, 150), Encode(b, 100));
    EXPECT_LT(Encode(b, 0).size(), Encode(b, 100).size());
}

TEST(JpegEncode, EmptyBitmapIsRefused) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_EQ(EncodeJpegMemory(Bitmap(), 90, bytes, &error), -2);
    EXPECT_FALSE(error.empty());
    TempFolder t;
    EXPECT_EQ(EncodeJpegFile((t.Path() / "x.jpg").string(), Bitmap(), 90), -2);
    EXPECT_TRUE(FolderContent(t.Path()).empty());
}

TEST(JpegFile, ReplacesAnExistingFileAndHandlesJapaneseNames) {
    TempFolder t;
    const std::string path = t.Write("写真.jpg", "old content");
    const Bitmap source = PhotoLike(50, 40);
    ASSERT_EQ(EncodeJpegFile(path, source, 90), 0);
    Bitmap back;
    ASSERT_EQ(DecodeJpegFile(path, back), 0);
    EXPECT_LT(MeanAbsDifference(source, back), 3.0);
    EXPECT_EQ(FolderContent(t.Path()), std::vector<std::string>{"写真.jpg"});
}

TEST(JpegFile, FolderUnderTheNameIsLeftAloneAndNoTemporaryFileRemains) {
    TempFolder t;
    fs::create_directory(t.Path() / "taken.jpg");
    std::string error;
    EXPECT_EQ(EncodeJpegFile((t.Path() / "taken.jpg").string(), PhotoLike(8, 8), 90, &error), -1);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(t.Path() / "taken.jpg"));
    EXPECT_EQ(FolderContent(t.Path()), std::vector<std::string>{"taken.jpg"});
}

TEST(JpegFile, MissingFolderFails) {
    TempFolder t;
    EXPECT_EQ(EncodeJpegFile((t.Path() / "no" / "x.jpg").string(), PhotoLike(8, 8), 90), -1);
    EXPECT_TRUE(FolderContent(t.Path()).empty());
}

#ifdef __linux__
// A write cut short by the file-size limit keeps the old file whole.
TEST(JpegFile, WriteCutShortKeepsTheOldFile) {
    TempFolder t;
    const std::string path = t.Write("sheet.jpg", "old sheet");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 2048;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = EncodeJpegFile(path, PhotoLike(300, 300), 100);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, -1);
    const std::vector<std::uint8_t> content = ReadBytes(path);
    EXPECT_EQ(std::string(content.begin(), content.end()), "old sheet");
    EXPECT_EQ(FolderContent(t.Path()), std::vector<std::string>{"sheet.jpg"});
}
#endif

}  // namespace
