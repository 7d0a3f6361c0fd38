// Working through a dropped folder: the move to the next photo after each
// sheet step, the automatic run with its abort, the skip button, the
// numbered sheet at the end of the folder and the log's separator line.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <algorithm>

#include "app/busy_guard.h"
#include "app/form1.h"
#include "app/form2.h"
#include "app/ui_text.h"
#include "detect/recognition_log.h"
#include "platform/paths.h"
#include "platform/text_format.h"
#include "sheet/output_paths.h"

namespace {

const char* const kMsgAborted = "中断しました。";
// Log marker of a photo of the folder that could not be read.
const char* const kLoadFailedMarker = "  画像読込エラー:  ";

}  // namespace

bool TForm1::AutomaticRun() const {
    return FBatchMode && CheckBox3->isChecked() && Form2 && Form2->CheckBox4->isChecked();
}

bool TForm1::SkipFinishedSheets() const {
    return Form2 && Form2->CheckBox8->isChecked();
}

int TForm1::BatchCount() const {
    return static_cast<int>(FBatchFiles.size());
}

void TForm1::RunFolder() {
    BitBtn11->show();
    do {
        Pump();
        FBusy = true;  // let go after the step's framing; held again for the next
        CreateSheetStep();
        if (!CheckBox3->isChecked()) break;
        if (FAbortRequested) {
            if (!FCloseRequested) FHost.dialogs->ShowMessage(kMsgAborted, FTitle);
            break;
        }
    } while (FBatchIndex < BatchCount());
    BitBtn11->hide();
}

void TForm1::MoveToNextPhoto() {
    // The index stops at the end: presses after the folder's end compose the
    // last frame again without running past the list.
    FBatchIndex = std::min(FBatchIndex + 1, BatchCount());
    if (FCloseRequested) return;  // the window is closing: no next photo to frame
    if (!CheckBox4->isChecked()) ResetRotationField();
    if (SkipFinishedSheets() && FPaper.photo_ct_per_person == FPaper.photo_ct) SkipFinished();
    if (!OpenFolderPhoto()) FinishFolder();
}

void TForm1::SkipFinished() {
    while (FBatchIndex < BatchCount() && SheetExists(FBatchFiles[FBatchIndex])) ++FBatchIndex;
}

bool TForm1::OpenFolderPhoto() {
    // A photo that cannot be read is logged and passed over, so that an
    // unattended run neither stops at it nor makes a sheet of the photo
    // before it.
    for (; FBatchIndex < BatchCount(); ++FBatchIndex) {
        const std::string& path = FBatchFiles[FBatchIndex];
        if (OpenPhoto(path, !CheckBox4->isChecked()) == 0) break;
        LogFolderFailure(path);
    }
    if (FBatchIndex >= BatchCount()) return false;
    ShowRunProgress();
    FFramingFailed = false;
    if (Form2 && Form2->CheckBox4->isChecked()) {
        FBusy = false;  // framing is an operation of its own
        AutoFrameWithRetry();
    }
    return true;
}

void TForm1::FinishFolder() {
    const bool partSheet = FPaper.photo_ct_per_person != FPaper.photo_ct && FSheetSlot > 0 &&
                           FSheetSlot < FPaper.photo_ct;
    if (partSheet) {
        SaveOptions save = SaveOptionsFor(CurrentLayout(), ReadSheetOptions(), FFileName);
        std::string written;
        if (SaveSheet(FSheetBmp, save, *FHost.dialogs, FTitle, &written) == 0)
            SetStatusText(0, kStatusSaved + written);
        else
            ++FSaveFailures;
    }
    // The closing note of the folder must not call a run saved when a sheet
    // of it was lost: each failure was told as it happened, this sums it up.
    FHost.dialogs->ShowMessage(FSaveFailures > 0 ? kMsgSaveFailed : kMsgSaved, FTitle);
}

void TForm1::ShowRunProgress() {
    SetStatusText(0, FormatText("%d / %d", FBatchIndex + 1, BatchCount()));
}

void TForm1::LogFolderFailure(const std::string& path) {
    const std::string folder = LogFolder(S(Edit3->text()), FPhotoDir);
    AppendRecognitionLog(folder,
                         RecognitionLogLine(RecognitionTimestampNow(), kLoadFailedMarker, path));
}

void TForm1::WriteLogSeparator() {
    MarkRunInRecognitionLog(LogFolder(S(Edit3->text()), FPhotoDir));
}

void TForm1::BitBtn10Click() {
    BusyGuard run(FRunning);  // the busy flag is let go around the framing
    if (!run) return;
    BusyGuard busy(FBusy);
    if (!busy || !FBatchMode) return;
    FBatchIndex = std::min(FBatchIndex + 1, BatchCount());
    if (FBatchIndex >= BatchCount()) {
        BitBtn3->setEnabled(false);
        BitBtn10->hide();
        return;
    }
    if (!CheckBox4->isChecked()) ResetRotationField();
    if (SkipFinishedSheets()) {
        SkipFinished();
        // Skipping runs to the last photo at most: that one opens all the same.
        FBatchIndex = std::min(FBatchIndex, BatchCount() - 1);
    }
    if (!OpenFolderPhoto()) {
        BitBtn3->setEnabled(false);
        BitBtn10->hide();
    }
    if (FCloseRequested) CloseAfterPress(run, busy);
}

void TForm1::BitBtn11Click() {
    FAbortRequested = true;
}
