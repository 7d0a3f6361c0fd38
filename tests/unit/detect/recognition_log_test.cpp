// The recognition log, the training list and the saved face, byte for byte.
#include "detect/recognition_log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/jpeg.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

namespace {

std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, bytes)) << path;
    return bytes;
}

TEST(RecognitionTimestamp, ShortDateAndTwentyFourHourTime) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = 6;
    t.tm_min = 4;
    t.tm_sec = 38;
    EXPECT_EQ(RecognitionTimestamp(t), "2026/12/08 6:04:38");
    t.tm_mon = 0;
    t.tm_mday = 1;
    t.tm_hour = 23;
    t.tm_min = 0;
    t.tm_sec = 5;
    EXPECT_EQ(RecognitionTimestamp(t), "2026/01/01 23:00:05");
}

TEST(RecognitionLog, LinesAreCp932WithCrLfAndOnlyGrow) {
    TempFolder tmp;
    const std::string folder = tmp.Dir() + "出力/";
    const std::string line = RecognitionLogLine(
        "2026/12/08 6:04:38", "  自動顔認識エラー（内部エラー）:  ", "/写真/a.jpg");
    ASSERT_EQ(AppendRecognitionLog(folder, line), 0);
    ASSERT_EQ(AppendRecognitionLog(folder, "second"), 0);
    const std::string expected =
        "2026/12/08 6:04:38  "
        "\x8e\xa9\x93\xae\x8a\xe7\x94\x46\x8e\xaf\x83\x47\x83\x89\x81\x5b\x81\x69"  // 自動顔認識エラー（
        "\x93\xe0\x95\x94\x83\x47\x83\x89\x81\x5b\x81\x6a"  // 内部エラー）
        ":  /\x8e\xca\x90\x5e/a.jpg\r\nsecond\r\n";
    EXPECT_EQ(Read(folder + kRecognitionLogName), expected);
    ASSERT_EQ(AppendRecognitionLog(folder, "anew", true), 0);
    EXPECT_EQ(Read(folder + kRecognitionLogName), "anew\r\n");
}

TEST(RecognitionLog, FolderThatCannotBeMade) {
    TempFolder tmp;
    const std::string file = tmp.Write("plain", "x");
    EXPECT_EQ(AppendRecognitionLog(file + "/below/", "x"), -2);
    EXPECT_EQ(AppendRecognitionLog("", "x"), -2);
}

TEST(RecognitionLog, DoesNotTouchTheCurrentFolder) {
    TempFolder tmp;
    const std::string before = CurrentFolder();
    AppendRecognitionLog(tmp.Dir() + "log/", "x");
    SaveRecognisedFace(Bitmap(4, 4, kWhite), tmp.Dir() + "faces/", tmp.Dir() + "p.jpg", 90, 300);
    EXPECT_EQ(CurrentFolder(), before);
}

TEST(RecognitionLog, SeparatorOnlyInALogThatExists) {
    EXPECT_EQ(RecognitionLogSeparator("2026/12/08 6:04:38"),
              "--------------------------------( 2026/12/08 6:04:38 )"
              "--------------------------------");
    TempFolder tmp;
    const std::string folder = tmp.Dir() + "log";  // without its trailing separator
    EXPECT_FALSE(MarkRunInRecognitionLog(folder));
    EXPECT_FALSE(std::filesystem::exists(tmp.Path() / "log"));
    EXPECT_FALSE(MarkRunInRecognitionLog(""));
    ASSERT_EQ(AppendRecognitionLog(folder, "old"), 0);
    ASSERT_TRUE(MarkRunInRecognitionLog(folder));
    const std::string log = Read(tmp.Dir() + "log/" + kRecognitionLogName);
    ASSERT_GT(log.size(), 80u) << log;
    EXPECT_EQ(log.find("\r\n", 5), log.size() - 2) << log;  // one line added
    EXPECT_EQ(log.substr(0, 39), "old\r\n--------------------------------( ");
    EXPECT_EQ(log.substr(log.size() - 36), " )--------------------------------\r\n");
}

TEST(RecognisedFace, SavedTwiceReplacesTheImageAndAddsALine) {
    TempFolder tmp;
    const std::string folder = tmp.Dir() + "認識画像/";
    const std::string photo = tmp.Dir() + "顔 1.jpg";
    std::string written;
    ASSERT_EQ(SaveRecognisedFace(Bitmap(30, 40, kWhite), folder, photo, 90, 350, &written), 0);
    ASSERT_EQ(SaveRecognisedFace(Bitmap(20, 24, kWhite), folder, photo, 90, 350), 0);
    EXPECT_EQ(written, folder + "顔 1.jpg");
    Bitmap back;
    ASSERT_EQ(DecodeJpegFile(written, back), 0);
    EXPECT_EQ(back.Width(), 20);
    const std::string jpeg = Read(written);
    EXPECT_EQ(static_cast<unsigned char>(jpeg[13]), 1);  // dots per inch
    EXPECT_EQ((static_cast<unsigned char>(jpeg[14]) << 8) | static_cast<unsigned char>(jpeg[15]),
              350);
    const std::string line1 = "positive/\x8a\xe7 1.jpg 1 0 0 30 40\r\n";
    const std::string line2 = "positive/\x8a\xe7 1.jpg 1 0 0 20 24\r\n";
    EXPECT_EQ(Read(folder + kPositiveListName), line1 + line2);
}

TEST(RecognisedFace, NeverReplacesThePhoto) {
    TempFolder tmp;
    const std::string photo = tmp.Write("p.jpg", "original");
    EXPECT_EQ(SaveRecognisedFace(Bitmap(4, 4, kWhite), tmp.Dir(), photo, 90, 300), -12);
    EXPECT_EQ(Read(photo), "original");
}

TEST(RecognisedFace, UnwritableFolderFails) {
    TempFolder tmp;
    const std::string file = tmp.Write("plain", "x");
    EXPECT_EQ(SaveRecognisedFace(Bitmap(4, 4, kWhite), file + "/x/", tmp.Dir() + "p.jpg", 90, 300),
              -12);
}

}  // namespace
