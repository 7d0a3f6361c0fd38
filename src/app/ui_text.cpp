#include "app/ui_text.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QStringList>
#include <QTranslator>
#include <QWidget>

QFont WindowFont() {
    QFont font;
    font.setFamilies(QStringList{"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic", "IPAGothic",
                                 "Noto Sans CJK JP", "VL PGothic", "Takao PGothic"});
    font.setPixelSize(12);
    return font;
}

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize size = window->frameGeometry().size();
    window->move(std::max(area.left(), area.left() + (area.width() - size.width()) / 2),
                 std::max(area.top(), area.top() + (area.height() - size.height()) / 2));
}

QLocale ProgramLocale() {
    return QLocale(QLocale::Japanese, QLocale::Japan);
}

bool InstallQtTranslations() {
    static QTranslator* translator = nullptr;
    if (translator) return true;
    auto* loaded = new QTranslator(QCoreApplication::instance());
    // Qt's own folder first; beside the program where Qt is deployed with it.
    for (const QString& folder :
         {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
          QCoreApplication::applicationDirPath() + QStringLiteral("/translations")}) {
        if (loaded->load(ProgramLocale(), QStringLiteral("qtbase"), QStringLiteral("_"), folder) &&
            QCoreApplication::installTranslator(loaded)) {
            translator = loaded;
            return true;
        }
    }
    delete loaded;
    return false;
}
