// Taking photos in: the photo dialog, dropped files and folders, the view,
// the zoom and the crop frame.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "app/timage.h"
#include "app/tresizecontrol.h"
#include "gui/form_fixture.h"
#include "platform/jpeg.h"
#include "support/fifo_files.h"

namespace {
// A photo-like picture: a gradient, so that reductions have something to average.
Bitmap Gradient(int w, int h) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y, {std::uint8_t(40 + x * 150 / w), std::uint8_t(60 + y * 150 / h), 120});
    return b;
}

class PhotoTest : public FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        // Automatic framing is not part of these flows.
        SetRecognitionOnLoad(false);
        ShowMain();
    }
    std::string Photo(const std::string& name, int w, int h) {
        const std::string path = (photos.Path() / name).string();
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        EXPECT_EQ(EncodeJpegFile(path, Gradient(w, h), 90), 0);
        return path;
    }
    void OpenByDialog(const std::string& path) {
        host.dialogs.fileAnswers = {{path}};
        form1->BitBtn2->click();
    }
    QRect Frame() const { return form1->Image3->geometry(); }
    // A drop away from the save-folder field.
    void DropOnView(const std::vector<std::string>& paths) {
        form1->HandleDroppedFiles(paths, QPoint(400, 400));
    }

    TempFolder photos;
};
}  // namespace

TEST_F(PhotoTest, DialogOpensThePhotoWithAMinimumFrameInTheMiddle) {
    const std::string path = Photo("a/portrait.jpg", 1200, 1600);
    OpenByDialog(path);
    ASSERT_EQ(host.dialogs.requests.size(), 1u);
    EXPECT_EQ(host.dialogs.requests[0].title, "写真画像の選択");
    EXPECT_EQ(host.dialogs.requests[0].initialFolder, app.Dir());
    EXPECT_EQ(form1->FFileName, path);
    EXPECT_EQ(form1->FPhotoDir, (photos.Path() / "a").string() + "/");
    EXPECT_EQ(form1->StatusText(1), path);
    EXPECT_EQ(form1->FSourceBmp.Width(), 1600);
    EXPECT_EQ(form1->FSourceBmp.Pixel(0, 0), kBlack);  // the square's margin
    const int d = form1->FDispNum, m = form1->FDispDen;
    EXPECT_EQ(m, 1600);
    EXPECT_EQ(form1->Image1->width(), d);
    EXPECT_EQ(Frame().size(), QSize(378 * d / m, 496 * d / m));
    EXPECT_EQ(Frame().topLeft(), QPoint((d - 378 * d / m) / 2, (d - 496 * d / m) / 2));
    EXPECT_TRUE(form1->Image3->isVisible());
    EXPECT_EQ(form1->FResize->Control(), form1->Image3);
    EXPECT_TRUE(form1->BitBtn3->isEnabled());
    EXPECT_TRUE(form1->BitBtn4->isEnabled());
    EXPECT_TRUE(host.dialogs.shown.empty());
    EXPECT_FALSE(form1->FBusy);
}

TEST_F(PhotoTest, CancelledDialogLeavesEverythingAsItWas) {
    host.dialogs.fileAnswers = {{}};
    form1->BitBtn2->click();
    EXPECT_TRUE(form1->FFileName.empty());
    EXPECT_FALSE(form1->FBusy);
}

TEST_F(PhotoTest, LowResolutionWarnsWithTheSizeAtMost640By480) {
    OpenByDialog(Photo("small.jpg", 640, 480));
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_EQ(host.dialogs.shown[0].text,
              "画像解像度が低いので作成画像が荒れる可能性があります。\n\n横ピクセル数:640 "
              "縦ピクセル数: 480");
    EXPECT_EQ(host.dialogs.shown[0].caption, "Kambrix");
    host.dialogs.shown.clear();
    OpenByDialog(Photo("larger.jpg", 641, 480));
    EXPECT_TRUE(host.dialogs.shown.empty());
}

