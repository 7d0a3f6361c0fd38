#include "app/tresizecontrol.h"

#include <QPainter>
#include <QToolTip>

namespace {

Qt::CursorShape CursorShapeOf(int tag) {
    switch (GripCursorOf(tag)) {
        case GripCursor::DiagonalNwSe:
            return Qt::SizeFDiagCursor;
        case GripCursor::DiagonalNeSw:
            return Qt::SizeBDiagCursor;
        case GripCursor::Move:
            break;
    }
    return Qt::SizeAllCursor;
}

// Sets a flag for the lifetime of the guard, cleared on every way out.
class InMoveGuard {
  public:
    explicit InMoveGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~InMoveGuard() { flag_ = false; }
    InMoveGuard(const InMoveGuard&) = delete;
    InMoveGuard& operator=(const InMoveGuard&) = delete;

  private:
    bool& flag_;
};

FrameBounds BoundsOf(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

}  // namespace

TResizeGrip::TResizeGrip(int tag, QWidget* parent) : TImage(parent) {
    Tag = tag;
    setCursor(CursorShapeOf(tag));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kGripSize, kGripSize);
    hide();
}

void TResizeGrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setPen(Qt::white);
    painter.drawRect(0, 0, width() - 1, height() - 1);
}

TResizeControl::TResizeControl(QWidget* owner) : TImage(owner) {
    FInMove = true;
    Tag = kFrameTag;
    setCursor(Qt::SizeAllCursor);
    SetTransparent(true);
    setGeometry(0, 0, 0, 0);
    hide();
    for (int i = 0; i < kGripCount; ++i) {
        auto* grip = new TResizeGrip(i, owner);
        grip->resize(FGripSize, FGripSize);
        grip->OnMouseDown = [this](TImage* s, Qt::MouseButton b, Qt::KeyboardModifiers m, int x,
                                   int y) { DoMouseDown(s, b, m, x, y); };
        grip->OnMouseMove = [this](TImage* s, Qt::KeyboardModifiers m, int x, int y) {
            DoMouseMove(s, m, x, y);
        };
        grip->OnMouseUp = [this](TImage* s, Qt::MouseButton b, Qt::KeyboardModifiers m, int x,
                                 int y) { DoMouseUp(s, b, m, x, y); };
        FGrips[i] = grip;
    }
    FInMove = false;
}

TResizeControl::~TResizeControl() {
    if (FHintShown) QToolTip::hideText();
    // The grips are siblings, not children: free the ones still alive.
    for (auto& grip : FGrips) delete grip.data();
}

void TResizeControl::SetOwnBounds(const QRect& frame) {
    setGeometry(frame.adjusted(-FMargin, -FMargin, FMargin, FMargin));
}

void TResizeControl::SetControl(QWidget* control) {
    FControl = control;
    if (!control || !control->parentWidget()) {
        Hide();
        return;
    }
    if (parentWidget() != control->parentWidget()) QWidget::setParent(control->parentWidget());
    ClearPicture();
    const QRect frame = control->geometry();
    SetOwnBounds(frame);
    FLastLeft = frame.x();
    FLastTop = frame.y();
    FLastWidth = frame.width();
    FLastHeight = frame.height();
    FAspectW = frame.width();
    FAspectH = frame.height();
    show();
    raise();
    control->raise();
    ShowGrips();
}

void TResizeControl::SetXYSize(const void*, int maxW, int maxH, int minW, int minH, int boundW,
                               int boundH, bool keepAspect) {
    FMaxW = maxW;
    FMaxH = maxH;
    FMinW = minW;
    FMinH = minH;
    FBoundW = boundW;
    FBoundH = boundH;
    FKeepAspect = keepAspect;
}

void TResizeControl::SetParent(QWidget* parent) {
    QWidget::setParent(parent);
    if (parent) SetControl(nullptr);
}

void TResizeControl::SetBackColor(const QColor& colour) {
    FColor = colour;
}

void TResizeControl::SetShowHint(bool flag) {
    FShowHint = flag;
}

GripLimits TResizeControl::Limits() const {
    GripLimits lim;
    lim.minW = FMinW;
    lim.minH = FMinH;
    lim.maxW = FMaxW;
    lim.maxH = FMaxH;
    lim.boundW = FBoundW;
    lim.boundH = FBoundH;
    lim.keepAspect = FKeepAspect;
    lim.aspectW = FAspectW;
    lim.aspectH = FAspectH;
    return lim;
}

