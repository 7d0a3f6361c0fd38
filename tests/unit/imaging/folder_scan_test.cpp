#include "imaging/folder_scan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/paths.h"
#include "support/temp_folder.h"

TEST(FolderScan, CountsFoldersFilesAndJpegs) {
    TempFolder t;
    for (const char* d : {"sub1", "sub2", "x.jpg"}) std::filesystem::create_directory(t.Path() / d);
    t.Write("sub1/inside.jpg", "x");  // subfolders are not entered
    for (const char* f :
         {"a.jpg", "B.JPG", "c.Jpg", "d.jPg", "e.jpeg", "f.png", "g.txt", "jpg", ".jpg.txt", "h"})
        t.Write(f, "x");
    std::vector<std::string> list = {"kept"};
    const FolderScanCounts c = CollectFolderJpegs(t.Path().string(), list);
    EXPECT_EQ(c.subfolders, 3);
    EXPECT_EQ(c.files, 10);
    EXPECT_EQ(c.jpegs, 4);
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0], "kept");
    // Paths in the order of the folder listing, with one separator.
    std::vector<std::string> expected = {"kept"};
    const std::set<std::string> jpegs = {"a.jpg", "B.JPG", "c.Jpg", "d.jPg"};
    for (const FolderEntry& e : ListFolder(t.Dir()))
        if (jpegs.count(e.name)) expected.push_back(t.Dir() + e.name);
    EXPECT_EQ(list, expected);
}

TEST(FolderScan, FolderWithTrailingSeparatorGetsNoSecond) {
    TempFolder t;
    t.Write("写真.JPG", "x");
    std::vector<std::string> list;
    const FolderScanCounts c = CollectFolderJpegs(t.Dir(), list);
    EXPECT_EQ(c.jpegs, 1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], t.Dir() + "写真.JPG");
}

TEST(FolderScan, NoFolderToListGivesZeroes) {
    TempFolder t;
    const std::string file = t.Write("A.jpg", "x");
    std::vector<std::string> list;
    for (const std::string& path : {file, t.Dir() + "missing", std::string()}) {
        const FolderScanCounts c = CollectFolderJpegs(path, list);
        EXPECT_EQ(c.subfolders + c.files + c.jpegs, 0) << path;
    }
    EXPECT_TRUE(list.empty());
}

TEST(FolderScan, DroppedPhotoExtensionIsOneOfThreeSpellings) {
    for (const char* yes : {"/p/a.jpg", "/p/a.JPG", "/p/a.Jpg", "a.b.jpg", "/p/.jpg"})
        EXPECT_TRUE(HasPhotoExtension(yes)) << yes;
    for (const char* no : {"/p/a.jPg", "/p/a.jpeg", "/p/a.JPEG", "/p/a.jpg.txt", "/p.jpg/a",
                           "/p/jpg", "/p/a.jpg/", ""})
        EXPECT_FALSE(HasPhotoExtension(no)) << no;
}