TEST_F(PhotoTest, UnreadablePhotoClearsTheWorkspaceAndSaysWhyInTheStatusBar) {
    OpenByDialog(Photo("good.jpg", 800, 600));
    const std::string broken = photos.Write("broken.jpg", "\xFF\xD8\xFF\xE0 not really a jpeg");
    OpenByDialog(broken);
    EXPECT_TRUE(form1->FFileName.empty());
    EXPECT_FALSE(form1->Image3->isVisible());
    EXPECT_FALSE(form1->BitBtn3->isEnabled());
    EXPECT_EQ(form1->StatusText(1).rfind(broken + ": ", 0), 0u) << form1->StatusText(1);
    EXPECT_GT(form1->StatusText(1).size(), broken.size() + 2);
    EXPECT_TRUE(host.dialogs.shown.empty());  // never a modal box: a batch is not held up
}

TEST_F(PhotoTest, DroppedJpegOpensWhereverItLands) {
    const std::string path = Photo("d/drop.jpg", 900, 700);
    form1->HandleDroppedFiles({path}, std::nullopt);
    EXPECT_EQ(form1->FFileName, path);
    EXPECT_EQ(form1->StatusText(0), "JPEGファイル " + path);
    EXPECT_EQ(form1->FPhotoDir, (photos.Path() / "d").string() + "/");
    EXPECT_FALSE(form1->FBatchMode);
}

TEST_F(PhotoTest, LastDroppedPathDecidesAndOnlyDotJpgCounts) {
    const std::string a = Photo("A.jpg", 800, 600);
    const std::string b = Photo("B.JPEG", 800, 600);
    DropOnView({a, b});
    EXPECT_TRUE(form1->FFileName.empty());
    EXPECT_EQ(form1->StatusText(0), "サブフォルダ数 0  全ファイル数 0   JPEGファイル数 0");
}

TEST_F(PhotoTest, DroppedFolderCountsItsEntriesAndOpensTheFirstPhoto) {
    for (const char* sub : {"s1", "s2", "s3"})
        std::filesystem::create_directories(photos.Path() / "f" / sub);
    Photo("f/1.jpg", 800, 600);
    Photo("f/2.JPG", 800, 600);
    Photo("f/3.Jpg", 800, 600);
    Photo("f/4.jPg", 800, 600);
    for (int i = 0; i < 6; ++i) photos.Write("f/other" + std::to_string(i) + ".txt", "x");
    photos.Write("f/s1/inside.jpg", "not counted");
    DropOnView({(photos.Path() / "f").string()});
    EXPECT_EQ(form1->StatusText(0), "サブフォルダ数 3  全ファイル数 10   JPEGファイル数 4");
    EXPECT_EQ(form1->FBatchFiles.size(), 4u);
    EXPECT_TRUE(form1->FBatchMode);
    EXPECT_EQ(form1->FBatchIndex, 0);
    EXPECT_EQ(form1->FFileName, form1->FBatchFiles[0]);
    EXPECT_TRUE(form1->BitBtn10->isVisible());
    EXPECT_TRUE(form1->CheckBox3->isVisible());
    EXPECT_TRUE(form1->CheckBox4->isVisible());
    EXPECT_FALSE(form1->FBusy);
}

TEST_F(PhotoTest, FolderWithOneJpegKeepsTheBatchControlsHidden) {
    Photo("one/only.jpg", 800, 600);
    DropOnView({(photos.Path() / "one").string()});
    EXPECT_TRUE(form1->FBatchMode);
    EXPECT_FALSE(form1->FFileName.empty());
    EXPECT_FALSE(form1->BitBtn10->isVisible());
    EXPECT_FALSE(form1->CheckBox3->isVisible());
}

TEST_F(PhotoTest, FinishedPhotosAreSkippedWhenNotOverwriting) {
    const std::string folder = (photos.Path() / "batch").string();
    std::vector<std::string> names{"p1.jpg", "p2.jpg", "p3.jpg"};
    for (const auto& n : names) Photo("batch/" + n, 800, 600);
    form1->FPaper.photo_ct_per_person = form1->FPaper.photo_ct;
    // The sheets go below the dropped folder; mark the first two (by name) as done.
    const std::vector<std::string>& listed = names;
    photos.Write("batch/写真シート/" + listed[0], "done");
    photos.Write("batch/写真シート/" + listed[1], "done");
    DropOnView({folder});
    EXPECT_EQ(form1->FBatchIndex, 2);
    EXPECT_EQ(form1->FFileName, folder + "/" + listed[2]);

    photos.Write("batch/写真シート/" + listed[2], "done");
    DropOnView({folder});
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_EQ(host.dialogs.shown[0].text,
              "このフォルダ内の画像は全て処理済みです。\n上書きする場合には[設定]"
              "画面の「同名のファイルは上書きしない」のチェッ"
              "クを外して下さい。");
    EXPECT_EQ(form1->FBatchIndex, 0);
    EXPECT_TRUE(form1->FFileName.empty());
}

