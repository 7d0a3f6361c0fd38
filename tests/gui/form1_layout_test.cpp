// Choosing layouts: the list of the program folder and the file dialog.
#include <QComboBox>
#include <QPushButton>

#include "gui/form_fixture.h"

namespace {
class LayoutListTest : public FormTest {
  protected:
    void PrepareProgramFolder(const TempFolder& dir) override {
        dir.Write("b.ini", LayoutText(1051, 1500, 2));
        dir.Write("A.ini", LayoutText(1200, 1800, 1, 413, 531));
        dir.Write("Kambrix.ini", LayoutText(1, 1, 1));
        dir.Write("old_Kambrix.ini", LayoutText(1, 1, 1));
        dir.Write("zero.ini", "[Paper]\r\nphoto_ct=2\r\n");
        dir.Write("notes.txt", "not a layout");
        dir.Write("Frame/only_in_frame.ini", LayoutText(600, 900, 1));
    }
    void Choose(const QString& name) {
        form1->ComboBox2->setCurrentIndex(form1->ComboBox2->findText(name));
        form1->ComboBox2Click();
    }
};
}  // namespace

TEST_F(LayoutListTest, ListsProgramFolderLayoutsSortedWithoutReservedNames) {
    QStringList items;
    for (int i = 0; i < form1->ComboBox2->count(); ++i) items << form1->ComboBox2->itemText(i);
    EXPECT_EQ(items, (QStringList{"", "A", "b", "zero"}));
    EXPECT_EQ(form1->ComboBox2->currentIndex(), -1);
}

TEST_F(LayoutListTest, ChoosingALayoutLoadsItAndSaysSo) {
    Choose("A");
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_EQ(host.dialogs.shown[0].text, app.Dir() + "A.iniを正常に読込みました。");
    EXPECT_EQ(host.dialogs.shown[0].caption, "レイアウトファイル");
    EXPECT_EQ(form1->FPaper.width, 1200);
    EXPECT_EQ(form1->FFrameBaseW, 413);
    EXPECT_EQ(form1->FFrameMaxH, 5 * 531);
}

TEST_F(LayoutListTest, AZeroSizeLayoutIsReportedButKept) {
    Choose("zero");
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_EQ(host.dialogs.shown[0].text, app.Dir() + "zero.iniが正常に読込めませんでした。");
    EXPECT_EQ(form1->FPaper.photo_ct, 2);
    EXPECT_EQ(form1->FPaper.width, 0);
    EXPECT_EQ(form1->FFrameBaseW, 0);
}

TEST_F(LayoutListTest, EmptyItemAndRemovedFilesDoNothing) {
    Choose("");
    std::filesystem::remove(app.Path() / "b.ini");
    Choose("b");
    EXPECT_TRUE(host.dialogs.shown.empty());
    EXPECT_EQ(form1->FPaper.width, 1051);
}

TEST_F(LayoutListTest, DialogAsksAgainUntilAFileEndingInLowerCaseIniOrCancel) {
    const std::string frameFile = app.Dir() + "Frame/only_in_frame.ini";
    host.dialogs.fileAnswers = {
        {app.Dir() + "Frame/X.INI"}, {frameFile, app.Dir() + "A.ini"}, {frameFile}};
    EXPECT_EQ(form1->ChooseLayoutFile(), frameFile);
    ASSERT_EQ(host.dialogs.requests.size(), 3u);
    EXPECT_EQ(host.dialogs.requests[0].title, "レイアウト設定ファイルの読み込み");
    EXPECT_EQ(host.dialogs.requests[0].initialFolder, app.Dir() + "Frame/");
    EXPECT_EQ(host.dialogs.requests[0].filter, "レイアウト設定ファイル (*.ini)|*.ini");
    host.dialogs.fileAnswers = {{}};
    EXPECT_EQ(form1->ChooseLayoutFile(), "");
}

TEST_F(LayoutListTest, SettingsButtonLoadsThroughTheDialogSilently) {
    host.dialogs.fileAnswers = {{app.Dir() + "Frame/only_in_frame.ini"}};
    form2->BitBtn1->click();
    EXPECT_EQ(form1->FPaper.width, 600);
    EXPECT_TRUE(host.dialogs.shown.empty());
    EXPECT_EQ(form1->ComboBox2->count(), 4);  // the list is not refreshed
}

namespace {
class JapaneseLayoutNamesTest : public FormTest {
  protected:
    void PrepareProgramFolder(const TempFolder& dir) override {
        for (const char* name :
             {"きもの.ini", "カメラ.ini", "b.ini", "パスポート.ini", "A.ini", "あ.ini", "C.ini"})
            dir.Write(name, LayoutText(1051, 1500, 1));
    }
};
}  // namespace

// Kana by their reading whatever the script (the byte order puts every
// hiragana before every katakana), Latin letters without regard to case.
TEST_F(JapaneseLayoutNamesTest, ListIsInJapaneseOrder) {
    QStringList items;
    for (int i = 0; i < form1->ComboBox2->count(); ++i) items << form1->ComboBox2->itemText(i);
    EXPECT_EQ(items, (QStringList{"", "A", "b", "C", "あ", "カメラ", "きもの", "パスポート"}));
    // Each item still loads its own file.
    form1->ComboBox2->setCurrentIndex(items.indexOf("カメラ"));
    form1->ComboBox2Click();
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_EQ(host.dialogs.shown[0].text, app.Dir() + "カメラ.iniを正常に読込みました。");
}

namespace {
class AbsurdLayoutTest : public LayoutListTest {
  protected:
    void PrepareProgramFolder(const TempFolder& dir) override {
        std::filesystem::copy_file(TestDataPath("layout_place_larger_than_paper.ini"),
                                   dir.Path() / "huge.ini");
    }
};
}  // namespace

TEST_F(AbsurdLayoutTest, PlaceLargerThanThePaperIsRefusedAndTheLayoutKept) {
    const int baseW = form1->FFrameBaseW, baseH = form1->FFrameBaseH;
    Choose("huge");
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_EQ(host.dialogs.shown[0].text, app.Dir() + "huge.iniが正常に読込めませんでした。");
    EXPECT_EQ(form1->FFrameBaseW, baseW);
    EXPECT_EQ(form1->FFrameBaseH, baseH);
    EXPECT_EQ(form1->FPaper.photo_ct, 4);
}
