// The sheet button: the trimmed photo cut from the crop frame, the sheet
// composed and saved by the core, the preview and the outcome shown.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "app/busy_guard.h"
#include "app/form1.h"
#include "app/form2.h"
#include "app/form3.h"
#include "app/timage.h"
#include "app/ui_text.h"
#include "platform/memory.h"
#include "sheet/save.h"

namespace {
constexpr int kPreviewGap = 8;  // between the abort button and a preview moved below it
}  // namespace

void TForm1::BitBtn3Click() {
    // The run flag stays up for the whole press: the busy flag is let go
    // around each framing, and nothing pumped meanwhile may start another
    // operation on the working images.
    BusyGuard run(FRunning);
    if (!run) return;
    BusyGuard busy(FBusy);
    if (!busy) return;
    FAbortRequested = false;
    FSaveFailures = 0;
    WriteLogSeparator();
    LoadSheetBackground();
    if (AutomaticRun())
        RunFolder();
    else
        CreateSheetStep();
    if (FCloseRequested) {
        CloseAfterPress(run, busy);
        return;
    }
    if (CheckBox2->isChecked()) OpenOutputFolder(*FHost.shell, S(Edit3->text()), FPhotoDir);
}

void TForm1::CloseAfterPress(BusyGuard& run, BusyGuard& busy) {
    busy.Release();
    run.Release();
    close();
}

void TForm1::LoadSheetBackground() {
    if (LoadBackgroundPicture(FAppDir, FPaper.bg_img_name, FBackBmp) == kBackgroundBadExtension)
        FHost.dialogs->ShowMessage(kMsgBackgroundExtension, FTitle);
}

int TForm1::CreateSheetStep() {
    ShowPreviewWindow();
    SetControlsEnabled(false);
    if (Edit4->text().isEmpty() || !CheckBox4->isChecked()) ResetRotationField();
    // Unattended, the frame left by a failed framing is the previous photo's
    // or the default one: a sheet of it would be a wrong identity photo, and
    // a later run passing over finished sheets would never try the photo
    // again. The failure is in the log; the run goes on with the next photo.
    if (!(AutomaticRun() && FFramingFailed)) ComposeCurrentPhoto();
    SetControlsEnabled(true);
    ShowMemoryReport();
    if (FBatchMode) MoveToNextPhoto();
    BitBtn3->setEnabled(true);
    BitBtn3->setFocus();
    FBusy = false;
    return 0;
}

void TForm1::ComposeCurrentPhoto() {
    // Cut at the square's scale, the sheet of an automatic frame does not
    // depend on the size of the window it was made in.
    if (FFramedCut)
        CropTrimmedPhoto(
            FSourceBmp,
            {FFramedCut->left, FFramedCut->top, FFramedCut->Width(), FFramedCut->Height()},
            FSourceBmp.Width(), FTrimBmp);
    else
        CropTrimmedPhoto(FSourceBmp, FrameInView(), Image1->width(), FTrimBmp);
    ShowMemoryReport();
    // A person who was not composed (skipped, or stopped by the user) takes
    // no places: a skipped last person would otherwise cost the sheet of the
    // persons before, and a skipped first one would leave the previous sheet
    // under the next person.
    if (ComposeSheet() != kComposeStopped) FSheetSlot = NextSheetSlot(FPaper, FSheetSlot);
}

int TForm1::ComposeSheet() {
    ComposeReport report;
    const int result =
        ::ComposeSheet(CurrentLayout(), ReadSheetOptions(), FTrimBmp, FBackBmp, FFileName, FSheet,
                       *FHost.dialogs, &report, [this] { Pump(); });
    if (result == kComposeNoMemory) FHost.dialogs->ShowMessage(kNoMemoryText, kNoMemoryCaption);
    if (result == kComposeSaveFailed) ++FSaveFailures;
    if (result != 0) return result;
    ShowSheetPreview();
    if (report.saved) {
        SetStatusText(0, kStatusSaved + report.sheetPath);
        if (!FBatchMode) FHost.dialogs->ShowMessage(kMsgSaved, FTitle);
    }
    return 0;
}

SheetOptions TForm1::ReadSheetOptions() const {
    SheetOptions o;
    o.sharpen = CheckBox1->isChecked();
    o.batchMode = FBatchMode;
    o.autoContinuous = CheckBox3->isChecked();
    if (Form2) {
        o.skipUnrecognised = Form2->CheckBox9->isChecked();
        o.marks.centreMarks = Form2->CheckBox1->isChecked();
        o.marks.cornerMarks = Form2->CheckBox2->isChecked();
        o.marks.scale = Form2->CheckBox5->isChecked();
        o.saveTrimmed = Form2->CheckBox10->isChecked();
        o.quality = Form2->TrackBar4->value();
    }
    o.saveFolder = S(Edit3->text());
    o.photoDir = FPhotoDir;
    o.title = FTitle;
    return o;
}

ViewFrame TForm1::FrameInView() const {
    // The frame is a child of the scrolled content, so its position is already
    // in view pixels: the visible position plus the scroll offsets.
    return {Image3->x(), Image3->y(), Image3->width(), Image3->height()};
}

void TForm1::ShowPreviewWindow() {
    if (!Form3) return;
    Form3->show();
    Form3->raise();
    // Raised over this window at every photo of a run, the preview would hide
    // the abort button (both windows start centred): it moves down below it.
    if (!BitBtn11->isVisible()) return;
    const QRect abort(BitBtn11->mapToGlobal(QPoint(0, 0)), BitBtn11->size());
    const QRect preview = Form3->frameGeometry();
    if (preview.intersects(abort)) Form3->move(preview.x(), abort.bottom() + kPreviewGap);
}

void TForm1::ShowSheetPreview() {
    if (!Form3) return;
    Bitmap preview;
    if (MakeSheetPreview(FSheetBmp, Form3->Image1->height(), preview, [this] { Pump(); }) == 0)
        Form3->SetPreview(preview);
}

void TForm1::ResetRotationField() {
    FRotation = 0;
    Edit4->setText("0");
}
