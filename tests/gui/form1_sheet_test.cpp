// The sheet button for one photo: crop, compose, save, preview, status and
// messages, the slot cycle and the controls around the step.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "app/timage.h"
#include "gui/form_fixture.h"
#include "platform/jpeg.h"
#include "platform/paths.h"

namespace {

class SheetTest : public FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        SetRecognitionOnLoad(false);
        ShowMain();
    }
    // A 2000 x 2600 photo, opened with its minimum frame in the middle.
    std::string OpenPhoto(const std::string& name = "IMG1.JPG") {
        const std::string path = photos.Dir() + name;
        Bitmap b(2000, 2600);
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x)
                b.SetPixel(x, y, {std::uint8_t(60 + x / 20), std::uint8_t(90 + y / 30), 140});
        EXPECT_EQ(EncodeJpegFile(path, b, 92), 0);
        host.dialogs.fileAnswers = {{path}};
        form1->BitBtn2->click();
        EXPECT_EQ(form1->FFileName, path);
        return path;
    }
    // Enlarges the frame so that the trimmed photo exceeds the places.
    void WidenFrame() {
        const int d = form1->FDispNum, m = form1->FDispDen;
        form1->Image3->setGeometry(10, 10, 400 * d / m * 2, 525 * d / m * 2);
    }
    bool Exists(const std::string& path) const { return FileExists(path); }

    TempFolder photos;
};

TEST_F(SheetTest, OnePhotoBecomesASavedSheetWithItsPreview) {
    const std::string photo = OpenPhoto();
    WidenFrame();
    form1->BitBtn3->click();
    const std::string sheet = photos.Dir() + "写真シート/IMG1.JPG";
    ASSERT_TRUE(Exists(sheet));
    EXPECT_TRUE(Exists(photos.Dir() + "トリミング画像/IMG1.JPG"));
    EXPECT_EQ(form1->StatusText(0), "保存しました。:" + sheet);
    ASSERT_EQ(host.dialogs.Texts(), std::vector<std::string>{"保存しました。"});
    EXPECT_EQ(host.dialogs.shown[0].caption, form1->FTitle);
    Bitmap written;
    ASSERT_EQ(DecodeJpegFile(sheet, written), 0);
    EXPECT_EQ(written.Width(), 1051);
    EXPECT_EQ(written.Height(), 1500);
    // The preview: 712 high, 1051 x 712 / 1500 wide, shown without modality.
    EXPECT_TRUE(form3->isVisible());
    EXPECT_FALSE(form3->isModal());
    EXPECT_EQ(form3->Image1->width(), 498);
    EXPECT_EQ(form3->Image1->height(), 712);
    EXPECT_EQ(form1->FSheetSlot, 0);
    EXPECT_FALSE(form1->FBusy);
    EXPECT_TRUE(form1->BitBtn3->isEnabled());
    EXPECT_TRUE(form1->BitBtn4->isEnabled());
    EXPECT_EQ(
        form1->FTrimBmp.Width(),
        ViewToWorking(form1->Image3->width(), form1->FSourceBmp.Width(), form1->Image1->width()));
}

TEST_F(SheetTest, TwoPersonsShareASheet) {
    TLayout l = DefaultLayout();
    l.paper.photo_ct_per_person = 2;
    form1->SetLayout(l);
    OpenPhoto();
    WidenFrame();
    form1->BitBtn3->click();
    EXPECT_EQ(form1->FSheetSlot, 2);
    EXPECT_TRUE(host.dialogs.shown.empty());  // not full: nothing saved, nothing said
    EXPECT_FALSE(Exists(photos.Dir() + "写真シート/Index_0000.jpg"));
    EXPECT_TRUE(form3->isVisible());
    EXPECT_EQ(form1->FSheetBmp.Pixel(700, 900), kWhite);  // the next person's place
    form1->BitBtn3->click();
    EXPECT_EQ(form1->FSheetSlot, 0);
    EXPECT_TRUE(Exists(photos.Dir() + "写真シート/Index_0000.jpg"));
    EXPECT_EQ(host.dialogs.Texts(), std::vector<std::string>{"保存しました。"});
}

TEST_F(SheetTest, SmallFrameAsksAndYesStopsWithoutSaving) {
    OpenPhoto();
    form1->Image3->setGeometry(10, 10, 40, 52);
    host.dialogs.answers = {true};
    form1->BitBtn3->click();
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_TRUE(host.dialogs.shown[0].question);
    EXPECT_FALSE(Exists(photos.Dir() + "写真シート/IMG1.JPG"));
    EXPECT_EQ(form1->FSheetSlot, 0);
    EXPECT_FALSE(form1->FBusy);
    EXPECT_TRUE(form1->BitBtn3->isEnabled());
}

TEST_F(SheetTest, RotationIsResetUnlessKept) {
    OpenPhoto();
    WidenFrame();
    form1->FRotation = 35;
    form1->Edit4->setText("3.5");
    form1->CheckBox4->setChecked(true);
    form1->BitBtn3->click();
    EXPECT_EQ(form1->FRotation, 35);
    EXPECT_EQ(form1->Edit4->text(), "3.5");
    form1->CheckBox4->setChecked(false);
    form1->BitBtn3->click();
    EXPECT_EQ(form1->FRotation, 0);
    EXPECT_EQ(form1->Edit4->text(), "0");
}

TEST_F(SheetTest, SaveFolderAndOptionsFromTheControls) {
    TempFolder out;
    OpenPhoto();
    WidenFrame();
    form1->Edit3->setText(QString::fromStdString(out.Dir()));
    form2->CheckBox10->setChecked(false);  // no trimmed photo
    form1->CheckBox2->setChecked(true);    // open the folder afterwards
    form1->BitBtn3->click();
    EXPECT_TRUE(Exists(out.Dir() + "IMG1.JPG"));
    EXPECT_FALSE(Exists(out.Dir() + "トリミング画像/IMG1.JPG"));
    EXPECT_EQ(host.shell.opened, std::vector<std::string>{out.Dir()});
}

TEST_F(SheetTest, BusyWindowIgnoresTheButton) {
    OpenPhoto();
    form1->FBusy = true;
    form1->BitBtn3Click();
    EXPECT_FALSE(Exists(photos.Dir() + "写真シート/IMG1.JPG"));
    EXPECT_FALSE(form3->isVisible());
    form1->FBusy = false;
}

TEST_F(SheetTest, BackgroundPictureWithAnotherExtensionIsRefused) {
    app.Write("back.png", "x");
    TLayout l = DefaultLayout();
    l.paper.bg_img_name = "back.png";
    form1->SetLayout(l);
    OpenPhoto();
    WidenFrame();
    form1->BitBtn3->click();
    ASSERT_GE(host.dialogs.shown.size(), 1u);
    EXPECT_EQ(host.dialogs.shown[0].text, "背景画像には.jpgまたは.bmpファイルを指定してください。");
    EXPECT_TRUE(Exists(photos.Dir() + "写真シート/IMG1.JPG"));
}

}  // namespace
