// The windows under real Qt events: closing, drops routed by Qt to the
// widget under the pointer, keys typed into the zoom box and the settings.
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <functional>

#include "gui/form_fixture.h"
#include "platform/jpeg.h"

namespace {
class EventTest : public FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        SetRecognitionOnLoad(false);
        ShowMain();
    }
    std::string Photo(const std::string& name) {
        const std::filesystem::path path = files.Path() / name;
        std::filesystem::create_directories(path.parent_path());
        EXPECT_EQ(EncodeJpegFile(path.string(), Bitmap(800, 600, {90, 120, 150}), 90), 0);
        return path.string();
    }
    void OpenPhotoForZoom() {
        host.dialogs.fileAnswers = {{Photo("zoom.jpg")}};
        form1->BitBtn2->click();
        ASSERT_FALSE(form1->FFileName.empty());
    }
    // A drop as a file manager makes it: the paths as URLs and, beside them,
    // the same URLs as plain text. It is delivered to the main window's
    // native window, so Qt picks the widget under the point as it would for
    // a real drag.
    void DropOn(QWidget* target, const std::string& path) {
        const QUrl url = QUrl::fromLocalFile(QString::fromStdString(path));
        QMimeData mime;
        mime.setUrls({url});
        mime.setText(url.toString() + "\r\n");
        const QPoint at = target->mapTo(form1.get(), target->rect().center());
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QWindow* window = form1->windowHandle();
        ASSERT_NE(window, nullptr);
        QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &enter);
        QDropEvent drop(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &drop);
        dropAccepted = drop.isAccepted();
    }

    TempFolder files;
    bool dropAccepted = false;
};
}  // namespace

