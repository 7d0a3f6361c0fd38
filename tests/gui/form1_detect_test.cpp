// Automatic framing through the main window with a fake face library: the
// frame placed from the face, the texts and log lines of the failures, the
// rotate-and-retry, and picking the background colour.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "app/timage.h"
#include "app/tresizecontrol.h"
#include "detect/recognition_log.h"
#include "gui/form_fixture.h"
#include "platform/cp932.h"
#include "platform/jpeg.h"
#include "platform/paths.h"
#include "support/fake_face_library.h"

namespace {

class DetectTest : public FormTest {
  protected:
    void PrepareProgramFolder(const TempFolder& folder) override {
        folder.Write("haarcascade_frontalface_default.xml", "cascade");
    }
    void SetUp() override {
        FormTest::SetUp();
        SetRecognitionOnLoad(false);
        ShowMain();
        form1->FFaceLibraryFactory = [this] {
            ++passes;
            auto fake = std::make_unique<FakeFaceLibrary>();
            fake->loadCode = loadCode;
            fake->first = first;
            fake->second = second;
            return fake;
        };
        photo = (photos.Path() / "portrait.jpg").string();
        ASSERT_EQ(EncodeJpegFile(photo, Bitmap(1000, 1000, Rgb{90, 100, 110}), 90), 0);
        host.dialogs.fileAnswers = {{photo}};
        form1->BitBtn2Click();
        ASSERT_EQ(form1->FFileName, photo);
        form2->CheckBox6->setChecked(false);  // no face images unless a test asks
    }
    std::string Log() const {
        std::string bytes;
        ReadFileBytes(photos.Dir() + kRecognitionLogName, bytes);
        return Cp932ToUtf8(bytes);
    }
    // Step 16's conversion of a square length: one more than the plain scale.
    int View(int v) const { return v * form1->FDispNum / form1->FDispDen + 1; }

    TempFolder photos;
    std::string photo;
    int loadCode = 0;
    FakeAnswer first, second;
    int passes = 0;
};

TEST_F(DetectTest, FaceButtonPlacesTheFrameAroundTheFace) {
    first = {0, {{400, 300, 600, 500}}};
    form2->CheckBox7->setChecked(false);
    form1->BitBtn9->click();
    ASSERT_EQ(form1->FLastFraming.code, 0);
    const FramingResult& r = form1->FLastFraming;
    const int vh = std::max(View(r.frameH), View(form1->FFrameBaseH));
    const int vw = std::max(form1->FFrameW * vh / form1->FFrameH, View(form1->FFrameBaseW));
    const int cy = View(r.photoBox.top + r.frameH / 2);
    const int cx = View(r.photoBox.left + (r.photoBox.right - r.photoBox.left) / 2);
    EXPECT_EQ(form1->Image3->geometry(), QRect(cx - vw / 2, cy - vh / 2, vw, vh));
    EXPECT_TRUE(form1->Image3->isVisible());
    EXPECT_EQ(form1->FResize->Control(), form1->Image3);
    EXPECT_EQ(form1->StatusText(2), "自動認識完了");
    EXPECT_FALSE(form1->FBusy);
    EXPECT_TRUE(form1->BitBtn9->isEnabled());
    EXPECT_TRUE(host.dialogs.shown.empty());
    // The overlay: see-through blue inside, red border, the face in yellow.
    const Bitmap& overlay = form1->Image3->Picture();
    EXPECT_EQ(overlay.Pixel(0, overlay.Height() - 1), kPureBlue);
    EXPECT_EQ(overlay.Pixel(1, 0), kPureRed);
    const ViewPoint face = SquareToControl(400, 300, form1->FDispNum, form1->FDispDen, 0, 0,
                                           form1->Image1->width(), form1->Image1->height());
    const QRect g = form1->Image3->geometry();
    EXPECT_EQ(overlay.Pixel(face.x - g.x(), face.y - g.y()), (Rgb{255, 255, 0}));
}

TEST_F(DetectTest, FrameTallerThanTheViewShrinksToIt) {
    first = {0, {{350, 400, 650, 899}}};   // a photo box taller than the picture, low down
    form2->CheckBox11->setChecked(false);  // no size check
    form2->CheckBox12->setChecked(false);
    form1->BitBtn9->click();
    ASSERT_EQ(form1->FLastFraming.code, 0);
    const QRect g = form1->Image3->geometry();
    EXPECT_EQ(g.top(), 0);
    EXPECT_EQ(g.height(), form1->Image1->height());
    EXPECT_EQ(g.width(), form1->FFrameW * g.height() / form1->FFrameH);
}

struct FailureCase {
    const char* name;
    int loadCode;
    FakeAnswer first;
    bool unattended;
    std::string message;
    std::string logMarker;
};
class DetectFailure : public DetectTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DetectFailure, SaysSoAndKeepsTheFrame) {
    const FailureCase& c = GetParam();
    loadCode = c.loadCode;
    first = c.first;
    if (c.unattended) {
        form1->FBatchMode = true;
        form1->CheckBox3->setChecked(true);
        form2->CheckBox9->setChecked(true);
    }
    const QRect before = form1->Image3->geometry();
    const std::string status = form1->StatusText(2);
    form1->BitBtn9->click();
    EXPECT_EQ(form1->Image3->geometry(), before);
    EXPECT_TRUE(form1->Image3->isVisible());
    EXPECT_EQ(form1->FResize->Control(), form1->Image3);
    EXPECT_FALSE(form1->FBusy);
    if (c.message.empty()) {
        EXPECT_TRUE(host.dialogs.shown.empty());
    } else {
        ASSERT_EQ(host.dialogs.shown.size(), 1u);
        EXPECT_EQ(host.dialogs.shown[0].text, c.message);
        EXPECT_EQ(host.dialogs.shown[0].caption, form1->FTitle);
    }
    if (c.logMarker.empty()) {
        EXPECT_EQ(Log(), "");
        EXPECT_EQ(form1->StatusText(2), "自動認識中...");
    } else {
        const std::string log = Log();
        EXPECT_NE(log.find(c.logMarker + photo + "\r\n"), std::string::npos) << log;
        EXPECT_EQ(form1->StatusText(2), "自動認識失敗");
    }
}

