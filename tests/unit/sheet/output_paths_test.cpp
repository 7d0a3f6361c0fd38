#include "sheet/output_paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

struct Folders {
    const char* saveFolder;
    const char* photoDir;
    const char* sheet;
    const char* trimmed;
    const char* recognition;
    const char* log;
};

class OutputFolders : public testing::TestWithParam<Folders> {};

TEST_P(OutputFolders, FollowTheSaveFolderOrThePhotoFolder) {
    const Folders& f = GetParam();
    EXPECT_EQ(SheetFolder(f.saveFolder, f.photoDir), f.sheet);
    EXPECT_EQ(TrimmedFolder(f.saveFolder, f.photoDir), f.trimmed);
    EXPECT_EQ(RecognitionFolder(f.saveFolder, f.photoDir), f.recognition);
    EXPECT_EQ(LogFolder(f.saveFolder, f.photoDir), f.log);
}

INSTANTIATE_TEST_SUITE_P(
    Sheet, OutputFolders,
    testing::Values(
        Folders{"", "/a/", "/a/写真シート/", "/a/トリミング画像/", "/a/認識画像/", "/a/"},
        Folders{"/out/", "/a/", "/out/", "/out/トリミング画像/", "/out/認識画像/", "/out/"},
        // typed without the separator: still the folder, not a name prefix
        Folders{"/out", "/a/", "/out/", "/out/トリミング画像/", "/out/認識画像/", "/out/"},
        Folders{"/出力先/ソ", "/a/", "/出力先/ソ/", "/出力先/ソ/トリミング画像/",
                "/出力先/ソ/認識画像/", "/出力先/ソ/"},
        Folders{"", "/写真/a", "/写真/a/写真シート/", "/写真/a/トリミング画像/",
                "/写真/a/認識画像/", "/写真/a/"}));

TEST(OutputFolders, RelativeFoldersAreTakenFromTheCurrentFolder) {
    TempFolder t;
    const fs::path before = fs::current_path();
    fs::current_path(t.Path());
    const std::string here = t.Dir();
    EXPECT_EQ(SheetFolder("out", "/a/"), here + "out/");
    EXPECT_EQ(TrimmedFolder("", "photos"), here + "photos/トリミング画像/");
    EXPECT_EQ(SheetFolder("", "photos/"), here + "photos/写真シート/");
    EXPECT_EQ(LogFolder("", ""), "");  // no folder at all stays none
    fs::current_path(before);
}

struct Named {
    int number;
    const char* name;
};

class IndexNames : public testing::TestWithParam<Named> {};

TEST_P(IndexNames, AtLeastFourDigits) {
    EXPECT_EQ(IndexSheetName(GetParam().number), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Sheet, IndexNames,
                         testing::Values(Named{0, "Index_0000.jpg"}, Named{7, "Index_0007.jpg"},
                                         Named{9999, "Index_9999.jpg"},
                                         Named{12345, "Index_12345.jpg"},
                                         Named{999999, "Index_999999.jpg"}));

TEST(IndexSheets, TheFirstGapIsTaken) {
    TempFolder t;
    t.Write("Index_0000.jpg", "x");
    t.Write("Index_0002.jpg", "x");
    std::string path;
    ASSERT_EQ(NextIndexSheetPath(t.Dir(), path), 0);
    EXPECT_EQ(path, t.Dir() + "Index_0001.jpg");
}

TEST(IndexSheets, AFolderOfThatNameCountsAsTaken) {
    TempFolder t;
    fs::create_directory(t.Path() / "Index_0000.jpg");
    std::string path;
    ASSERT_EQ(NextIndexSheetPath(t.Path().string(), path), 0);
    EXPECT_EQ(path, t.Dir() + "Index_0001.jpg");
}

TEST(IndexSheets, PastFourDigits) {
    std::string path;
    const auto below10000 = [](const std::string& p) {
        return std::stoi(p.substr(p.find('_') + 1)) < 10000;
    };
    ASSERT_EQ(NextIndexSheetPath("/s/", path, below10000), 0);
    EXPECT_EQ(path, "/s/Index_10000.jpg");
}

TEST(IndexSheets, EveryNumberTakenIsRefused) {
    int asked = 0;
    const auto allTaken = [&asked](const std::string&) { return ++asked, true; };
    std::string path = "unchanged";
    EXPECT_EQ(NextIndexSheetPath("/s/", path, allTaken), -5);
    EXPECT_EQ(path, "unchanged");
    EXPECT_EQ(asked, kMaxSheetIndex + 1);
    EXPECT_EQ(NextIndexSheetPath("/s/", path, allTaken, 3), -5);
}

TEST(SheetExists, LooksForThePhotosNameInTheSheetFolder) {
    TempFolder t;
    t.Write("写真シート/IMG1.JPG", "x");
    EXPECT_TRUE(SheetExists("", t.Dir(), "/elsewhere/IMG1.JPG"));
    EXPECT_TRUE(SheetExists("", t.Dir(), "IMG1.JPG"));
    EXPECT_FALSE(SheetExists("", t.Dir(), "IMG2.JPG"));
    EXPECT_FALSE(SheetExists(t.Dir() + "other", t.Dir(), "IMG1.JPG"));
}

TEST(SheetExists, ThePhotoItselfIsNoSheet) {
    // Saving into the photos' own folder: the "sheet" would be the photo.
    TempFolder t;
    const std::string photo = t.Write("in/IMG1.JPG", "photo");
    t.Write("in/IMG2.JPG", "photo");
    EXPECT_FALSE(SheetExists(t.Dir() + "in", t.Dir(), photo));
    EXPECT_FALSE(SheetExists(t.Dir() + "in/", t.Dir() + "in/", t.Dir() + "in/./IMG1.JPG"));
    // A photo of the same name elsewhere still finds the sheet.
    EXPECT_TRUE(SheetExists(t.Dir() + "in", t.Dir(), t.Dir() + "other/IMG2.JPG"));
}

TEST(SameFile, AliasesOfOneFileAreTheSame) {
    TempFolder t;
    const std::string photo = t.Write("real/p.jpg", "photo");
    fs::create_directory_symlink(t.Path() / "real", t.Path() / "alias");
    fs::create_hard_link(photo, t.Path() / "hard.jpg");
    EXPECT_TRUE(SameFile(t.Dir() + "alias/p.jpg", photo));
    EXPECT_TRUE(SameFile(t.Dir() + "hard.jpg", photo));
    EXPECT_TRUE(SameFile(t.Dir() + "real/../real/./p.jpg", photo));
    EXPECT_TRUE(SameFile("/no/such/./x.jpg", "/no/such/x.jpg"));
    t.Write("real/q.jpg", "photo");
    EXPECT_FALSE(SameFile(t.Dir() + "real/q.jpg", photo));
    EXPECT_FALSE(SameFile(t.Dir() + "real/new.jpg", photo));
    EXPECT_FALSE(SameFile("", ""));
}

}  // namespace
