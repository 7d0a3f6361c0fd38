#pragma once
// The preview window: a reduced copy of the print sheet after the last
// composition, in a scrolling area.
#include <QWidget>

#include "platform/bitmap.h"

class QScrollArea;
class TImage;

class TForm3 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm3(QWidget* parent = nullptr);

    void FormShow();
    // Fills the picture white (the sheet preview is cleared).
    void ClearPreview();
    // Shows `preview`, already reduced to the picture's height.
    void SetPreview(const Bitmap& preview);

    QScrollArea* ScrollBox1;
    TImage* Image1;

    static constexpr int kPictureHeight = 712;

  protected:
    void showEvent(QShowEvent* event) override;
};
