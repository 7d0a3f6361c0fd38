#include "platform/paths.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/temp_folder.h"

struct BackslashCase {
    const char* name;
    std::string path;
    char sep;
    bool cp932;
    int expected;
};

class EndsWithBackslashTable : public testing::TestWithParam<BackslashCase> {};

TEST_P(EndsWithBackslashTable, Classifies) {
    const BackslashCase& c = GetParam();
    EXPECT_EQ(EndsWithBackslash(c.path, c.sep, c.cp932), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, EndsWithBackslashTable,
    testing::Values(BackslashCase{"DriveRoot", "C:\\", '\\', true, 1},
                    BackslashCase{"NoSeparator", "C:\\photos", '\\', true, 0},
                    BackslashCase{"Empty", "", '\\', true, -3},
                    BackslashCase{"Longest", std::string(2047, 'a'), '\\', true, 0},
                    BackslashCase{"TooLong", std::string(2048, '\\'), '\\', true, -2},
                    // ソ is 0x83 0x5C: its second byte is no separator.
                    BackslashCase{"EndsInSo", "C:\\\x83\x5C", '\\', true, 0},
                    BackslashCase{"SoThenSeparator", "C:\\\x83\x5C\\", '\\', true, 1},
                    BackslashCase{"TwoLeadBytesThenSeparator", "\x81\x81\\", '\\', true, 1},
                    // Half-width katakana are single bytes.
                    BackslashCase{"HalfWidthKana", "\xB1\\", '\\', true, 1},
                    BackslashCase{"WithoutDoubleByteRule", "C:\\\x83\x5C", '\\', false, 1},
                    BackslashCase{"NativeSlash", "/home/user/", '/', false, 1},
                    BackslashCase{"BackslashIsNotSlash", "/home/user\\", '/', false, 0}),
    [](const testing::TestParamInfo<BackslashCase>& info) { return info.param.name; });

TEST(Paths, ListFolderKeepsTheFileSystemOrder) {
    TempFolder t;
    for (const char* n : {"b.jpg", "A.jpg", "c.txt", "z", "m.JPG", "写真.jpg"}) t.Write(n, "x");
    std::filesystem::create_directory(t.Path() / "sub");
    std::vector<std::string> raw;
    DIR* d = opendir(t.Path().c_str());
    ASSERT_NE(d, nullptr);
    while (dirent* e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            raw.push_back(e->d_name);
    closedir(d);

    const std::vector<FolderEntry> entries = ListFolder(t.Dir());
    std::vector<std::string> names;
    for (const FolderEntry& e : entries) {
        names.push_back(e.name);
        EXPECT_EQ(e.isDirectory, e.name == "sub") << e.name;
    }
    EXPECT_EQ(names, raw);
    EXPECT_TRUE(ListFolder(t.Dir() + "missing").empty());
    EXPECT_TRUE(ListFolder("").empty());
}

TEST(Paths, ExistenceTestsTellFilesFromFolders) {
    TempFolder t;
    const std::string file = t.Write("f.ini", "");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(DirectoryExists(file));
    EXPECT_FALSE(FileExists(t.Dir()));
    EXPECT_TRUE(DirectoryExists(t.Dir()));
    EXPECT_TRUE(PathExists(file));
    EXPECT_FALSE(PathExists(t.Dir() + "nothing"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(DirectoryExists(""));
}

TEST(Paths, MakeFoldersCreatesParents) {
    TempFolder t;
    const std::string deep = t.Dir() + "a/認識画像/c/";
    EXPECT_TRUE(MakeFolders(deep));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(MakeFolders(deep));  // already there
    const std::string file = t.Write("blocker", "x");
    EXPECT_FALSE(MakeFolders(file + "/below"));
    EXPECT_FALSE(MakeFolders(""));
}

TEST(Paths, ExecutableFolderHoldsThisTest) {
    const std::string dir = ExecutableFolder();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), kPathSeparator);
    EXPECT_TRUE(FileExists(dir + "kambrix_unit_platform"));
}

TEST(Paths, CurrentFolderRoundTrip) {
    TempFolder t;
    const std::string before = CurrentFolder();
    ASSERT_TRUE(SetCurrentFolder(t.Dir()));
    const std::string now = CurrentFolder();
    EXPECT_EQ(now.back(), kPathSeparator);
    EXPECT_TRUE(std::filesystem::equivalent(now, t.Path()));
    EXPECT_FALSE(SetCurrentFolder(t.Dir() + "missing"));
    EXPECT_TRUE(SetCurrentFolder(before));
}

TEST(Paths, SplitsFolderAndName) {
    EXPECT_EQ(FolderOf("/a/b/photo.jpg"), "/a/b/");
    EXPECT_EQ(FileNameOf("/a/b/photo.jpg"), "photo.jpg");
    EXPECT_EQ(FolderOf("photo.jpg"), "");
    EXPECT_EQ(FileNameOf("photo.jpg"), "photo.jpg");
    EXPECT_EQ(FolderOf("/a/b/"), "/a/b/");
    EXPECT_EQ(FileNameOf("/a/b/"), "");
}

TEST(Paths, TrailingSeparatorAddedOnlyWhenMissing) {
    EXPECT_EQ(WithTrailingSeparator("/a/b"), "/a/b/");
    EXPECT_EQ(WithTrailingSeparator("/a/b/"), "/a/b/");
    EXPECT_EQ(WithTrailingSeparator(""), "");  // not turned into the root
    const std::string tooLong(2048, 'a');
    EXPECT_EQ(WithTrailingSeparator(tooLong), tooLong);
}

TEST(Paths, ReadFileBytesKeepsEveryByte) {
    TempFolder t;
    const std::string content("a\0b\r\n\xFF", 6);
    std::string bytes = "stale";
    ASSERT_TRUE(ReadFileBytes(t.Write("bin", content), bytes));
    EXPECT_EQ(bytes, content);
    EXPECT_FALSE(ReadFileBytes(t.Dir() + "missing", bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(ReadFileBytes(t.Dir(), bytes));  // a folder is no file
}
