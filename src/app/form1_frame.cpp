// The crop frame on the photo view: placing it, drawing its overlay and
// arming its grips.
#include <QCheckBox>
#include <QPushButton>
#include <new>

#include "app/form1.h"
#include "app/form2.h"
#include "app/timage.h"
#include "app/tresizecontrol.h"
#include "app/ui_text.h"
#include "frame/frame_overlay.h"
#include "imaging/view.h"

bool TForm1::PlaceCropFrame(bool newFrame) {
    Image1->show();
    DetachGrips();
    Image3->show();
    BitBtn3->setEnabled(true);
    if (newFrame) {
        const ViewRect frame = NewCropFrame(FrameLimitsInView());
        Image3->setGeometry(frame.left, frame.top, frame.width, frame.height);
    }
    Image3->repaint();
    Pump();
    if (!DrawFrameOverlay()) return false;  // the frame stays without grips
    Image3->show();
    ArmGrips();
    FResize->SetShowHint(false);
    SetControlsEnabled(true);
    return true;
}

bool TForm1::DrawFrameOverlay(bool zoomVariant) {
    FFramedCut.reset();  // the frame is drawn anew: placed, dragged or zoomed
    // A frame far larger than the view (a tiny photo under a large layout)
    // needs a picture of hundreds of megabytes.
    try {
        Bitmap picture(Image3->width(), Image3->height());
        FFrameRect = ::DrawFrameOverlay(picture, Image3->width(), Image3->height(), zoomVariant);
        Image3->SetPicture(std::move(picture));
        return true;
    } catch (const std::bad_alloc&) {
        FHost.dialogs->ShowMessage(kNoMemoryText, kNoMemoryCaption);
        return false;
    }
}

CropFrameLimits TForm1::FrameLimitsInView() const {
    return CropFrameLimitsFor(FFrameBaseW, FFrameBaseH, FFrameMaxW, FFrameMaxH, FDispNum, FDispDen,
                              Image1->width(), Image1->height());
}

void TForm1::ArmGrips() {
    if (FDispDen == 0) return;
    const CropFrameLimits l = FrameLimitsInView();
    FResize->SetXYSize(this, l.maxW, l.maxH, l.minW, l.minH, l.boundW, l.boundH, true);
    FResize->SetControl(Image3);
}

void TForm1::DetachGrips() {
    FResize->SetControl(nullptr);
}

void TForm1::CheckBox4Click() {
    if (CheckBox4->isChecked() && Form2) Form2->CheckBox4->setChecked(false);
}
