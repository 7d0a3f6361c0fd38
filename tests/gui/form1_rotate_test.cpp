// Turning the photo from the window: the rotation buttons, the head line tool
// and photos shown upright by their EXIF orientation.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <fstream>

#include "app/timage.h"
#include "app/tresizecontrol.h"
#include "frame/head_line.h"
#include "gui/form_fixture.h"
#include "imaging/rotate.h"
#include "platform/text_format.h"
#include "support/bitmap_compare.h"
#include "support/exif_jpeg.h"

namespace {

class RotateTest : public FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        SetRecognitionOnLoad(false);
        ShowMain();
    }
    // A landscape photo opened as the user does, through the photo dialog.
    void Open(int w = 300, int h = 200, const std::vector<std::uint8_t>& segment = {}) {
        const std::string path = photos.Dir() + "photo" + std::to_string(++count) + ".jpg";
        const auto bytes = JpegWithSegment(CornerPicture(w, h), segment);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        host.dialogs.fileAnswers = {{path}};
        form1->BitBtn2->click();
        ASSERT_EQ(form1->FFileName, path);
        host.dialogs.shown.clear();  // small photos warn about their resolution
    }
    // The square the crop uses at `angle`: the unrotated photo turned once.
    Bitmap SquareAt(int angle) const {
        const int side = std::max(form1->FTempBmp2.Width(), form1->FTempBmp2.Height());
        Bitmap square(side, side);
        EXPECT_EQ(RotateBitmap(form1->FTempBmp2, square, angle), 0);
        return square;
    }
    std::string Angle() const { return form1->Edit4->text().toStdString(); }

    TempFolder photos;
    int count = 0;
};

// ---- The buttons ----

struct PressCase {
    const char* what;
    QPushButton* TForm1::*button;
    std::vector<int> angles;  // FRotation after each press
    std::vector<std::string> shown;
};

void PrintTo(const PressCase& c, std::ostream* os) {
    *os << c.what;
}

class RotateButtons : public RotateTest, public testing::WithParamInterface<PressCase> {};

