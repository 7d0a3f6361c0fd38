#include "cli/photo_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace {

std::vector<std::string> Given(const std::vector<BatchPhoto>& photos) {
    std::vector<std::string> names;
    for (const auto& p : photos)
        names.push_back(std::filesystem::path(p.given).filename().string());
    return names;
}

TEST(PhotoList, FoldersExpandedSortedAndEachFileOnce) {
    TempFolder t;
    std::filesystem::create_directories(t.Path() / "b" / "sub");
    for (const char* name : {"b/c.JPG", "b/a.jpg", "b/notes.txt", "b/sub/deep.jpg", "z.jpeg"})
        t.Write(name, "x");
    const std::string b = (t.Path() / "b").string();
    const PhotoListResult r =
        BuildPhotoList({t.Dir() + "z.jpeg", b, b + "/./a.jpg", t.Dir() + "b/c.JPG"});
    ASSERT_TRUE(r.error.empty()) << r.error;
    // Folders give "*.jpg" in any case, not subfolders; a named file counts whatever its name.
    EXPECT_EQ(Given(r.photos), (std::vector<std::string>{"a.jpg", "c.JPG", "z.jpeg"}));
    for (const auto& p : r.photos) EXPECT_TRUE(std::filesystem::path(p.path).is_absolute());
}

TEST(PhotoList, UnitsWithTheMostBytesComeFirstTiesAndUnmeasuredInListOrder) {
    TempFolder t;
    const std::vector<std::pair<const char*, std::size_t>> files = {
        {"a.jpg", 10}, {"b.jpg", 300}, {"c.jpg", 10}, {"d.jpg", 50}, {"e.jpg", 200}};
    std::vector<BatchPhoto> photos;
    for (const auto& [name, size] : files) {
        t.Write(name, std::string(size, 'x'));
        photos.push_back({name, t.Dir() + name});
    }
    photos.push_back({"gone.jpg", t.Dir() + "gone.jpg"});  // counts as empty
    // One person per sheet: unit i is photo i.
    EXPECT_EQ(LargestUnitsFirst(photos, GroupPhotos(6, 1)), (std::vector<int>{1, 4, 3, 0, 2, 5}));
    // Shared sheets weigh all their photos: {a, b} 310, {c, d} 60, {e, gone} 200.
    EXPECT_EQ(LargestUnitsFirst(photos, GroupPhotos(6, 2)), (std::vector<int>{0, 2, 1}));
}

TEST(PhotoList, MissingInputIsAnErrorNamingIt) {
    TempFolder t;
    const PhotoListResult r = BuildPhotoList({t.Dir() + "missing.jpg"});
    EXPECT_NE(r.error.find("missing.jpg"), std::string::npos);
    EXPECT_TRUE(r.photos.empty());
}

TEST(PhotoList, RelativeInputsBecomeAbsoluteButKeepTheirGivenForm) {
    TempFolder t;
    t.Write("p.jpg", "x");
    // Saving in other tests may have left the current folder in a folder since removed.
    std::error_code ec;
    std::filesystem::path previous = std::filesystem::current_path(ec);
    if (ec) previous = std::filesystem::temp_directory_path();
    std::filesystem::current_path(t.Path());
    const PhotoListResult r = BuildPhotoList({"p.jpg"});
    std::filesystem::current_path(previous, ec);
    ASSERT_EQ(r.photos.size(), 1u);
    EXPECT_EQ(r.photos[0].given, "p.jpg");
    EXPECT_EQ(r.photos[0].path, (t.Path() / "p.jpg").lexically_normal().string());
}

struct ShardCase {
    int photos, index, count;
    std::vector<int> taken;
};

class Shards : public ::testing::TestWithParam<ShardCase> {};

TEST_P(Shards, EveryNthFromK) {
    const ShardCase& c = GetParam();
    std::vector<BatchPhoto> photos;
    for (int i = 0; i < c.photos; ++i) photos.push_back({std::to_string(i), std::to_string(i)});
    std::vector<int> taken;
    for (const auto& p : TakeShard(photos, {c.index, c.count})) taken.push_back(std::stoi(p.given));
    EXPECT_EQ(taken, c.taken);
}

INSTANTIATE_TEST_SUITE_P(Table, Shards,
                         ::testing::Values(ShardCase{7, 0, 3, {0, 3, 6}},
                                           ShardCase{7, 2, 3, {2, 5}}, ShardCase{2, 2, 3, {}},
                                           ShardCase{3, 0, 1, {0, 1, 2}}));

TEST(Shards, TogetherTheyCoverTheListOnce) {
    std::vector<BatchPhoto> photos;
    for (int i = 0; i < 23; ++i) photos.push_back({std::to_string(i), std::to_string(i)});
    std::vector<int> seen(23, 0);
    for (int k = 0; k < 5; ++k)
        for (const auto& p : TakeShard(photos, {k, 5})) ++seen[std::stoul(p.given)];
    EXPECT_EQ(seen, std::vector<int>(23, 1));
}

TEST(SheetGroups, PersonsPerSheetRoundsUp) {
    EXPECT_EQ(PersonsPerSheet(4, 4), 1);
    EXPECT_EQ(PersonsPerSheet(4, 2), 2);
    EXPECT_EQ(PersonsPerSheet(4, 3), 2);  // the second person fills only place 3
    EXPECT_EQ(PersonsPerSheet(9, 1), 9);
    EXPECT_EQ(PersonsPerSheet(4, 0), 1);
    EXPECT_EQ(PersonsPerSheet(2, 5), 1);
}

TEST(SheetGroups, ConsecutivePhotosShareASheetTheLastMayBeShort) {
    EXPECT_EQ(GroupPhotos(5, 2), (std::vector<std::vector<int>>{{0, 1}, {2, 3}, {4}}));
    EXPECT_EQ(GroupPhotos(3, 1), (std::vector<std::vector<int>>{{0}, {1}, {2}}));
    EXPECT_TRUE(GroupPhotos(0, 2).empty());
}

TEST(OutputClash, SameNameIntoOneFolderIsRefusedBesideThePhotosIsNot) {
    const std::vector<BatchPhoto> photos = {{"x/a.jpg", "/x/a.jpg"}, {"y/a.jpg", "/y/a.jpg"}};
    EXPECT_EQ(FindOutputClash(photos, ""), "");
    const std::string clash = FindOutputClash(photos, "/out/");
    EXPECT_NE(clash.find("x/a.jpg"), std::string::npos);
    EXPECT_NE(clash.find("y/a.jpg"), std::string::npos);
    EXPECT_EQ(FindOutputClash({{"a", "/x/a.jpg"}, {"b", "/y/b.jpg"}}, "/out/"), "");
}

}  // namespace
