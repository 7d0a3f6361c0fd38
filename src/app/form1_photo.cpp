// Photo intake: the photo dialog, dropped files and folders, loading,
// the view and the zoom, clearing the workspace.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/busy_guard.h"
#include "app/form1.h"
#include "app/form2.h"
#include "app/form3.h"
#include "app/timage.h"
#include "app/tresizecontrol.h"
#include "app/ui_text.h"
#include "imaging/folder_scan.h"
#include "imaging/view.h"
#include "platform/paths.h"
#include "platform/text_format.h"
#include "sheet/output_paths.h"

void TForm1::ResetWorkspace() {
    // Every panel starts over: the count or the saved sheet of the previous
    // folder must not stand beside the new photo while it opens.
    for (int panel = 0; panel < 3; ++panel) SetStatusText(panel, "");
    // The working images go back to 10 x 10 below: nothing is loaded any more,
    // and nothing is shown to scale (a resize must not frame the empty view).
    FFileName.clear();
    FDispDen = 0;
    ScrollToOrigin();
    Image1->move(0, 0);
    Image2->move(0, 0);
    Image1->FillPicture(kBlack);
    Image4->SetPicture(Bitmap(Image4->width(), Image4->height(), kWhite));
    Edit1->clear();
    {
        const QSignalBlocker block(ComboBox1);
        ComboBox1->setCurrentIndex(0);
    }
    FZoom = FPrevZoom = 100;
    if (Form3) Form3->ClearPreview();
    ResetWorkingBitmaps();
    DetachGrips();
    Image1->hide();
    Image3->hide();
    FSheetSlot = 0;
    FRotation = 0;
    Edit4->setText("0");
    FHeadTurn = 0;
    Memo1->clear();
    Memo2->clear();
    SetControlsEnabled(false);
    // With no photo the intake stays usable: a failed open or a folder
    // without photos must not leave only "新規作成" to press.
    BitBtn2->setEnabled(true);
    BitBtn3->setEnabled(false);
    BitBtn3->setText(QString::fromUtf8("シート作成"));
    ShowMemoryReport();
    FBatchMode = false;
    ShowBatchControls(false);
    CheckBox3->setChecked(false);
    CheckBox4->setChecked(false);
    CheckBox5->setEnabled(false);
    FAbortRequested = false;
    FPickingBackColour = false;
    FFramingFailed = false;
    FFramedCut.reset();
    FBatchIndex = 0;
}

void TForm1::BitBtn1Click() {
    // A running operation holds the working images; clearing them under it
    // would pull them away mid-work.
    if (FRunning) return;
    BusyGuard busy(FBusy);
    if (!busy) return;
    DetachGrips();
    ResetWorkspace();
    BitBtn1->setEnabled(true);
    BitBtn2->setEnabled(true);
}

void TForm1::BitBtn2Click() {
    if (FBusy || FRunning) return;
    FileDialogRequest request;
    request.title = "写真画像の選択";
    request.initialFolder = FPhotoDir;
    request.pictures = true;
    const std::vector<std::string> chosen = FHost.dialogs->OpenFiles(request);
    if (chosen.size() == 1) {
        Edit2->setText(Q(chosen.front()));
        FPhotoDir = FolderOf(chosen.front());
        OpenOnePhoto(chosen.front(), "");
    }
    ShowMemoryReport();
}

void TForm1::OpenOnePhoto(const std::string& path, const std::string& note) {
    BusyGuard busy(FBusy);
    if (!busy) return;
    ResetWorkspace();
    SetStatusText(0, note);
    CheckBox4->hide();
    OpenAndRecognise(busy, path, !CheckBox4->isChecked());
}

void TForm1::OpenAndRecognise(BusyGuard& busy, const std::string& path, bool newFrame) {
    // The flag is held while the photo loads so that nothing pumped meanwhile
    // starts on the half-built images; automatic framing is an operation of
    // its own and takes the flag itself.
    OpenPhoto(path, newFrame);
    busy.Release();
    if (Form2 && Form2->CheckBox4->isChecked()) BitBtn9Click();
}

