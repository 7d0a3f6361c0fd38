#include <gtest/gtest.h>

#include <filesystem>

#include "layout/layout.h"
#include "support/temp_folder.h"

TEST(LayoutCatalogue, SkipsTheReservedNameAndSortsWithoutCase) {
    TempFolder t;
    for (const char* n : {"b.ini", "Kambrix.ini", "old_Kambrix.ini", "Kambrix.ini.bak", "A.ini",
                          "kambrix.ini", "C.INI", "notes.txt", "x.ini.bak", "写真.ini"})
        t.Write(n, "[Paper]\n");
    std::filesystem::create_directory(t.Path() / "folder.ini");
    std::vector<std::string> paths = {"kept"};
    EXPECT_EQ(ListLayoutFiles(t.Dir(), paths), 5);
    // The reserved-name test is case-sensitive; "*.ini" matches as on Windows, without case.
    const std::vector<std::string> expected = {"kept",
                                               t.Dir() + "A.ini",
                                               t.Dir() + "b.ini",
                                               t.Dir() + "C.INI",
                                               t.Dir() + "kambrix.ini",
                                               t.Dir() + "写真.ini"};
    EXPECT_EQ(paths, expected);
}

TEST(LayoutCatalogue, FolderWithoutSeparatorOrWithoutFiles) {
    TempFolder t;
    std::vector<std::string> paths;
    EXPECT_EQ(ListLayoutFiles(t.Dir(), paths), 0);
    t.Write("a.ini", "");
    EXPECT_EQ(ListLayoutFiles(t.Path().string(), paths), 1);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0], t.Dir() + "a.ini");
    EXPECT_EQ(ListLayoutFiles(t.Dir() + "missing/", paths), 0);
    EXPECT_EQ(ListLayoutFiles("", paths), 0);
}

TEST(LayoutCatalogue, DisplayNameDropsFolderAndExtension) {
    EXPECT_EQ(LayoutDisplayName("/app/A.ini"), "A");
    EXPECT_EQ(LayoutDisplayName("/app/v1.2.ini"), "v1.2");
    EXPECT_EQ(LayoutDisplayName("/app.d/name"), "name");
    EXPECT_EQ(LayoutDisplayName("/app/.ini"), "");
    EXPECT_EQ(LayoutDisplayName("/app/35x45mm_L判.ini"), "35x45mm_L判");
}

TEST(LayoutCatalogue, DialogAcceptsOnlyLowerCaseIni) {
    EXPECT_TRUE(IsLayoutFileName("/app/Frame/a.ini"));
    EXPECT_TRUE(IsLayoutFileName("a.ini"));
    EXPECT_FALSE(IsLayoutFileName("/app/a.INI"));
    EXPECT_FALSE(IsLayoutFileName("/app/a.Ini"));
    EXPECT_FALSE(IsLayoutFileName("/app/a.ini.bak"));
    EXPECT_FALSE(IsLayoutFileName("/app/d.ini/a"));
    EXPECT_FALSE(IsLayoutFileName("/app/aini"));
    EXPECT_FALSE(IsLayoutFileName(""));
}
