// The head line tool: with its toggle down the user drags a line from the top
// of the head to the chin on the overlay Image2; the tool offers to
// straighten the photo and places the crop frame from the line.
#include <QPushButton>
#include <QScrollArea>

#include "app/form1.h"
#include "app/timage.h"
#include "app/tresizecontrol.h"
#include "app/ui_text.h"
#include "frame/head_line.h"
#include "platform/text_format.h"

namespace {
constexpr char kHeadLineHint[] = "頭頂部と顎をドラッグして結びます";
// Shown like the recognition failures when the layout leaves no room for the head.
constexpr char kNoHeadShareText[] =
    "レイアウト設定の頭部の比率(height, hny, bny)が正しくないので枠を決められませんでした。";
}  // namespace

void TForm1::ConnectHeadLineControls() {
    connect(SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });
    Image2->OnMouseDown = [this](TImage*, Qt::MouseButton b, Qt::KeyboardModifiers m, int x,
                                 int y) { Image2MouseDown(b, m, x, y); };
    Image2->OnMouseMove = [this](TImage*, Qt::KeyboardModifiers m, int x, int y) {
        Image2MouseMove(m, x, y);
    };
    Image2->OnMouseUp = [this](TImage*, Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        Image2MouseUp(b, m, x, y);
    };
}

void TForm1::SpeedButton1Click() {
    if (SpeedButton1->isChecked()) {
        DetachGrips();
        Image2->SetHint(QString::fromUtf8(kHeadLineHint));
        Image2->SetShowHint(true);
        Image2->show();
        Image2->raise();
        Image3->hide();
        Image1->SetShowHint(false);
        SetControlsEnabled(false);
        SpeedButton1->setEnabled(true);
        SetStatusText(0, kHeadLineHint);
        return;
    }
    SetControlsEnabled(true);
    ClearHeadLine();
    Image2->hide();
    Image3->show();
    BitBtn3->setEnabled(true);
    FResize->SetControl(Image3);
}

void TForm1::Image2MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    FFrameDragging = true;
    if (!SpeedButton1->isChecked()) return;
    Image2->setCursor(Qt::SizeAllCursor);
    BeginHeadLine(x, y);
}

void TForm1::Image2MouseMove(Qt::KeyboardModifiers, int x, int y) {
    if (!SpeedButton1->isChecked()) return;
    if (FFrameDragging) {
        TrackHeadLine(x, y);
        SetStatusText(1, FormatText("(%d,%d)-(%d,%d)", FLineStartX, FLineStartY, x, y));
    } else {
        SetStatusText(1, FormatText("(%d,%d)", x, y));
    }
}

void TForm1::Image2MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    FFrameDragging = false;
    Image2->unsetCursor();
    if (SpeedButton1->isChecked()) FinishHeadLine(x, y);
    BitBtn3->setEnabled(true);
}

void TForm1::BeginHeadLine(int x, int y) {
    FLineStartX = x;
    FLineStartY = y;
}

void TForm1::TrackHeadLine(int x, int y) {
    FFrameRect = {FLineStartX, FLineStartY, x, y};
    const HeadLineSegment line{FLineStartX, FLineStartY, x, y};
    DrawHeadLineOverlay(Image2->Picture(), Image1->width(), Image1->height(), &line);
    Image2->PictureChanged();
    const HeadLineTurn turn = HeadLineTurnFor(x - FLineStartX, FLineStartY - y);
    FHeadTurn = turn.headTurn;
    SetStatusText(2, turn.status);
}

void TForm1::ClearHeadLine() {
    DrawHeadLineOverlay(Image2->Picture(), Image1->width(), Image1->height(), nullptr);
    Image2->PictureChanged();
}

void TForm1::FinishHeadLine(int x, int y) {
    FFrameDragging = false;
    Image2->unsetCursor();
    ClearHeadLine();
    if (FHeadTurn != 0 && FHost.dialogs->AskYesNo(HeadTurnQuestion(FHeadTurn), FTitle)) {
        // Another operation holds the photo: neither the turn nor the frame.
        if (!TurnPhotoTo(FRotation - FHeadTurn)) return;
    }
    HeadLineFrameInput in;
    in.startX = FLineStartX;
    in.startY = FLineStartY;
    in.endX = x;
    in.endY = y;
    in.placeHeight = FSlots[0].height;
    in.aboveHead = FSlots[0].hny;
    in.belowChin = FSlots[0].bny;
    in.frameW = FFrameW;
    in.frameH = FFrameH;
    in.baseW = FFrameBaseW;
    in.baseH = FFrameBaseH;
    in.dispNum = FDispNum;
    in.dispDen = FDispDen;
    // The line's overlay and the frame both lie on the scrolled content, so
    // the frame needs no scroll offset (scrollX, scrollY stay 0).
    HeadLineFrame frame;
    if (HeadLineFrameFor(in, frame) != 0) {
        FHost.dialogs->ShowMessage(kNoHeadShareText, FTitle);
        SpeedButton1->setChecked(false);
        SpeedButton1Click();  // back to the frame as it was
        return;
    }
    Image3->setGeometry(frame.left, frame.top, frame.width, frame.height);
    FFramingFailed = false;     // the user has framed the photo
    if (!DrawFrameOverlay()) {  // out of memory, said; the tool stays on
        SetControlsEnabled(true);
        return;
    }
    Image3->raise();
    Image3->show();
    ArmGrips();
    SetControlsEnabled(true);
    SpeedButton1->setChecked(false);  // without its click: Image2 stays, see-through
}
