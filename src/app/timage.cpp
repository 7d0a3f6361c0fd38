#include "app/timage.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>
#include <utility>

namespace {

QPoint ClientPoint(const QMouseEvent* event) {
    const QPointF p = event->position();
    return {static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y()))};
}

// A view of the picture's bytes, no copy.
QImage ImageView(const Bitmap& picture) {
    return QImage(picture.Data(), picture.Width(), picture.Height(), picture.Stride(),
                  QImage::Format_BGR888);
}

}  // namespace

TImage::TImage(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
}

void TImage::SetPicture(Bitmap picture) {
    FPicture = std::move(picture);
    PictureChanged();
}

void TImage::FillPicture(Rgb colour) {
    FPicture.Fill(colour);
    PictureChanged();
}

void TImage::ClearPicture() {
    SetPicture(Bitmap());
}

void TImage::PictureChanged() {
    FKeyedStale = true;
    update();
}

void TImage::SetTransparent(bool transparent) {
    if (FTransparent == transparent) return;
    FTransparent = transparent;
    PictureChanged();
}

void TImage::SetHint(const QString& hint) {
    FHint = hint;
    UpdateToolTip();
}

void TImage::SetShowHint(bool show) {
    FShowHintFlag = show;
    UpdateToolTip();
}

void TImage::UpdateToolTip() {
    setToolTip(FShowHintFlag ? FHint : QString());
}

const QImage& TImage::KeyedImage() {
    if (!FKeyedStale) return FKeyed;
    FKeyedStale = false;
    const int w = FPicture.Width(), h = FPicture.Height();
    FKeyed = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    if (FKeyed.isNull()) return FKeyed;
    const std::uint32_t key = PackRgb(FPicture.Pixel(0, h - 1));
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = FPicture.Row(y);
        auto* dst = reinterpret_cast<std::uint32_t*>(FKeyed.scanLine(y));
        for (int x = 0; x < w; ++x, src += 3) {
            const std::uint32_t rgb = (std::uint32_t(src[2]) << 16) | (src[1] << 8) | src[0];
            dst[x] = rgb == key ? 0u : (0xFF000000u | rgb);
        }
    }
    return FKeyed;
}

void TImage::paintEvent(QPaintEvent* event) {
    if (FPicture.Empty()) return;
    const QRect area = event->rect() & QRect(0, 0, FPicture.Width(), FPicture.Height());
    if (area.isEmpty()) return;
    QPainter painter(this);
    if (FTransparent)
        painter.drawImage(area, KeyedImage(), area);
    else
        painter.drawImage(area, ImageView(FPicture), area);
}

void TImage::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TImage::MouseMove(Qt::KeyboardModifiers shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TImage::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TImage::mousePressEvent(QMouseEvent* event) {
    const QPoint p = ClientPoint(event);
    MouseDown(event->button(), event->modifiers(), p.x(), p.y());
}

void TImage::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = ClientPoint(event);
    MouseMove(event->modifiers(), p.x(), p.y());
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = ClientPoint(event);
    MouseUp(event->button(), event->modifiers(), p.x(), p.y());
}
