#include "sheet/save.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/jpeg.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"
#include "unit/jpeg/jpeg_test_util.h"

namespace fs = std::filesystem;

namespace {

const std::string kCaption = "Kambrix";

// Every test starts and ends in the same current folder.
class Saving : public testing::Test {
  protected:
    void SetUp() override { start_ = fs::current_path(); }
    void TearDown() override { fs::current_path(start_); }

    // A photo file "IMG1.JPG" in <temp>/a/.
    SaveOptions PhotoIn(const std::string& folder = "a/") {
        SaveOptions o;
        o.photoPath = t_.Write(folder + "IMG1.JPG", "the photo");
        o.photoDir = t_.Dir() + folder;
        o.photoCount = o.photosPerPerson = 4;
        return o;
    }
    std::string Content(const std::string& path) {
        const auto b = ReadBytes(path);
        return {b.begin(), b.end()};
    }
    std::vector<std::uint8_t> DensityBytes(const std::string& path) {
        const auto b = ReadBytes(path);
        return b.size() < 18 ? std::vector<std::uint8_t>{}
                             : std::vector<std::uint8_t>(b.begin() + 13, b.begin() + 18);
    }

    TempFolder t_;
    ScriptedDialogs dialogs_;
    const Bitmap sheet_ = PhotoLike(105, 150);
    const std::vector<std::uint8_t> density300_{0x01, 0x01, 0x2C, 0x01, 0x2C};

