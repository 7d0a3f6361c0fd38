#include "app/ui_text.h"

#include <QStringList>

QFont WindowFont() {
    QFont font;
    font.setFamilies(QStringList{"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic", "IPAGothic",
                                 "Noto Sans CJK JP", "VL PGothic", "Takao PGothic"});
    font.setPixelSize(12);
    return font;
}