void TForm1::ShowBatchControls(bool visible) {
    for (QWidget* w : std::initializer_list<QWidget*>{BitBtn10, CheckBox3, CheckBox4})
        w->setVisible(visible);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(S(url.toLocalFile()));
    event->acceptProposedAction();
    // The drag source waits until the drop event returns: open on the next
    // turn of the event loop, not inside it.
    const QPoint point = event->position().toPoint();
    QTimer::singleShot(0, this, [this, paths, point] { HandleDroppedFiles(paths, point); });
}

void TForm1::HandleDroppedFiles(const std::vector<std::string>& paths,
                                std::optional<QPoint> dropPoint) {
    QApplication::setActiveWindow(this);
    raise();
    // A drop during an operation is ignored once its paths have been read.
    if (FBusy || FRunning || paths.empty()) return;
    const std::string& last = paths.back();
    if (HasPhotoExtension(last)) {
        DetachGrips();
        ResetWorkspace();
        Edit1->setText(Q(last));
        FPhotoDir = FolderOf(last);
        OpenOnePhoto(last, "JPEGファイル " + last);
        return;
    }
    if (!dropPoint) return;
    const std::string& first = paths.front();
    std::vector<std::string> list;
    const FolderScanCounts counts = CollectFolderJpegs(first, list);
    // The folder lists in whatever order the file system keeps; by name, the
    // run goes as a file manager shows the photos, and persons share sheets
    // as the batch pairs them.
    std::sort(list.begin(), list.end());
    FSubfolderCount = counts.subfolders;
    FFileCount = counts.files;
    FJpegCount = counts.jpegs;
    const QRect edit3(Edit3->mapTo(this, QPoint(0, 0)), Edit3->size());
    const QPoint p = *dropPoint;
    if (p.x() >= edit3.left() && p.x() <= edit3.left() + edit3.width() && p.y() >= edit3.top() &&
        p.y() <= edit3.top() + edit3.height()) {
        const std::string folder =
            DirectoryExists(first) ? WithTrailingSeparator(first) : FolderOf(first);
        Edit3->setText(Q(WithTrailingSeparator(folder)));
        return;
    }
    Edit2->setText(Q(first));
    FBatchFiles = list;
    DetachGrips();
    ResetWorkspace();
    if (FJpegCount > 0) StartBatch(first);
    SetStatusText(0, FormatText("サブフォルダ数 %d  全ファイル数 %d   JPEGファイル数 %d",
                                FSubfolderCount, FFileCount, FJpegCount));
}

void TForm1::StartBatch(const std::string& folder) {
    BusyGuard busy(FBusy);
    if (!busy) return;
    ResetWorkspace();
    // The dropped folder is the photos' folder: default outputs go below it.
    FPhotoDir = WithTrailingSeparator(folder);
    FBatchIndex = 0;
    const int count = static_cast<int>(FBatchFiles.size());
    if (Form2 && Form2->CheckBox8->isChecked() && FPaper.photo_ct_per_person == FPaper.photo_ct)
        while (FBatchIndex < count && SheetExists(FBatchFiles[FBatchIndex])) ++FBatchIndex;
    if (FBatchIndex >= count) {
        FBatchIndex = 0;
        FHost.dialogs->ShowMessage(
            "このフォルダ内の画像は全て処理済みです。\n上書きする場合には[設定]"
            "画面の「同名のファイルは上書きしない」"
            "のチェックを外して下さい。",
            FTitle, MessageKind::Information);
        return;
    }
    FBatchMode = true;
    if (FJpegCount > 1) ShowBatchControls(true);
    OpenAndRecognise(busy, FBatchFiles[FBatchIndex], true);
}

bool TForm1::SheetExists(const std::string& photo) const {
    return ::SheetExists(S(Edit3->text()), FPhotoDir, photo);
}

