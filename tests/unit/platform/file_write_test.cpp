#include "platform/file_write.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

std::string Content(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Makes `name` as if written `age` ago.
void Leftover(const TempFolder& t, const std::string& name, std::chrono::minutes age) {
    t.Write(name, "half a picture");
    fs::last_write_time(t.Path() / name, fs::file_time_type::clock::now() - age);
}

struct NameCase {
    const char* name;
    bool ours;
};

class TemporaryNames : public testing::TestWithParam<NameCase> {};

TEST_P(TemporaryNames, OnlyOurOwnPatternCounts) {
    EXPECT_EQ(IsOwnTemporaryName(GetParam().name), GetParam().ours) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Platform, TemporaryNames,
                         testing::Values(NameCase{"IMG1.jpg.tmp012345", true},
                                         NameCase{"写真.JPEG.tmp999999", true},
                                         NameCase{"IMG1.jpg.tmp12345", false},    // five digits
                                         NameCase{"IMG1.jpg.tmp1234567", false},  // seven
                                         NameCase{"IMG1.jpg.tmp12345x", false},
                                         NameCase{"notes.txt.tmp123456", false},  // not our kind
                                         NameCase{"x.tmp123456", false},
                                         NameCase{".jpg.tmp123456", true},
                                         NameCase{"IMG1.jpg", false}));

TEST(WriteFileWhole, WritesTheBytesAndLeavesNoTemporary) {
    TempFolder t;
    const std::string path = t.Dir() + "sheet.jpg";
    t.Write("sheet.jpg", "old content that is longer");
    ASSERT_TRUE(WriteFileWhole(path, "new", 3));
    EXPECT_EQ(Content(path), "new");
    EXPECT_EQ(Names(t.Path()), std::vector<std::string>{"sheet.jpg"});
}

TEST(WriteFileWhole, StaleTemporariesOfEarlierWritesGoOthersStay) {
    TempFolder t;
    Leftover(t, "a.jpg.tmp000001", std::chrono::minutes(60));  // an interrupted save
    Leftover(t, "b.jpg.tmp000002", std::chrono::minutes(1));   // maybe still being written
    Leftover(t, "notes.tmp000003", std::chrono::minutes(60));  // not ours
    Leftover(t, "c.jpg.tmp00004", std::chrono::minutes(60));   // not our pattern
    ASSERT_TRUE(WriteFileWhole(t.Dir() + "d.jpg", "x", 1));
    EXPECT_EQ(Names(t.Path()), (std::vector<std::string>{"b.jpg.tmp000002", "c.jpg.tmp00004",
                                                         "d.jpg", "notes.tmp000003"}));
}

TEST(WriteFileWhole, UnwritableFolderFailsWithoutLeavingAnything) {
    TempFolder t;
    EXPECT_FALSE(WriteFileWhole(t.Dir() + "missing/d.jpg", "x", 1));
    fs::create_directory(t.Path() / "d.jpg");  // the target is a folder
    EXPECT_FALSE(WriteFileWhole(t.Dir() + "d.jpg", "x", 1));
    EXPECT_EQ(Names(t.Path()), std::vector<std::string>{"d.jpg"});
}

}  // namespace

// The working file replaces a longer one completely, fails into a missing
// folder, and leaves the folder's other files (stale temporaries included)
// to the durable writer's sweep.
TEST(WriteWorkingFile, ReplacesInPlaceAndTouchesNothingElse) {
    TempFolder t;
    t.Write("kambrix_temp.jpg", "a longer earlier picture");
    Leftover(t, "sheet.jpg.tmp123456", std::chrono::minutes(30));
    const std::string bytes("new\0pic", 7);
    EXPECT_TRUE(WriteWorkingFile(t.Dir() + "kambrix_temp.jpg", bytes.data(), bytes.size()));
    EXPECT_EQ(Content(t.Path() / "kambrix_temp.jpg"), bytes);
    EXPECT_EQ(Names(t.Path()),
              (std::vector<std::string>{"kambrix_temp.jpg", "sheet.jpg.tmp123456"}));
    EXPECT_FALSE(WriteWorkingFile(t.Dir() + "no/such/folder/t.jpg", bytes.data(), bytes.size()));
}