TEST_F(PhotoTest, FolderDroppedOnTheSaveFieldBecomesTheSaveFolder) {
    const QPoint onEdit3 = form1->Edit3->mapTo(form1.get(), QPoint(5, 5));
    std::filesystem::create_directories(photos.Path() / "out");
    form1->HandleDroppedFiles({(photos.Path() / "out").string()}, onEdit3);
    EXPECT_EQ(form1->Edit3->text().toStdString(), (photos.Path() / "out").string() + "/");
    const std::string notes = photos.Write("a/notes.txt", "x");
    form1->HandleDroppedFiles({notes}, onEdit3);
    EXPECT_EQ(form1->Edit3->text().toStdString(), (photos.Path() / "a").string() + "/");
    EXPECT_TRUE(form1->StatusText(0).empty());
    EXPECT_FALSE(form1->FBatchMode);
}

TEST_F(PhotoTest, DropsWhileBusyAreIgnored) {
    form1->FBusy = true;
    form1->HandleDroppedFiles({Photo("busy.jpg", 800, 600)}, std::nullopt);
    EXPECT_TRUE(form1->FFileName.empty());
    form1->FBusy = false;
}

TEST_F(PhotoTest, NewClearsThePhotoAndTheFrame) {
    OpenByDialog(Photo("x.jpg", 800, 600));
    form1->BitBtn1->click();
    EXPECT_TRUE(form1->FFileName.empty());
    EXPECT_FALSE(form1->Image1->isVisible());
    EXPECT_FALSE(form1->Image3->isVisible());
    EXPECT_FALSE(form1->BitBtn3->isEnabled());
    EXPECT_TRUE(form1->BitBtn1->isEnabled());
    EXPECT_TRUE(form1->BitBtn2->isEnabled());
    EXPECT_EQ(form1->FTrimBmp.Width(), 10);
    EXPECT_EQ(form1->FSourceBmp.Width(), 10);
}

TEST_F(PhotoTest, ZoomScalesTheViewAndTheFrame) {
    OpenByDialog(Photo("z.jpg", 3000, 2000));
    const int side = form1->FDispNum;
    form1->Image3->setGeometry(100, 80, 90, 120);
    form1->ComboBox1->setCurrentIndex(2);
    EXPECT_EQ(form1->FZoom, 150);
    EXPECT_EQ(form1->FPrevZoom, 100);
    EXPECT_EQ(form1->FDispNum, 150 * side / 100);
    EXPECT_EQ(Frame(), QRect(150, 120, 135, 180));
    EXPECT_EQ(form1->FResize->Control(), form1->Image3);
    // The outline's bottom edge sits one row higher after a zoom change.
    const Bitmap& pic = form1->Image3->Picture();
    EXPECT_EQ(pic.Pixel(60, 178), kPureRed);
    EXPECT_EQ(pic.Pixel(60, 179), kPureBlue);
    form1->ComboBox1->setEditText("175%");
    EXPECT_EQ(form1->FZoom, 100);
}

TEST_F(PhotoTest, ZoomIsIgnoredWhileBusy) {
    OpenByDialog(Photo("zb.jpg", 800, 600));
    form1->FBusy = true;
    form1->ComboBox1->setCurrentIndex(3);
    EXPECT_EQ(form1->FZoom, 100);
    form1->FBusy = false;
}

TEST_F(PhotoTest, GripDragStopsAtTheMinimumPlusOne) {
    OpenByDialog(Photo("g.jpg", 3000, 3000));
    const QRect before = Frame();
    TResizeGrip* grip = form1->FResize->Grip(4);  // bottom-right
    const QPoint start(3, 3);
    QTest::mousePress(grip, Qt::LeftButton, {}, start);
    for (int i = 1; i <= 10; ++i) {
        QMouseEvent move(QEvent::MouseMove, QPointF(start.x() - 10, start.y() - 10),
                         grip->mapToGlobal(QPointF(start.x() - 10, start.y() - 10)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grip, &move);
    }
    QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(start.x() - 10, start.y() - 10));
    const int d = form1->FDispNum, m = form1->FDispDen;
    EXPECT_EQ(Frame().topLeft(), before.topLeft());
    EXPECT_EQ(Frame().width(), 378 * d / m + 1);
    EXPECT_EQ(Frame().height(), 496 * d / m + 1);
    // The overlay followed the frame.
    EXPECT_EQ(form1->Image3->Picture().Width(), Frame().width());
}