TEST_P(RotateButtons, AngleBoxSquareAndStatusAfterEachPress) {
    const PressCase& c = GetParam();
    Open();
    for (std::size_t i = 0; i < c.angles.size(); ++i) {
        (form1.get()->*c.button)->click();
        EXPECT_EQ(form1->FRotation, c.angles[i]) << i;
        EXPECT_EQ(Angle(), c.shown[i]) << i;
        EXPECT_EQ(form1->Edit4->cursorPosition(), 0) << "the angle's start is in sight " << i;
        const int normalised = ((c.angles[i] % 3600) + 3600) % 3600;
        EXPECT_EQ(FirstDifference(SquareAt(normalised), form1->FSourceBmp), "") << i;
        EXPECT_EQ(form1->StatusText(2), FormatText("回転角 %f", normalised * 0.1)) << i;
    }
    EXPECT_FALSE(form1->FBusy);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the hourglass is gone
    EXPECT_TRUE(host.dialogs.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, RotateButtons,
                         testing::Values(PressCase{"right 90 four times",
                                                   &TForm1::BitBtn5,
                                                   {900, 1800, 2700, 0},
                                                   {"90", "180", "270", "0"}},
                                         PressCase{"left 90 four times",
                                                   &TForm1::BitBtn4,
                                                   {-900, -1800, -2700, 0},
                                                   {"-90", "-180", "-270", "0"}},
                                         PressCase{"left 0.1",
                                                   &TForm1::BitBtn6,
                                                   {-1, -2},
                                                   {"-0.100000001490116", "-0.200000002980232"}},
                                         PressCase{"right 0.1",
                                                   &TForm1::BitBtn7,
                                                   {1, 2},
                                                   {"0.100000001490116", "0.200000002980232"}},
                                         PressCase{"reset", &TForm1::BitBtn8, {0}, {"0"}}));

// A 3000 x 2000 photo at 900 stands upright in the middle 2000 columns of the
// square, the right margin black; four presses give back the photo weighted once.
TEST_F(RotateTest, QuarterTurnsOfALandscapePhoto) {
    Open(3000, 2000);
    const Bitmap opened = form1->FSourceBmp;
    form1->BitBtn5->click();
    EXPECT_EQ(form1->FSourceBmp.Width(), 3000);
    EXPECT_EQ(form1->FSourceBmp.Pixel(2999, 0), kBlack);
    EXPECT_EQ(form1->FSourceBmp.Pixel(100, 1500), kBlack);
    EXPECT_NE(form1->FSourceBmp.Pixel(1500, 1500), kBlack);
    for (int i = 0; i < 3; ++i) form1->BitBtn5->click();
    EXPECT_EQ(form1->FRotation, 0);
    EXPECT_EQ(FirstDifference(SquareAt(0), form1->FSourceBmp), "");
    EXPECT_NE(form1->FSourceBmp, opened);  // softened by the 3 x 3 weights
    // the window kept its events flowing during the work
    EXPECT_GT(host.pump.pumps, 10);
}

TEST_F(RotateTest, FrameKeepsItsPlaceAndGripsComeBack) {
    Open();
    form1->Image3->move(form1->Image3->x() + 9, form1->Image3->y() + 5);
    const QRect frame = form1->Image3->geometry();
    form1->BitBtn7->click();
    EXPECT_EQ(form1->Image3->geometry(), frame);
    EXPECT_TRUE(form1->Image3->isVisible());
    EXPECT_EQ(form1->FResize->Control(), form1->Image3);
}

TEST_F(RotateTest, OnlyTheViewIsSharpened) {
    Open();
    form1->CheckBox1->setChecked(false);
    form1->BitBtn7->click();
    const Bitmap plainView = form1->Image1->Picture();
    const Bitmap plainSquare = form1->FSourceBmp;
    form1->BitBtn8->click();
    form1->CheckBox1->setChecked(true);
    form1->BitBtn7->click();
    EXPECT_EQ(form1->FSourceBmp, plainSquare);
    EXPECT_NE(form1->Image1->Picture(), plainView);
}

TEST_F(RotateTest, ButtonsDoNothingWhileBusy) {
    Open();
    form1->FBusy = true;
    const Bitmap square = form1->FSourceBmp;
    form1->BitBtn5->click();
    form1->BitBtn8->click();
    EXPECT_EQ(form1->FRotation, 0);
    EXPECT_EQ(form1->FSourceBmp, square);
    EXPECT_EQ(Angle(), "0");
}

// A batch that keeps the rotation turns each newly opened photo.
TEST_F(RotateTest, OpeningAnotherPhotoKeepsAKeptRotation) {
    Open();
    form1->FRotation = 900;
    const std::string path = photos.Dir() + "kept.jpg";
    ASSERT_EQ(EncodeJpegFile(path, CornerPicture(200, 300), 90), 0);
    ASSERT_EQ(form1->OpenPhoto(path, false), 0);
    EXPECT_EQ(FirstDifference(SquareAt(900), form1->FSourceBmp), "");
    EXPECT_EQ(form1->StatusText(1), path);
}

// ---- Photos shown upright ----

TEST_F(RotateTest, PhonePortraitsStandUprightUnlessSwitchedOff) {
    Open(80, 60, ExifSegment(6));
    EXPECT_EQ(form1->FTempBmp2.Width(), 60);
    EXPECT_EQ(form1->FTempBmp2.Height(), 80);
    EXPECT_EQ(Angle(), "0");
    Open(80, 60, ExifSegment(8));
    EXPECT_EQ(form1->FTempBmp2.Width(), 60);
    form2->CheckBox17->setChecked(false);
    Open(80, 60, ExifSegment(6));
    EXPECT_EQ(form1->FTempBmp2.Width(), 80);
}

// ---- The head line tool ----

class HeadLineTest : public RotateTest {
  protected:
    void SetUp() override {
        RotateTest::SetUp();
        Open(1200, 1600);
        form1->SpeedButton1->click();
    }
    void Drag(int x0, int y0, int x1, int y1) {
        form1->Image2MouseDown(Qt::LeftButton, {}, x0, y0);
        form1->Image2MouseMove({}, x1, y1);
        form1->Image2MouseUp(Qt::LeftButton, {}, x1, y1);
    }
    HeadLineFrame Expected(int x0, int y0, int x1, int y1) const {
        HeadLineFrameInput in{x0, y0, x1, y1};
        in.placeHeight = form1->FSlots[0].height;
        in.aboveHead = form1->FSlots[0].hny;
        in.belowChin = form1->FSlots[0].bny;
        in.frameW = form1->FFrameW;
        in.frameH = form1->FFrameH;
        in.baseW = form1->FFrameBaseW;
        in.baseH = form1->FFrameBaseH;
        in.dispNum = form1->FDispNum;
        in.dispDen = form1->FDispDen;
        HeadLineFrame frame;
        EXPECT_EQ(HeadLineFrameFor(in, frame), 0);
        return frame;
    }
    QRect FrameOf(const HeadLineFrame& f) const { return {f.left, f.top, f.width, f.height}; }
};

TEST_F(HeadLineTest, PressingTheToolHidesTheFrameAndLocksTheOtherControls) {
    EXPECT_TRUE(form1->Image2->isVisible());
    EXPECT_FALSE(form1->Image3->isVisible());
    EXPECT_EQ(form1->StatusText(0), "頭頂部と顎をドラッグして結びます");
    EXPECT_EQ(form1->Image2->Hint().toStdString(), "頭頂部と顎をドラッグして結びます");
    EXPECT_FALSE(form1->BitBtn5->isEnabled());
    EXPECT_TRUE(form1->SpeedButton1->isEnabled());
    EXPECT_EQ(form1->FResize->Control(), nullptr);
    // released before drawing: the old frame comes back
    form1->SpeedButton1->click();
    EXPECT_TRUE(form1->Image3->isVisible());
    EXPECT_TRUE(form1->BitBtn5->isEnabled());
    EXPECT_EQ(form1->FResize->Control(), form1->Image3);
}

TEST_F(HeadLineTest, LeaningLineOffersTheTurnAndPlacesTheFrame) {
    host.dialogs.answers = {true};
    form1->Image2MouseDown(Qt::LeftButton, {}, 200, 100);
    form1->Image2MouseMove({}, 215, 300);
    EXPECT_EQ(form1->StatusText(1), "(200,100)-(215,300)");
    EXPECT_EQ(form1->StatusText(2), "R*10=-50");
    EXPECT_EQ(form1->Image2->Picture().Pixel(200, 100), kPureRed);  // the line is drawn
    form1->Image2MouseUp(Qt::LeftButton, {}, 215, 300);
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_EQ(host.dialogs.shown[0].text, "角度が-5.000000度あります。回転させますか？");
    EXPECT_EQ(form1->FRotation, 50);
    EXPECT_EQ(Angle(), "5");
    EXPECT_EQ(form1->Image3->geometry(), FrameOf(Expected(200, 100, 215, 300)));
    EXPECT_TRUE(form1->Image3->isVisible());
    EXPECT_EQ(form1->FResize->Control(), form1->Image3);
    EXPECT_FALSE(form1->SpeedButton1->isChecked());
    EXPECT_TRUE(form1->BitBtn5->isEnabled());
    EXPECT_NE(form1->Image2->Picture().Pixel(200, 100), kPureRed);  // the line is gone
}

TEST_F(HeadLineTest, DecliningKeepsTheAngleStraightLineAsksNothing) {
    host.dialogs.answers = {false};
    Drag(200, 100, 215, 300);
    EXPECT_EQ(form1->FRotation, 0);
    EXPECT_EQ(form1->Image3->geometry(), FrameOf(Expected(200, 100, 215, 300)));

    form1->SpeedButton1->click();
    Drag(300, 120, 300, 320);
    EXPECT_EQ(host.dialogs.shown.size(), 1u);  // no second question
    EXPECT_EQ(form1->StatusText(2), "-90.000000");
    EXPECT_EQ(form1->Image3->geometry(), FrameOf(Expected(300, 120, 300, 320)));
}

TEST_F(HeadLineTest, BusyAtTheAnswerLeavesEverything) {
    const QRect before = form1->Image3->geometry();
    host.dialogs.answers = {true};
    form1->Image2MouseDown(Qt::LeftButton, {}, 200, 100);
    form1->Image2MouseMove({}, 215, 300);
    form1->FBusy = true;
    form1->Image2MouseUp(Qt::LeftButton, {}, 215, 300);
    EXPECT_EQ(form1->FRotation, 0);
    EXPECT_EQ(form1->Image3->geometry(), before);
    form1->FBusy = false;
}

TEST_F(HeadLineTest, LayoutWithoutRoomForTheHeadIsRefusedWithAMessage) {
    form1->FSlots[0].hny = form1->FSlots[0].height / 2;
    form1->FSlots[0].bny = form1->FSlots[0].height - form1->FSlots[0].hny;
    const QRect before = form1->Image3->geometry();
    Drag(300, 120, 300, 320);
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_FALSE(host.dialogs.shown[0].question);
    EXPECT_EQ(form1->Image3->geometry(), before);
    EXPECT_TRUE(form1->Image3->isVisible());
    EXPECT_FALSE(form1->SpeedButton1->isChecked());
    EXPECT_TRUE(form1->BitBtn5->isEnabled());
}

}  // namespace