void TResizeControl::MoveGrips() {
    for (int i = 0; i < kGripCount; ++i) {
        if (!FGrips[i]) continue;
        const GripPoint at = GripPosition(i, x(), y(), width(), height(), FGripOffset, FGripSize);
        FGrips[i]->move(at.left, at.top);
    }
}

void TResizeControl::ShowGrips() {
    // Without a parent a grip would become a window of its own.
    if (!parentWidget()) return;
    MoveGrips();
    for (auto& grip : FGrips) {
        if (!grip) continue;
        if (grip->parentWidget() != parentWidget()) grip->setParent(parentWidget());
        grip->show();
        grip->raise();
    }
}

void TResizeControl::HideGrips() {
    for (auto& grip : FGrips)
        if (grip) grip->hide();
}

void TResizeControl::Hide() {
    HideGrips();
    hide();
}

void TResizeControl::PtMouseDown(TImage* sender, Qt::MouseButton button,
                                 Qt::KeyboardModifiers shift, int x, int y) {
    DoMouseDown(sender, button, shift, x, y);
}

void TResizeControl::PtMouseMove(TImage* sender, Qt::KeyboardModifiers shift, int x, int y) {
    DoMouseMove(sender, shift, x, y);
}

void TResizeControl::PtMouseUp(TImage* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                               int x, int y) {
    DoMouseUp(sender, button, shift, x, y);
}

void TResizeControl::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    DoMouseDown(this, button, shift, x, y);
}

void TResizeControl::MouseMove(Qt::KeyboardModifiers shift, int x, int y) {
    DoMouseMove(this, shift, x, y);
}

void TResizeControl::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    DoMouseUp(this, button, shift, x, y);
}

void TResizeControl::DoMouseDown(TImage* sender, Qt::MouseButton button,
                                 Qt::KeyboardModifiers shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(sender, button, shift, x, y);
    if (FInMove) return;
    InMoveGuard guard(FInMove);
    if (button != Qt::LeftButton) return;
    FDragging = true;
    FDownX = x;
    FDownY = y;
    if (sender->Tag == kFrameTag) HideGrips();
    Move(sender, x, y);
}

void TResizeControl::DoMouseMove(TImage* sender, Qt::KeyboardModifiers shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(sender, shift, x, y);
    if (FInMove || !FDragging) return;
    InMoveGuard guard(FInMove);
    Move(sender, x, y);
}

void TResizeControl::DoMouseUp(TImage* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                               int x, int y) {
    if (OnMouseUp) OnMouseUp(sender, button, shift, x, y);
    if (FInMove) return;
    InMoveGuard guard(FInMove);
    if (FDragging) Move(sender, x, y);
    if (sender->Tag == kFrameTag && FControl) ShowGrips();
    if (FHintShown) QToolTip::hideText();
    FHintShown = false;
    FDragging = false;
}

void TResizeControl::Move(TImage* sender, int x, int y) {
    if (!FControl) return;
    const int dx = x - FDownX, dy = y - FDownY;
    const FrameStep step = FrameMoveStep(BoundsOf(FControl->geometry()), sender->Tag, dx, dy,
                                         Limits(), LastAccepted());
    const FrameBounds& f = step.frame;
    FControl->setGeometry(f.left, f.top, f.width, f.height);
    FLastLeft = step.last.left;
    FLastTop = step.last.top;
    FLastWidth = step.last.width;
    FLastHeight = step.last.height;
    SetOwnBounds(QRect(f.left, f.top, f.width, f.height));
    if (sender->Tag != kFrameTag) MoveGrips();
    FHintText = FrameHintText(sender->Tag, f, x, y, dx, dy);
    if (FShowHint) ShowDragHint(sender, x, y);
    if (OnStep) OnStep();
}

void TResizeControl::ShowDragHint(TImage* sender, int x, int y) {
    const QPoint point = sender->mapToGlobal(QPoint(x, y));
    QToolTip::showText(point + QPoint(9, -9), QString::fromStdString(FHintText));
    FHintShown = true;
}
