// Turning the photo: the four rotation buttons and the reset, and the rebuild
// of the square working image from the unrotated photo.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "app/busy_guard.h"
#include "app/form1.h"
#include "app/timage.h"
#include "app/ui_text.h"
#include "imaging/rotate.h"
#include "imaging/rotation_angle.h"
#include "imaging/sharpen.h"
#include "platform/text_format.h"

namespace {

// The hourglass for the guard's lifetime; the previous cursor comes back on
// every way out, exceptions included.
class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

constexpr char kTextTooLargeToTurn[] = "画像が大きすぎるので回転できません。(幅 %d  高さ%d)";

}  // namespace

void TForm1::ConnectRotationControls() {
    connect(BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(); });
    connect(BitBtn5, &QPushButton::clicked, this, [this] { BitBtn5Click(); });
    connect(BitBtn6, &QPushButton::clicked, this, [this] { BitBtn6Click(); });
    connect(BitBtn7, &QPushButton::clicked, this, [this] { BitBtn7Click(); });
    connect(BitBtn8, &QPushButton::clicked, this, [this] { BitBtn8Click(); });
}

void TForm1::BitBtn4Click() {
    if (!FRunning) TurnPhotoTo(FRotation - 900);
}
void TForm1::BitBtn5Click() {
    if (!FRunning) TurnPhotoTo(FRotation + 900);
}
void TForm1::BitBtn6Click() {
    if (!FRunning) TurnPhotoTo(FRotation - 1);
}
void TForm1::BitBtn7Click() {
    if (!FRunning) TurnPhotoTo(FRotation + 1);
}
void TForm1::BitBtn8Click() {
    if (!FRunning) TurnPhotoTo(0);
}

bool TForm1::TurnPhotoTo(int tenths) {
    const BusyGuard busy(FBusy);
    if (!busy) return false;
    FRotation = KeptAngle(tenths);
    RotateWorkImage(FRotation);
    Edit4->setText(Q(AngleBoxText(FRotation)));
    // The box is narrower than the longest angles ("0.100000001490116"): show
    // their start, not the digits at the cursor setText leaves at the end.
    Edit4->setCursorPosition(0);
    ShowMemoryReport();
    return true;
}

void TForm1::RotateWorkImage(int angle) {
    DetachGrips();
    Image3->hide();
    Pump();
    {
        const WaitCursor cursor;
        const int a = NormalisedAngle(angle);
        const int side = std::max(FTempBmp2.Width(), FTempBmp2.Height());
        FCellRotBmp.SetSize(side, side, kWhite);
        const auto pump = [this] { Pump(); };
        const int result = RotateBitmap(FTempBmp2, FCellRotBmp, a, pump);
        if (result == kRotateNoMemory || result == kRotateSourceTooLarge) {
            // The square keeps the photo as it was: cropping a blank square
            // would lose the picture without a word.
            FHost.dialogs->ShowMessage(
                result == kRotateNoMemory
                    ? std::string(kNoMemoryText)
                    : FormatText(kTextTooLargeToTurn, FTempBmp2.Width(), FTempBmp2.Height()),
                result == kRotateNoMemory ? kNoMemoryCaption : FTitle);
        } else {
            FSourceBmp = FCellRotBmp;
            // Only the view is sharpened; the crop uses the square above.
            if (CheckBox1->isChecked()) SharpenBitmap(FCellRotBmp, pump);
            ShowImage(FCellRotBmp);
        }
    }
    SetStatusText(2, RotationStatusText(angle));
    Image3->show();
    Pump();
    ArmGrips();
}
