#pragma once
// The crop frame's grip component: a see-through control lying FMargin pixels
// around the framed control, with eight grips. Drags on a corner grip resize
// the frame; drags on the other grips, on the margin ring or (forwarded by the
// host through PtMouseDown/Move/Up) on the frame itself move it. The frame
// keeps the aspect it had when attached, stays inside (0, 0, FBoundW, FBoundH)
// and between the size limits.
#include <QColor>
#include <QPointer>
#include <array>
#include <functional>
#include <string>

#include "app/timage.h"
#include "frame/crop_frame.h"

// One 7 x 7 grip: black with a white one-pixel outline. Its Tag is its index.
class TResizeGrip : public TImage {
    Q_OBJECT

  public:
    TResizeGrip(int tag, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

class TResizeControl : public TImage {
    Q_OBJECT

  public:
    // The widget parent is where the component waits until a control is
    // attached; attaching moves it (and the grips) to the control's parent.
    explicit TResizeControl(QWidget* owner = nullptr);
    ~TResizeControl() override;

    // Attaches the grips around `control` (taking its size as the aspect and
    // its bounds as the last accepted rectangle) or, with nullptr, detaches
    // and hides them. The control is raised above the component so that it
    // receives the clicks inside it; the grips lie above both.
    QWidget* Control() const { return FControl; }
    void SetControl(QWidget* control);
    // Limits of the frame; `sender` is not used.
    void SetXYSize(const void* sender, int maxW, int maxH, int minW, int minH, int boundW,
                   int boundH, bool keepAspect);
    // Reparents the component and detaches it.
    void SetParent(QWidget* parent);
    QColor Color() const { return FColor; }
    void SetBackColor(const QColor& colour);
    // The coordinate hint while dragging (not the tool tip of the control).
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool flag);

    void ShowGrips();
    void HideGrips();
    void Hide();  // the grips and the component
    void MoveGrips();
    TResizeGrip* Grip(int tag) const { return FGrips[tag]; }

    // Hosts forward the framed control's mouse events here, with the component
    // as sender and the coordinates in the framed control's client area.
    void PtMouseDown(TImage* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                     int y);
    void PtMouseMove(TImage* sender, Qt::KeyboardModifiers shift, int x, int y);
    void PtMouseUp(TImage* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                   int y);

    // The host events (OnMouseDown, OnMouseMove, OnMouseUp, inherited) run
    // first; then a left-button drag moves or resizes the frame, and OnStep
    // runs with the frame at its new bounds.
    std::function<void()> OnStep;
    void DoMouseDown(TImage* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                     int y);
    void DoMouseMove(TImage* sender, Qt::KeyboardModifiers shift, int x, int y);
    void DoMouseUp(TImage* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                   int y);
    // One drag step: (x, y) in the sender's client area.
    void Move(TImage* sender, int x, int y);

    bool Dragging() const { return FDragging; }
    FrameBounds LastAccepted() const { return {FLastLeft, FLastTop, FLastWidth, FLastHeight}; }
    GripLimits Limits() const;
    const std::string& HintText() const { return FHintText; }

  protected:
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseMove(Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;

  private:
    void SetOwnBounds(const QRect& frame);
    void ShowDragHint(TImage* sender, int x, int y);

    QPointer<QWidget> FControl;
    QColor FColor;  // invalid: none
    bool FDragging = false;
    bool FInMove = true;
    bool FShowHint = false;
    bool FHintShown = false;
    std::array<QPointer<TResizeGrip>, kGripCount> FGrips;
    int FGripOffset = kGripOffset;
    int FMargin = kFrameMargin;
    int FGripSize = kGripSize;
    int FDownX = 0, FDownY = 0;
    int FMaxW = 0, FMaxH = 0, FMinW = 0, FMinH = 0;
    bool FKeepAspect = true;
    int FLastWidth = 0, FLastHeight = 0, FLastTop = 0, FLastLeft = 0;
    int FAspectW = 0, FAspectH = 0;
    int FBoundW = 0, FBoundH = 0;
    std::string FHintText;
};
