// Folder runs through the main window with a fake face library: the automatic
// run over a dropped folder, finished sheets passed over, the shared sheet at
// the folder's end, abort, skip, unreadable photos, the log's separator line
// and the run flag that refuses other commands while a press is under way.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <filesystem>
#include <set>

#include "app/timage.h"
#include "app/tresizecontrol.h"
#include "detect/recognition_log.h"
#include "gui/form_fixture.h"
#include "platform/cp932.h"
#include "platform/jpeg.h"
#include "platform/paths.h"
#include "platform/text_format.h"
#include "support/fake_face_library.h"

namespace {

namespace fs = std::filesystem;

class FolderTest : public FormTest {
  protected:
    void PrepareProgramFolder(const TempFolder& folder) override {
        folder.Write("haarcascade_frontalface_default.xml", "cascade");
    }
    void SetUp() override {
        FormTest::SetUp();
        SetRecognitionOnLoad(true);
        ShowMain();
        form1->FFaceLibraryFactory = [this] {
            auto fake = std::make_unique<FakeFaceLibrary>();
            if (!faceless.count(FileNameOf(form1->FFileName)))
                fake->first = {0, {{800, 700, 1200, 1100}}};
            return fake;
        };
        form2->CheckBox6->setChecked(false);  // no face images
        form2->CheckBox7->setChecked(false);  // no head-top scan on a flat photo
        form2->CheckBox9->setChecked(true);   // unattended: nothing asked
        form2->CheckBox10->setChecked(false);
    }
    // `count` photos named P1.jpg .. in the photos folder, then the folder
    // dropped on the window; the list in the order the window works it.
    std::vector<std::string> DropFolder(int count) {
        for (int i = 1; i <= count; ++i) WritePhoto(FormatText("P%d.jpg", i));
        form1->HandleDroppedFiles({photos.Path().string()}, QPoint(400, 400));
        return form1->FBatchFiles;
    }
    void WritePhoto(const std::string& name) {
        ASSERT_EQ(EncodeJpegFile(photos.Dir() + name, Bitmap(2000, 2000, Rgb{90, 100, 110}), 90),
                  0);
    }
    void RunAutomatically() {
        form1->CheckBox3->setChecked(true);
        form1->BitBtn3->click();
    }
    std::string SheetOf(const std::string& photo) const {
        return photos.Dir() + "写真シート/" + FileNameOf(photo);
    }
    std::vector<std::string> SheetFiles() const {
        std::vector<std::string> names;
        const fs::path folder = photos.Path() / "写真シート";
        if (fs::exists(folder))
            for (const auto& e : fs::directory_iterator(folder))
                names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Log() const {
        std::string bytes;
        ReadFileBytes(photos.Dir() + kRecognitionLogName, bytes);
        return Cp932ToUtf8(bytes);
    }
    void UseTwoPersonLayout() {
        TLayout l = DefaultLayout();
        l.paper.photo_ct = 4;
        l.paper.photo_ct_per_person = 2;
        form1->SetLayout(l);
    }

    TempFolder photos;
    std::set<std::string> faceless;  // photos (by name) the fake finds no face on
};

TEST_F(FolderTest, AutomaticRunPassesOverAFinishedSheet) {
    form2->CheckBox8->setChecked(true);
    const auto files = DropFolder(3);
    ASSERT_EQ(files.size(), 3u);
    fs::create_directories(photos.Path() / "写真シート");
    const std::string kept = "an earlier sheet";
    photos.Write("写真シート/" + FileNameOf(files[1]), kept);
    RunAutomatically();
    EXPECT_TRUE(FileExists(SheetOf(files[0])));
    EXPECT_TRUE(FileExists(SheetOf(files[2])));
    std::string bytes;
    ReadFileBytes(SheetOf(files[1]), bytes);
    EXPECT_EQ(bytes, kept);
    EXPECT_EQ(host.dialogs.Texts(), std::vector<std::string>{"保存しました。"});
    EXPECT_EQ(form1->FBatchIndex, 3);
    EXPECT_FALSE(form1->BitBtn11->isVisible());
    EXPECT_FALSE(form1->FBusy);
    EXPECT_FALSE(form1->FRunning);
}

TEST_F(FolderTest, TwoPersonSheetEndsInANumberedSheet) {
    UseTwoPersonLayout();
    DropFolder(3);
    RunAutomatically();
    // Photos 1 and 2 fill the first sheet, photo 3 half of the next one,
    // which the folder's end writes under the next free number.
    EXPECT_EQ(SheetFiles(), (std::vector<std::string>{"Index_0000.jpg", "Index_0001.jpg"}));
    EXPECT_EQ(form1->FSheetSlot, 2);
    EXPECT_EQ(host.dialogs.Texts(), std::vector<std::string>{"保存しました。"});
    Bitmap half;
    ASSERT_EQ(DecodeJpegFile(photos.Dir() + "写真シート/Index_0001.jpg", half), 0);
    EXPECT_EQ(half.Width(), form1->FSheetBmp.Width());
}

TEST_F(FolderTest, TheFolderIsWorkedInNameOrder) {
    for (const char* name : {"m.jpg", "B.jpg", "z.jpg", "a.jpg", "k.jpg", "c.jpg", "y.jpg"})
        WritePhoto(name);
    form1->HandleDroppedFiles({photos.Path().string()}, QPoint(400, 400));
    std::vector<std::string> names;
    for (const std::string& f : form1->FBatchFiles) names.push_back(FileNameOf(f));
    EXPECT_EQ(names, (std::vector<std::string>{"B.jpg", "a.jpg", "c.jpg", "k.jpg", "m.jpg", "y.jpg",
                                               "z.jpg"}));
    EXPECT_EQ(form1->FFileName, photos.Dir() + "B.jpg");
}

TEST_F(FolderTest, AbortFinishesThePhotoThenStops) {
    DropFolder(3);
    int pumps = 0;
    host.pump.action = [&] {
        if (++pumps == 1) form1->BitBtn11->click();
    };
    RunAutomatically();
    EXPECT_EQ(SheetFiles().size(), 1u);
    EXPECT_EQ(form1->FBatchIndex, 1);
    EXPECT_EQ(host.dialogs.Texts(), std::vector<std::string>{"中断しました。"});
    EXPECT_FALSE(form1->BitBtn11->isVisible());
}

// Both windows start centred on the screen; raised at every photo, the
// preview must leave the abort button free to press.
TEST_F(FolderTest, ThePreviewLeavesTheAbortButtonUncovered) {
    DropFolder(2);
    form3->show();
    const auto abortRect = [&] {
        return QRect(form1->BitBtn11->mapToGlobal(QPoint(0, 0)), form1->BitBtn11->size());
    };
    form1->move(form1->pos() + form3->frameGeometry().center() -
                form1->BitBtn11->mapToGlobal(form1->BitBtn11->rect().center()));
    ASSERT_TRUE(form3->frameGeometry().intersects(abortRect()));
    form3->hide();
    int checked = 0;
    host.pump.action = [&] {
        if (!form3->isVisible() || !form1->BitBtn11->isVisible()) return;
        ++checked;
        EXPECT_FALSE(form3->frameGeometry().intersects(abortRect()));
    };
    RunAutomatically();
    EXPECT_GT(checked, 0);
    EXPECT_EQ(SheetFiles().size(), 2u);
}

// The abort button and the automatic box still act while the run holds the
// run flag.
TEST_F(FolderTest, UntickingAutomaticStopsWithoutAMessage) {
    DropFolder(3);
    host.pump.action = [&] { form1->CheckBox3->setChecked(false); };
    RunAutomatically();
    EXPECT_EQ(SheetFiles().size(), 1u);
    EXPECT_TRUE(host.dialogs.Texts().empty());
}

TEST_F(FolderTest, AnUnreadablePhotoIsLoggedAndPassedOver) {
    const auto files = DropFolder(3);
    // The second photo goes bad after the drop.
    photos.Write(FileNameOf(files[1]), "not a picture");
    RunAutomatically();
    EXPECT_TRUE(FileExists(SheetOf(files[0])));
    EXPECT_FALSE(FileExists(SheetOf(files[1])));
    EXPECT_TRUE(FileExists(SheetOf(files[2])));
    EXPECT_NE(Log().find("画像読込エラー:  " + files[1]), std::string::npos);
    EXPECT_EQ(host.dialogs.Texts(), std::vector<std::string>{"保存しました。"});
}

TEST_F(FolderTest, ProgressAndPreviewFollowTheRun) {
    DropFolder(3);
    std::vector<std::string> progress;
    host.pump.action = [&] {
        const std::string s = form1->StatusText(0);
        if (s.find(" / ") != std::string::npos && (progress.empty() || progress.back() != s))
            progress.push_back(s);
    };
    RunAutomatically();
    EXPECT_EQ(progress, (std::vector<std::string>{"2 / 3", "3 / 3"}));
    EXPECT_GT(form3->Image1->Picture().Width(), 10);
}

// ---- photos the automatic framing could not frame ---------------------------

TEST_F(FolderTest, AnUnframedPhotoGetsNoSheetAndALaterRunTriesItAgain) {
    form2->CheckBox8->setChecked(true);
    faceless = {"P2.jpg"};
    DropFolder(3);
    RunAutomatically();
    EXPECT_EQ(SheetFiles(), (std::vector<std::string>{"P1.jpg", "P3.jpg"}));
    const std::string unframed = photos.Dir() + "P2.jpg";
    EXPECT_NE(Log().find("自動顔認識エラー(非検出):  " + unframed), std::string::npos) << Log();
    EXPECT_EQ(form1->FBatchIndex, 3);
    EXPECT_EQ(host.dialogs.Texts(), std::vector<std::string>{"保存しました。"});
    // Passing over finished sheets, the next run comes to the photo again.
    faceless.clear();
    host.dialogs.shown.clear();
    DropFolder(3);
    EXPECT_EQ(form1->FFileName, unframed);
    RunAutomatically();
    EXPECT_EQ(SheetFiles(), (std::vector<std::string>{"P1.jpg", "P2.jpg", "P3.jpg"}));
}

TEST_F(FolderTest, AnUnframedPersonTakesNoPlaceOnASharedSheet) {
    UseTwoPersonLayout();
    faceless = {"P2.jpg"};
    DropFolder(3);
    RunAutomatically();
    // Photos 1 and 3 fill one sheet: no half sheet is left for the end.
    EXPECT_EQ(SheetFiles(), std::vector<std::string>{"Index_0000.jpg"});
    EXPECT_EQ(form1->FSheetSlot, 0);
}

TEST_F(FolderTest, AFolderOfUnframedPhotosWritesNothing) {
    UseTwoPersonLayout();
    faceless = {"P1.jpg", "P2.jpg"};
    DropFolder(2);
    RunAutomatically();
    EXPECT_TRUE(SheetFiles().empty());
    EXPECT_EQ(form1->FBatchIndex, 2);
}

// The first photo is framed when the folder is dropped, before the press: a
// user who sees it can set its frame by hand or make its sheet one press at a
// time.
struct UnframedFirstCase {
    const char* name;
    bool automatic;
    bool frameByHand;
    std::vector<std::string> sheets;
};
class UnframedFirstPhoto : public FolderTest,
                           public ::testing::WithParamInterface<UnframedFirstCase> {
  protected:
    // Drags the frame's bottom-right grip by real mouse events.
    void DragFrameCorner() {
        QWidget* grip = form1->FResize->Grip(4);
        ASSERT_NE(grip, nullptr);
        const QPoint start(3, 3), end(13, 13);
        QTest::mousePress(grip, Qt::LeftButton, {}, start);
        QMouseEvent move(QEvent::MouseMove, QPointF(end), grip->mapToGlobal(QPointF(end)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grip, &move);
        QTest::mouseRelease(grip, Qt::LeftButton, {}, end);
    }
};

TEST_P(UnframedFirstPhoto, MakesASheetOnlyWhenTheUserTookIt) {
    const UnframedFirstCase& c = GetParam();
    faceless = {"P1.jpg"};
    DropFolder(2);
    ASSERT_NE(form1->FLastFraming.code, 0);
    if (c.frameByHand) DragFrameCorner();
    if (c.automatic)
        RunAutomatically();
    else
        form1->BitBtn3->click();
    EXPECT_EQ(SheetFiles(), c.sheets);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnframedFirstPhoto,
    ::testing::Values(UnframedFirstCase{"pressed_by_hand", false, false, {"P1.jpg"}},
                      UnframedFirstCase{"automatic", true, false, {"P2.jpg"}},
                      UnframedFirstCase{
                          "automatic_frame_set_by_hand", true, true, {"P1.jpg", "P2.jpg"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- manual steps and skip ---------------------------------------------------

TEST_F(FolderTest, ManualPressesMoveOnAndTheEndRepeatsTheLast) {
    const auto files = DropFolder(2);
    form1->BitBtn3->click();
    EXPECT_EQ(form1->FFileName, files[1]);
    form1->BitBtn3->click();
    form1->BitBtn3->click();  // past the end: the last frame again, no move
    EXPECT_EQ(form1->FBatchIndex, 2);
    EXPECT_EQ(host.dialogs.Texts(), (std::vector<std::string>{"保存しました。", "保存しました。"}));
}

TEST_F(FolderTest, SkippingPastTheLastPhotoDisablesTheSheetButton) {
    const auto files = DropFolder(2);
    ASSERT_TRUE(form1->BitBtn10->isVisible());
    form1->BitBtn10->click();
    EXPECT_EQ(form1->FFileName, files[1]);
    EXPECT_TRUE(form1->BitBtn3->isEnabled());
    form1->BitBtn10->click();
    EXPECT_FALSE(form1->BitBtn3->isEnabled());
    EXPECT_FALSE(form1->BitBtn10->isVisible());
    EXPECT_TRUE(SheetFiles().empty());
}

TEST_F(FolderTest, SkippingOverFinishedSheetsStopsAtTheLastPhoto) {
    form2->CheckBox8->setChecked(true);
    UseTwoPersonLayout();  // skip passes finished sheets whatever the layout
    const auto files = DropFolder(3);
    for (const std::string& f : {files[1], files[2]})
        photos.Write("写真シート/" + FileNameOf(f), "done");
    form1->BitBtn10->click();
    EXPECT_EQ(form1->FFileName, files[2]);
    EXPECT_TRUE(form1->BitBtn3->isEnabled());
}

TEST_F(FolderTest, PhotosSavedIntoTheirOwnFolderAreNotTakenAsFinished) {
    // The sheet of a photo would be the photo itself: it is not finished,
    // and it is not written over either.
    form2->CheckBox8->setChecked(true);
    form1->Edit3->setText(QString::fromStdString(photos.Dir()));
    const auto files = DropFolder(2);
    ASSERT_TRUE(form1->FBatchMode);
    EXPECT_EQ(form1->FFileName, files[0]);
    const auto size = fs::file_size(files[0]);
    RunAutomatically();
    EXPECT_EQ(fs::file_size(files[0]), size);
    EXPECT_EQ(form1->FBatchIndex, 2);
    // No sheet was written, so the folder's closing note does not say saved.
    EXPECT_EQ(host.dialogs.Texts().back(), "保存に失敗しました。");
}

// ---- the press's setup -------------------------------------------------------

TEST_F(FolderTest, AnExistingLogGetsADatedSeparatorAMissingOneIsNotMade) {
    DropFolder(1);
    form1->BitBtn3->click();
    EXPECT_FALSE(FileExists(photos.Dir() + kRecognitionLogName));
    AppendRecognitionLog(photos.Dir(), "earlier");
    form1->BitBtn3->click();
    const std::string log = Log();
    const std::string rule(32, '-');
    const auto at = log.find("earlier\r\n" + rule + "( ");
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_NE(log.find(" )" + rule + "\r\n", at), std::string::npos);
}

TEST_F(FolderTest, AMissingBackgroundFileKeepsTheEarlierPicture) {
    DropFolder(1);
    form1->FBackBmp = Bitmap(30, 20, Rgb{1, 2, 3});
    TLayout l = DefaultLayout();
    l.paper.bg_img_name = "gone.jpg";
    form1->SetLayout(l);
    form1->BitBtn3->click();
    EXPECT_EQ(form1->FBackBmp.Width(), 30);
    EXPECT_EQ(form1->FBackBmp.Pixel(0, 0), (Rgb{1, 2, 3}));
}

// ---- the run flag ------------------------------------------------------------

TEST_F(FolderTest, CommandsDuringARunAreRefused) {
    const auto files = DropFolder(3);
    const std::string other = photos.Dir() + "other.jpg";
    WritePhoto("other.jpg");
    host.dialogs.fileAnswers = {{other}};
    bool tried = false;
    host.pump.action = [&] {
        if (tried || form1->FBatchIndex != 1 || form1->FBusy) return;
        tried = true;
        form1->BitBtn3Click();
        form1->BitBtn2Click();
        form1->HandleDroppedFiles({other}, QPoint(400, 400));
        form1->BitBtn5Click();
        form1->BitBtn10Click();
        form1->BitBtn1Click();
    };
    RunAutomatically();
    ASSERT_TRUE(tried);
    EXPECT_TRUE(host.dialogs.requests.empty());  // no file dialog opened
    EXPECT_EQ(form1->FBatchFiles, files);
    EXPECT_EQ(form1->FRotation, 0);
    EXPECT_EQ(SheetFiles().size(), 3u);
    EXPECT_EQ(host.dialogs.Texts(), std::vector<std::string>{"保存しました。"});
}

// ---- closing the window during a press ---------------------------------------

// How the close reaches the window: the program's own close (the close
// button, Alt+F4 through the widget) or the window system's close of the
// native window.
enum class CloseRoute { Widget, NativeWindow };

class CloseDuringRun : public FolderTest, public ::testing::WithParamInterface<CloseRoute> {
  protected:
    void CloseWindow() {
        if (GetParam() == CloseRoute::Widget)
            form1->close();
        else
            form1->windowHandle()->close();
    }
    // Every file of the sheet folder is a whole JPEG.
    void ExpectWholeSheets() {
        for (const std::string& name : SheetFiles()) {
            Bitmap sheet;
            EXPECT_EQ(DecodeJpegFile(photos.Dir() + "写真シート/" + name, sheet), 0) << name;
        }
    }
};

// The close arrives in the run's pump: the photo under way is finished, the
// run stops without its abort message, and the window closes after the
// press has let go, taking the other windows with it.
TEST_P(CloseDuringRun, FinishesThePhotoThenClosesTheWindows) {
    const auto files = DropFolder(3);
    form1->Form3->show();
    int closes = 0;
    host.pump.action = [&] {
        ++closes;  // a user pressing close again and again is no different
        CloseWindow();
        EXPECT_TRUE(form1->isVisible());
    };
    RunAutomatically();
    ASSERT_GT(closes, 0);
    EXPECT_EQ(SheetFiles(), std::vector<std::string>{FileNameOf(files[0])});
    ExpectWholeSheets();
    EXPECT_TRUE(host.dialogs.Texts().empty());
    EXPECT_FALSE(form1->isVisible());
    EXPECT_FALSE(form1->Form3->isVisible());
    EXPECT_FALSE(form1->FRunning);
    EXPECT_FALSE(form1->FBusy);
    // No next photo was opened for a window that is going away.
    EXPECT_EQ(form1->FFileName, files[0]);
}

TEST_P(CloseDuringRun, ASharedSheetRunLeavesOnlyWholeFiles) {
    UseTwoPersonLayout();
    const auto files = DropFolder(3);
    bool closed = false;
    host.pump.action = [&] {
        if (closed || form1->FBatchIndex != 2) return;
        closed = true;
        CloseWindow();
    };
    RunAutomatically();
    ASSERT_TRUE(closed);
    // Photos 1 and 2 filled the first sheet; the close came while photo 3 was
    // being framed, and its half sheet is not written.
    EXPECT_EQ(SheetFiles(), std::vector<std::string>{"Index_0000.jpg"});
    ExpectWholeSheets();
    EXPECT_FALSE(form1->isVisible());
    EXPECT_EQ(form1->FBatchIndex, 2);
}

TEST_P(CloseDuringRun, DuringASkipClosesOnceTheNextPhotoIsOpen) {
    const auto files = DropFolder(3);
    host.pump.action = [&] { CloseWindow(); };
    form1->BitBtn10->click();
    EXPECT_EQ(form1->FFileName, files[1]);
    EXPECT_FALSE(form1->isVisible());
    EXPECT_FALSE(form1->FRunning);
    EXPECT_TRUE(SheetFiles().empty());
}

TEST_P(CloseDuringRun, OutsideAPressClosesAtOnce) {
    DropFolder(2);
    CloseWindow();
    EXPECT_FALSE(form1->isVisible());
    EXPECT_FALSE(form1->FCloseRequested);
}

INSTANTIATE_TEST_SUITE_P(Routes, CloseDuringRun,
                         ::testing::Values(CloseRoute::Widget, CloseRoute::NativeWindow));

}  // namespace
