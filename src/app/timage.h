#pragma once
// An image control: paints a 24-bit picture at its top-left corner, unscaled,
// optionally with the colour of the picture's bottom-left pixel see-through,
// and reports mouse events with the sender and client coordinates.
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

#include "platform/bitmap.h"

class TImage : public QWidget {
    Q_OBJECT

  public:
    using MouseButtonEvent = std::function<void(TImage* sender, Qt::MouseButton button,
                                                Qt::KeyboardModifiers shift, int x, int y)>;
    using MouseMoveEvent =
        std::function<void(TImage* sender, Qt::KeyboardModifiers shift, int x, int y)>;

    explicit TImage(QWidget* parent = nullptr);

    // The picture. After editing it in place through Picture(), call
    // PictureChanged() so that the control repaints with the new content.
    const Bitmap& Picture() const { return FPicture; }
    Bitmap& Picture() { return FPicture; }
    void SetPicture(Bitmap picture);
    void FillPicture(Rgb colour);
    void ClearPicture();
    void PictureChanged();

    // Transparent: pixels of the bottom-left pixel's colour are not painted,
    // the parent shows through them. The whole control still takes the mouse.
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool transparent);

    // The hint shows as a tool tip while ShowHint is on.
    const QString& Hint() const { return FHint; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return FShowHintFlag; }
    void SetShowHint(bool show);

    int Tag = 0;
    MouseButtonEvent OnMouseDown;
    MouseMoveEvent OnMouseMove;
    MouseButtonEvent OnMouseUp;

  protected:
    // The control's own mouse handling; by default they call the events above.
    virtual void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    virtual void MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    virtual void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void UpdateToolTip();
    const QImage& KeyedImage();

    Bitmap FPicture;
    bool FTransparent = false;
    QString FHint;
    bool FShowHintFlag = false;
    QImage FKeyed;  // the picture with the key colour cleared, built when first painted
    bool FKeyedStale = true;
};