const FakeAnswer kNone{0, {}};
const FakeAnswer kHuge{0, {{260, 20, 740, 500}}};
INSTANTIATE_TEST_SUITE_P(
    Table, DetectFailure,
    ::testing::Values(
        FailureCase{"no_face", 0, kNone, false, "自動顔認識処理では認識出来ませんでした。",
                    "  自動顔認識エラー(非検出):  "},
        FailureCase{"no_face_unattended", 0, kNone, true, "", "  自動顔認識エラー(非検出):  "},
        FailureCase{"too_large", 0, kHuge, false,
                    "自動顔認識処理では認識出来ませんでした。（サイズ過大による誤検出判定）",
                    "  自動顔認識エラー(誤検出):  "},
        FailureCase{"library_failure",
                    0,
                    {-5, {}},
                    false,
                    "自動認識処理が失敗しました。(-5)",
                    "  自動顔認識エラー（内部エラー）:  "},
        FailureCase{"no_library", -3, kNone, true, "DLLの読み込みに失敗しました。(1)", ""},
        FailureCase{"no_export", -6, kNone, false, "関数のアドレスの取得に失敗しました。3", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DetectTest, MissingCascadeSwitchesRecognitionOnLoadOffAndOpensTheReadMe) {
    std::filesystem::remove(app.Path() / "haarcascade_frontalface_default.xml");
    SetRecognitionOnLoad(true);
    form1->BitBtn9->click();
    EXPECT_EQ(passes, 1);  // the library object is made but never loaded
    EXPECT_EQ(host.dialogs.Texts(),
              std::vector<std::string>{"顔認識用のXMLデータが見つかりません。"});
    EXPECT_FALSE(form2->CheckBox4->isChecked());
    EXPECT_EQ(host.shell.opened, std::vector<std::string>{app.Dir() + "お読み下さい.txt"});
}

TEST_F(DetectTest, RetryTurnsToNinetyThenMinusNinety) {
    form2->CheckBox15->setChecked(true);
    form1->FBatchMode = true;
    form1->CheckBox3->setChecked(true);
    form2->CheckBox9->setChecked(true);
    std::vector<std::string> angles;
    form1->FFaceLibraryFactory = [&] {
        angles.push_back(form1->Edit4->text().toStdString());
        return std::make_unique<FakeFaceLibrary>();
    };
    form1->BitBtn9->click();
    EXPECT_EQ(angles, (std::vector<std::string>{"0", "90", "-90"}));
    EXPECT_EQ(form1->FRotation, -900);
}

TEST_F(DetectTest, NoRetryWithoutTheOptionOrAfterSuccess) {
    form1->BitBtn9->click();  // fails, option off
    EXPECT_EQ(passes, 1);
    form2->CheckBox15->setChecked(true);
    first = {0, {{400, 300, 600, 500}}};
    form1->BitBtn9->click();
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(form1->FRotation, 0);
}

TEST_F(DetectTest, BusyWindowDoesNothing) {
    form1->FBusy = true;
    EXPECT_EQ(form1->AutoFrame(), 0);
    EXPECT_EQ(passes, 0);
    form1->FBusy = false;
}

TEST_F(DetectTest, PhotoThatFailsToLoadIsNotFramed) {
    const std::string broken = photos.Write("broken.jpg", "not a picture");
    SetRecognitionOnLoad(true);
    passes = 0;
    host.dialogs.fileAnswers = {{broken}};
    form1->BitBtn2Click();
    EXPECT_EQ(passes, 0);
    for (const std::string& text : host.dialogs.Texts())
        EXPECT_EQ(text.find("一時保存"), std::string::npos) << text;
}

TEST_F(DetectTest, RecognisedFaceIsSavedBesideThePhoto) {
    first = {0, {{400, 300, 600, 500}}};
    form2->CheckBox6->setChecked(true);
    form1->BitBtn9->click();
    ASSERT_EQ(form1->FLastFraming.code, 0);
    const std::string folder = photos.Dir() + "認識画像/";
    EXPECT_TRUE(FileExists(folder + "portrait.jpg"));
    std::string list;
    ASSERT_TRUE(ReadFileBytes(folder + "positive.txt", list));
    EXPECT_EQ(list, "positive/portrait.jpg 1 0 0 200 200\r\n");
}

TEST_F(DetectTest, PickingTheBackgroundColourHoldsTheWindowUntilAClick) {
    form1->CheckBox5->setChecked(true);
    EXPECT_TRUE(form1->FBusy);
    EXPECT_TRUE(form1->FPickingBackColour);
    EXPECT_EQ(form1->StatusText(2), "画面をクリックしてください");
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_EQ(host.dialogs.shown[0].text,
              "画像上（赤枠以外）で背景色を指定する位置でクリックしてください");
    const Rgb under = form1->Image1->Picture().Pixel(20, 20);
    form1->Image1MouseDown(Qt::LeftButton, Qt::NoModifier, 20, 20);
    EXPECT_FALSE(form1->FBusy);
    EXPECT_FALSE(form1->FPickingBackColour);
    EXPECT_TRUE(form1->CheckBox5->isChecked());
    EXPECT_EQ(form1->Image4->Picture().Pixel(24, 24), under);
    const AutoFrameOptions o = form1->AutoFrameOptionsFromControls();
    EXPECT_TRUE(o.headTop.usePickedColour);
    EXPECT_EQ(o.headTop.pickedColour, under);
}

TEST_F(DetectTest, HeadTopFromTheOutlineOnlyWhenItsBoxIsTicked) {
    EXPECT_FALSE(form2->CheckBox18->isChecked());
    EXPECT_EQ(form2->CheckBox18->text().toStdString(), "頭頂位置を輪郭から検出する");
    EXPECT_EQ(form1->AutoFrameOptionsFromControls().headTopMethod, HeadTopMethod::kBackground);
    form2->CheckBox18->setChecked(true);
    EXPECT_EQ(form1->AutoFrameOptionsFromControls().headTopMethod, HeadTopMethod::kContour);
}

TEST_F(DetectTest, UntickingTheColourBoxAlwaysClearsBusy) {
    form1->CheckBox5->setChecked(true);
    form1->FPickingBackColour = false;
    form1->CheckBox5->setChecked(false);
    EXPECT_FALSE(form1->FBusy);
}

}  // namespace