// A photo smaller than the layout's places asks for a frame larger than the
// view; it opens with the frame brought inside the view and the warning.
TEST_F(PhotoTest, OnePixelPhotoOpensWithTheFrameInsideTheView) {
    OpenByDialog(TestDataPath("jpeg_1x1_tiny_photo.jpg"));
    EXPECT_EQ(form1->FFileName, TestDataPath("jpeg_1x1_tiny_photo.jpg"));
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_NE(host.dialogs.shown[0].text.find("横ピクセル数:1 縦ピクセル数: 1"), std::string::npos);
    const QRect view = form1->Image1->geometry();
    EXPECT_TRUE(QRect(QPoint(0, 0), view.size()).contains(Frame())) << Frame().width();
    EXPECT_EQ(form1->Image3->Picture().Width(), Frame().width());
    // Dragging the corner outwards stops at the view.
    TResizeGrip* grip = form1->FResize->Grip(4);
    QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(3, 3));
    QMouseEvent move(QEvent::MouseMove, QPointF(300, 300), grip->mapToGlobal(QPointF(300, 300)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grip, &move);
    QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(300, 300));
    EXPECT_LE(Frame().width(), view.width());
    EXPECT_LE(Frame().height(), view.height());
}

TEST_F(PhotoTest, PhotoTooSmallForTheLayoutsPlacesIsWarned) {
    TLayout layout = DefaultLayout();
    layout.paper.width = layout.paper.height = 3000;
    for (int i = 0; i < 4; ++i) layout.slots[i].width = layout.slots[i].height = 2000;
    form1->SetLayout(layout);
    OpenByDialog(Photo("small.jpg", 1200, 900));  // well above 640 x 480
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_NE(host.dialogs.shown[0].text.find("横ピクセル数:1200 縦ピクセル数: 900"),
              std::string::npos);
    EXPECT_LE(Frame().width(), form1->Image1->width());
    EXPECT_LE(Frame().height(), form1->Image1->height());
}

TEST_F(PhotoTest, DroppedNamedPipeSaysItCannotBeRead) {
    const std::string fifo = MakeFifo(photos, "x.jpg");
    ASSERT_FALSE(fifo.empty());
    EXPECT_TRUE(
        ReturnsWithoutBlocking(fifo, [&] { form1->HandleDroppedFiles({fifo}, std::nullopt); }));
    EXPECT_TRUE(form1->FFileName.empty());
    EXPECT_EQ(form1->StatusText(1), fifo + ": ファイルを開けません");
    EXPECT_FALSE(form1->FBusy);
}

TEST_F(PhotoTest, ResizeAfterNewLaysOutOnlyAndEnablesNothing) {
    OpenByDialog(Photo("r.jpg", 800, 600));
    form1->BitBtn1->click();
    form1->resize(1200, 900);
    QCoreApplication::processEvents();
    EXPECT_FALSE(form1->Image3->isVisible());
    for (QWidget* w : std::initializer_list<QWidget*>{
             form1->BitBtn3, form1->BitBtn9, form1->BitBtn4, form1->BitBtn5, form1->BitBtn6,
             form1->BitBtn7, form1->BitBtn8, form1->ComboBox1, form1->SpeedButton1,
             form1->CheckBox5})
        EXPECT_FALSE(w->isEnabled()) << w->metaObject()->className();
    EXPECT_TRUE(form1->BitBtn1->isEnabled());
    EXPECT_TRUE(form1->BitBtn2->isEnabled());
}

