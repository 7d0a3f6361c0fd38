#include "app/form3.h"

#include <QScrollArea>
#include <QScrollBar>

#include "app/timage.h"
#include "app/ui_text.h"

namespace {
// The default L-size sheet (1051 x 1500) shown 712 pixels high.
constexpr int kInitialWidth = 498;
}  // namespace

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(QString::fromUtf8("プレビュー"));
    setFont(WindowFont());
    setFixedSize(566, 719);
    CentreOnScreen(this);
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setGeometry(8, 0, 545, 705);
    ScrollBox1->setWidgetResizable(false);
    Image1 = new TImage;
    Image1->resize(kInitialWidth, kPictureHeight);
    ScrollBox1->setWidget(Image1);
    ClearPreview();
}

void TForm3::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TForm3::FormShow() {
    ScrollBox1->horizontalScrollBar()->setValue(0);
    ScrollBox1->verticalScrollBar()->setValue(0);
    Image1->move(0, 0);
}

void TForm3::ClearPreview() {
    Bitmap white(Image1->width(), Image1->height(), kWhite);
    Image1->SetPicture(white);
}

void TForm3::SetPreview(const Bitmap& preview) {
    Image1->resize(preview.Width(), kPictureHeight);
    Image1->SetPicture(preview);
}