// Runs the application's event loop as the program does, with `close` as its
// first event; true when the loop ended by itself (the last window closed),
// false when it had to be stopped after a few seconds.
bool EventLoopEndsAfter(const std::function<void()>& close) {
    QTimer::singleShot(0, close);
    QTimer stop;
    stop.setSingleShot(true);
    QObject::connect(&stop, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    stop.start(3000);
    return QApplication::exec() == 0;
}

TEST_F(EventTest, ClosingTheMainWindowClosesTheOthersAndEndsTheProgram) {
    for (const bool byButton : {true, false}) {
        SCOPED_TRACE(byButton ? "exit button" : "close box");
        ShowMain();
        form1->BitBtn16->click();
        form3->show();
        ASSERT_TRUE(form2->isVisible());
        EXPECT_TRUE(EventLoopEndsAfter([&] {
            if (byButton)
                form1->BitBtn14->click();
            else
                form1->close();
        }));
        EXPECT_FALSE(form1->isVisible());
        EXPECT_FALSE(form2->isVisible());
        EXPECT_FALSE(form3->isVisible());
    }
}

TEST_F(EventTest, FolderDroppedWithTextOnTheSaveFieldBecomesTheSaveFolder) {
    std::filesystem::create_directories(files.Path() / "out");
    DropOn(form1->Edit3, (files.Path() / "out").string());
    QCoreApplication::processEvents();
    EXPECT_TRUE(dropAccepted);
    EXPECT_EQ(form1->Edit3->text().toStdString(), (files.Path() / "out").string() + "/");
    EXPECT_FALSE(form1->FBatchMode);
}

TEST_F(EventTest, FolderDroppedWithTextOnTheZoomBoxStartsAFolderRun) {
    OpenPhotoForZoom();  // the zoom box takes input only with a photo
    Photo("run/1.jpg");
    Photo("run/2.jpg");
    DropOn(form1->ComboBox1, (files.Path() / "run").string());
    QCoreApplication::processEvents();
    EXPECT_EQ(form1->ComboBox1->currentText(), "100%");
    EXPECT_TRUE(form1->FBatchMode);
    EXPECT_EQ(form1->FBatchFiles.size(), 2u);
    EXPECT_EQ(form1->StatusText(0), "サブフォルダ数 0  全ファイル数 2   JPEGファイル数 2");
}

TEST_F(EventTest, DroppedPhotoOpensOnlyAfterTheDropHasReturned) {
    const std::string path = Photo("drop.jpg");
    DropOn(form1->ScrollBox1, path);
    // The drag source is released before anything is read.
    EXPECT_TRUE(dropAccepted);
    EXPECT_TRUE(form1->FFileName.empty());
    EXPECT_TRUE(host.pump.pumps == 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(form1->FFileName, path);
    EXPECT_EQ(form1->StatusText(0), "JPEGファイル " + path);
}

// The first panel says where a folder run stands; a new folder or photo,
// dropped or chosen, must not open under the count of the previous folder.
TEST_F(EventTest, ANewWorkspaceDoesNotKeepThePreviousFolderCount) {
    const std::string folder = (files.Path() / "run").string();
    Photo("run/1.jpg");
    Photo("run/2.jpg");
    const std::string single = Photo("single.jpg");
    const auto moveOnInFolder = [&] {
        DropOn(form1->ScrollBox1, folder);
        QCoreApplication::processEvents();
        ASSERT_TRUE(form1->FBatchMode);
        form1->BitBtn10->click();  // to the second photo: the run's count shows
        ASSERT_EQ(form1->StatusText(0), "2 / 2");
    };
    std::vector<std::string> seen;  // the first panel at every pump of an opening
    host.pump.action = [&] { seen.push_back(form1->StatusText(0)); };
    const auto expectNoCount = [&](const std::string& after) {
        for (const std::string& text : seen)
            EXPECT_EQ(text.find(" / "), std::string::npos)
                << after << " [" << text << "] of " << seen.size();
        seen.clear();
    };

    moveOnInFolder();
    seen.clear();
    DropOn(form1->ScrollBox1, folder);
    QCoreApplication::processEvents();
    expectNoCount("folder dropped");
    EXPECT_EQ(form1->StatusText(0), "サブフォルダ数 0  全ファイル数 2   JPEGファイル数 2");

    moveOnInFolder();
    seen.clear();
    DropOn(form1->ScrollBox1, single);
    QCoreApplication::processEvents();
    expectNoCount("photo dropped");
    EXPECT_EQ(form1->StatusText(0), "JPEGファイル " + single);

    moveOnInFolder();
    seen.clear();
    host.dialogs.fileAnswers = {{single}};
    form1->BitBtn2->click();
    ASSERT_EQ(form1->FFileName, single);
    expectNoCount("photo chosen");
    EXPECT_EQ(form1->StatusText(0), "");
}

TEST_F(EventTest, TypedZoomTextIsNotAnItemAndMeansHundredPercent) {
    OpenPhotoForZoom();
    QLineEdit* edit = form1->ComboBox1->lineEdit();
    ASSERT_NE(edit, nullptr);
    struct Case {
        const char* typed;
        int zoom;
    };
    for (const Case c : {Case{"110", 100}, Case{"150%", 150}, Case{"4000", 100}, Case{"200%", 200},
                         Case{"abc", 100}}) {
        SCOPED_TRACE(c.typed);
        edit->selectAll();
        QTest::keyClicks(edit, c.typed);
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(form1->FZoom, c.zoom);
        EXPECT_EQ(form1->ComboBox1->count(), 4);
        EXPECT_FALSE(form1->FBusy);
    }
}

TEST_F(EventTest, EnterInTheSettingsDoesNotOpenTheLayoutDialog) {
    form1->BitBtn16->click();
    for (QWidget* focus : std::initializer_list<QWidget*>{form2->BitBtn1, form2->CheckBox8}) {
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_Return);
        QTest::keyClick(focus, Qt::Key_Enter);
    }
    EXPECT_TRUE(host.dialogs.requests.empty());
    form2->BitBtn1->click();  // the button itself still works
    EXPECT_EQ(host.dialogs.requests.size(), 1u);
}