TEST_F(PhotoTest, ChoosingTheShownPhotoAgainReadsItFromTheFile) {
    const std::string path = Photo("same.jpg", 1200, 900);
    OpenByDialog(path);
    const QRect first = Frame();
    OpenByDialog(path);
    EXPECT_EQ(form1->FFileName, path);
    EXPECT_EQ(form1->FTrimBmp.Width(), 1200);
    EXPECT_EQ(form1->FSourceBmp.Width(), 1200);
    EXPECT_EQ(form1->FDispDen, 1200);
    EXPECT_EQ(Frame(), first);
    EXPECT_EQ(form1->Image3->Picture().Width(), first.width());
}

// A photo that cannot be opened, after one that could: nothing of the old
// photo stays to be "restored", the reason is in the status bar, and the
// photo button still works.
TEST_F(PhotoTest, FailedOpenLeavesNoStaleNameAndTheIntakeUsable) {
    struct Case {
        const char* what;
        std::string path;
        std::string reason;  // empty: any non-empty reason
    };
    const std::vector<Case> cases{
        {"missing", (photos.Path() / "gone.jpg").string(), "ファイルが見つかりません"},
        {"unreadable", photos.Write("broken.jpg", "\xFF\xD8\xFF\xE0 not really a jpeg"), ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenByDialog(Photo("good.jpg", 800, 600));
        OpenByDialog(c.path);
        EXPECT_TRUE(form1->FFileName.empty());
        EXPECT_TRUE(form1->BitBtn2->isEnabled());
        const std::string status = form1->StatusText(1);
        ASSERT_EQ(status.rfind(c.path + ": ", 0), 0u) << status;
        if (c.reason.empty())
            EXPECT_GT(status.size(), c.path.size() + 2);
        else
            EXPECT_EQ(status, c.path + ": " + c.reason);
        // Zoom and resize find no photo to show again.
        form1->ComboBox1->setCurrentIndex(1);
        form1->resize(form1->width() + 10, form1->height());
        QCoreApplication::processEvents();
        EXPECT_FALSE(form1->Image3->isVisible());
        EXPECT_LT(form1->Image3->width(), form1->Image1->width());
        form1->BitBtn1->click();
    }
}

TEST_F(PhotoTest, ZoomWhileScrolledKeepsTheFrameOnThePhoto) {
    OpenByDialog(Photo("s.jpg", 3000, 3000));
    form1->ComboBox1->setCurrentIndex(3);  // 200 %
    form1->Image3->setGeometry(100, 300, 90, 120);
    QScrollBar* vertical = form1->ScrollBox1->verticalScrollBar();
    vertical->setValue(200);
    ASSERT_EQ(vertical->value(), 200);
    form1->ComboBox1->setCurrentIndex(2);  // 150 %
    EXPECT_EQ(Frame(), QRect(75, 225, 67, 90));
}

TEST_F(PhotoTest, StatusTextsDoNotOutliveWhatTheySay) {
    OpenByDialog(Photo("big.jpg", 3200, 2400));  // reduced on loading
    EXPECT_TRUE(form1->StatusText(2).empty());
    EXPECT_FALSE(form1->StatusText(1).empty());
    form1->BitBtn1->click();
    for (int panel : {0, 1, 2}) EXPECT_TRUE(form1->StatusText(panel).empty()) << panel;
}

TEST_F(PhotoTest, CornerDragRedrawsTheOutlineAtEachStepsSize) {
    OpenByDialog(Photo("c.jpg", 3000, 3000));
    TResizeGrip* grip = form1->FResize->Grip(0);  // top-left: enlarge, then shrink
    const QPoint start(3, 3);
    QTest::mousePress(grip, Qt::LeftButton, {}, start);
    for (const QPoint step : {QPoint(-20, -20), QPoint(-20, -20), QPoint(15, 15)}) {
        const QPointF at(start + step);
        QMouseEvent move(QEvent::MouseMove, at, grip->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(grip, &move);
        const QRect frame = Frame();
        const Bitmap& pic = form1->Image3->Picture();
        ASSERT_EQ(pic.Width(), frame.width());
        ASSERT_EQ(pic.Height(), frame.height());
        // The right and bottom edges of the outline lie on the frame's edges.
        EXPECT_EQ(pic.Pixel(frame.width() - 1, frame.height() / 2), kPureRed);
        EXPECT_EQ(pic.Pixel(frame.width() / 2, frame.height() - 1), kPureRed);
    }
    QTest::mouseRelease(grip, Qt::LeftButton, {}, start);
}