  private:
    fs::path start_;
};

TEST_F(Saving, SaveJpegCreatesTheFolderAndLeavesTheCurrentFolderAlone) {
    const fs::path before = fs::current_path();
    const std::string path = t_.Dir() + "x/y/s.jpg";
    EXPECT_EQ(SaveJpeg(path, sheet_, 90, dialogs_, kCaption), 0);
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_EQ(fs::current_path(), before);
    Bitmap back;
    EXPECT_EQ(DecodeJpegFile(path, back), 0);
}

TEST_F(Saving, SaveJpegRefusals) {
    const std::string file = t_.Write("file", "x");
    struct Case {
        std::string path;
        int result;
        std::string message;
    };
    fs::create_directory(t_.Path() / "taken.jpg");
    const Case cases[] = {
        {"ab", kSaveNoFolder, "保存先フォルダが指定されていません。"},
        {"写真", kSaveNoFolder, "保存先フォルダが指定されていません。"},
        {file + "/sub/s.jpg", kSaveCannotCreate,
         "保存先フォルダを作成出来ません。\n" + file + "/sub"},
        {t_.Dir() + "taken.jpg", kSaveWriteFailed, "保存に失敗しました。"},
    };
    for (const Case& c : cases) {
        ScriptedDialogs dialogs;
        EXPECT_EQ(SaveJpeg(c.path, sheet_, 90, dialogs, kCaption), c.result) << c.path;
        ASSERT_EQ(dialogs.shown.size(), 1u) << c.path;
        EXPECT_EQ(dialogs.shown[0].text, c.message);
        EXPECT_EQ(dialogs.shown[0].caption, kCaption);
    }
    EXPECT_TRUE(fs::is_directory(t_.Path() / "taken.jpg"));
}

TEST_F(Saving, SaveJpegFolderThatCannotBeEntered) {
    if (geteuid() == 0) GTEST_SKIP() << "root enters any folder";
    fs::create_directory(t_.Path() / "closed");
    fs::permissions(t_.Path() / "closed", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(SaveJpeg(t_.Dir() + "closed/s.jpg", sheet_, 90, dialogs_, kCaption),
              kSaveCannotEnter);
    EXPECT_EQ(dialogs_.Texts(), std::vector<std::string>{"保存先フォルダを作成出来ません。"});
    fs::permissions(t_.Path() / "closed", fs::perms::owner_all);
}

TEST_F(Saving, OnePersonSheetIsNamedAfterThePhotoAndReplacedNextTime) {
    SaveOptions o = PhotoIn();
    std::string written;
    ASSERT_EQ(SaveSheet(sheet_, o, dialogs_, kCaption, &written), 0);
    EXPECT_EQ(written, t_.Dir() + "a/写真シート/IMG1.JPG");
    EXPECT_EQ(DensityBytes(written), density300_);
    const std::string first = Content(written);
    ASSERT_EQ(SaveSheet(PhotoLike(105, 150, 99), o, dialogs_, kCaption, &written), 0);
    EXPECT_NE(Content(written), first);
    EXPECT_EQ(fs::directory_iterator(t_.Path() / "a" / "写真シート")->path().filename(),
              "IMG1.JPG");
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_EQ(Content(o.photoPath), "the photo");
}

TEST_F(Saving, SharedSheetsAreNumberedAndNeverReplaced) {
    SaveOptions o = PhotoIn();
    o.saveFolder = t_.Dir() + "out";  // no trailing separator
    o.photosPerPerson = 2;
    o.dpi = 350;
    std::string first, second;
    ASSERT_EQ(SaveSheet(sheet_, o, dialogs_, kCaption, &first), 0);
    ASSERT_EQ(SaveSheet(sheet_, o, dialogs_, kCaption, &second), 0);
    EXPECT_EQ(first, t_.Dir() + "out/Index_0000.jpg");
    EXPECT_EQ(second, t_.Dir() + "out/Index_0001.jpg");
    EXPECT_EQ(DensityBytes(second), (std::vector<std::uint8_t>{1, 0x01, 0x5E, 0x01, 0x5E}));
}

TEST_F(Saving, SheetOverThePhotoIsRefused) {
    SaveOptions o = PhotoIn("real/");
    fs::create_directory_symlink(t_.Path() / "real", t_.Path() / "alias");
    const std::pair<std::string, std::string> folderAndSheet[] = {
        {o.photoDir, o.photoPath}, {t_.Dir() + "alias", t_.Dir() + "alias/IMG1.JPG"}};
    for (const auto& [folder, sheet] : folderAndSheet) {
        ScriptedDialogs dialogs;
        o.saveFolder = folder;
        EXPECT_EQ(SaveSheet(sheet_, o, dialogs, kCaption), kSaveWouldReplacePhoto);
        EXPECT_EQ(dialogs.Texts(),
                  std::vector<std::string>{
                      "保存先が元の写真と同じファイルになるため保存しませんでした。\n" + sheet});
        EXPECT_EQ(Content(o.photoPath), "the photo");
    }
}

TEST_F(Saving, TrimmedPhotoBesideTheSheetFolder) {
    SaveOptions o = PhotoIn();
    o.dpi = 300;
    std::string written;
    ASSERT_EQ(SaveTrimmedPhoto(sheet_, o, &dialogs_, kCaption, &written), 0);
    EXPECT_EQ(written, t_.Dir() + "a/トリミング画像/IMG1.JPG");
    EXPECT_EQ(DensityBytes(written), density300_);
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(Saving, TrimmedPhotoFailuresAreSilent) {
    SaveOptions o = PhotoIn();
    o.saveFolder = t_.Write("file", "x");  // a file where the folder should be
    EXPECT_LT(SaveTrimmedPhoto(sheet_, o, &dialogs_, kCaption), 0);
    fs::create_directories(t_.Path() / "out" / "トリミング画像" / "IMG1.JPG");
    o.saveFolder = t_.Dir() + "out/";
    EXPECT_EQ(SaveTrimmedPhoto(sheet_, o, &dialogs_, kCaption), kSaveWriteFailed);
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(Saving, TrimmedPhotoOverThePhotoIsRefused) {
    SaveOptions o = PhotoIn("out/トリミング画像/");
    o.saveFolder = t_.Dir() + "out/";
    EXPECT_EQ(SaveTrimmedPhoto(sheet_, o), kSaveWouldReplacePhoto);
    EXPECT_EQ(SaveTrimmedPhoto(sheet_, o, &dialogs_, kCaption), kSaveWouldReplacePhoto);
    EXPECT_EQ(dialogs_.Texts(),
              std::vector<std::string>{
                  "保存先が元の写真と同じファイルになるため保存しませんでした。\n" + o.photoPath});
    EXPECT_EQ(Content(o.photoPath), "the photo");
}

TEST_F(Saving, RecognitionImageLeavesTheCurrentFolderAlone) {
    const fs::path before = fs::current_path();
    SaveOptions o = PhotoIn();
    std::string written;
    ASSERT_EQ(SaveRecognitionImage(sheet_, o, &written), 0);
    EXPECT_EQ(written, t_.Dir() + "a/認識画像/IMG1.JPG");
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_EQ(DensityBytes(written), density300_);
}

// A save folder typed as a relative path means one folder for the whole
// session: saving one output must not move where the next one goes.
TEST_F(Saving, ARelativeSaveFolderStaysTheSameFolderOutputAfterOutput) {
    fs::current_path(t_.Path());
    SaveOptions o = PhotoIn();
    o.photoCount = o.photosPerPerson = 1;
    o.saveFolder = "out";
    std::vector<std::string> written(4);
    ASSERT_EQ(SaveSheet(sheet_, o, dialogs_, kCaption, &written[0]), 0);
    ASSERT_EQ(SaveTrimmedPhoto(sheet_, o, nullptr, {}, &written[1]), 0);
    ASSERT_EQ(SaveRecognitionImage(sheet_, o, &written[2]), 0);
    ASSERT_EQ(SaveSheet(sheet_, o, dialogs_, kCaption, &written[3]), 0);
    EXPECT_EQ(written, (std::vector<std::string>{
                           t_.Dir() + "out/IMG1.JPG", t_.Dir() + "out/トリミング画像/IMG1.JPG",
                           t_.Dir() + "out/認識画像/IMG1.JPG", t_.Dir() + "out/IMG1.JPG"}));
    EXPECT_TRUE(fs::equivalent(fs::current_path(), t_.Path()));
    EXPECT_FALSE(fs::exists(t_.Path() / "out" / "out"));
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(Saving, OpenOutputFolderPrefersTheSaveFolderThenTheSheetFolder) {
    ScriptedShell shell;
    const std::string photoDir = t_.Dir() + "a/";
    fs::create_directory(t_.Path() / "a");
    OpenOutputFolder(shell, "", photoDir);
    fs::create_directory(t_.Path() / "a" / "写真シート");
    OpenOutputFolder(shell, "", photoDir);
    OpenOutputFolder(shell, "/out", photoDir);
    EXPECT_EQ(shell.opened,
              (std::vector<std::string>{photoDir, photoDir + "写真シート/", "/out/"}));
}

}  // namespace