int TForm1::LoadPhoto(const std::string& fileName) {
    LoadOptions options;
    options.reduceLarge = !Form2 || Form2->CheckBox16->isChecked();
    options.applyExifOrientation = !Form2 || Form2->CheckBox17->isChecked();
    options.minFrameWidth = FFrameBaseW;
    options.minFrameHeight = FFrameBaseH;
    const LoadOutcome outcome = ::LoadPhoto(
        FWork, fileName, options,
        [this](const std::string& text) {
            SetStatusText(2, text);
            Pump();
        },
        [this] { Pump(); });
    // An unattended run must not wait on a notice: it goes to the status bar.
    if (outcome.code == 0 && outcome.lowResolution && Unattended())
        SetStatusText(2, LowResolutionMessage(outcome.width, outcome.height));
    else if (outcome.code == 0 && outcome.lowResolution)
        FHost.dialogs->ShowMessage(LowResolutionMessage(outcome.width, outcome.height), FTitle,
                                   MessageKind::Information);
    if (outcome.reduced) SetStatusText(2, "");
    if (outcome.code < 0) SetStatusText(1, fileName + ": " + outcome.errorReason);
    return outcome.code;
}

int TForm1::OpenPhoto(const std::string& fileName, bool newFrame) {
    if (LoadPhoto(fileName) != 0) return -1;
    ScrollToOrigin();
    ShowImage(FTrimBmp);
    // A batch that keeps the rotation turns every new photo the same way.
    if (FRotation != 0) RotateWorkImage(FRotation);
    SetStatusText(1, fileName);
    return PlaceCropFrame(newFrame) ? 0 : -1;
}

int TForm1::ShowImage(const Bitmap& image) {
    FFramedCut.reset();  // a new or turned square: the framing's frame is not on it
    QWidget* viewport = ScrollBox1->viewport();
    const int side =
        ViewSide(viewport->width(), viewport->height(), ComboBox1->currentIndex(), FZoom);
    Bitmap view;
    if (BuildViewImage(image, side, view, FTempBmp3, FErrorText, [this] { Pump(); }) != 0) {
        FHost.dialogs->ShowMessage(kNoMemoryText, kNoMemoryCaption);
        return -1;
    }
    Image1->resize(side, side);
    FDispNum = side;
    Image1->SetPicture(std::move(view));
    Image2->SetPicture(Bitmap(side, side, kBlack));
    Image2->resize(side, side);
    FDispDen = std::max(image.Width(), image.Height());
    ScrollBox1->widget()->resize(side, side);
    ShowMemoryReport();
    return 0;
}

void TForm1::ComboBox1Change() {
    if (FRunning) return;
    BusyGuard busy(FBusy);
    if (!busy) return;
    FPrevZoom = FZoom;
    const bool typed = ComboBox1->currentText() != ComboBox1->itemText(ComboBox1->currentIndex());
    FZoom = ZoomPercentForIndex(typed ? -1 : ComboBox1->currentIndex());
    if (FFileName.empty() || FDispDen == 0) return;
    // The frame's position is already in view coordinates: it lies on the
    // scrolled content, which the scroll positions move as a whole.
    const QRect frame = Image3->geometry();
    DetachGrips();
    Image3->hide();
    Pump();
    if (OpenPhoto(FFileName, false) != 0) {
        SetControlsEnabled(true);
        return;
    }
    ScrollBox1->repaint();
    Pump();
    const ViewRect scaled =
        ZoomFrame({frame.x(), frame.y(), frame.width(), frame.height()}, FZoom, FPrevZoom);
    Image3->setGeometry(scaled.left, scaled.top, scaled.width, scaled.height);
    Image3->hide();
    Pump();
    if (!DrawFrameOverlay(true)) {
        SetControlsEnabled(true);
        return;
    }
    ArmGrips();
    Image3->show();
}
