#pragma once
// Small conversions between the core's UTF-8 strings and Qt, and the window
// font.
#include <QFont>
#include <QLocale>
#include <QString>
#include <string>

#include "platform/memory.h"

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
inline std::string S(const QString& s) {
    return s.toStdString();
}

// "ＭＳ Ｐゴシック" 12 pixels high, falling back to an installed Japanese
// Gothic face.
QFont WindowFont();

class QWidget;
// Places a top-level window at the centre of its screen's available area
// (its top-left corner kept on the screen).
void CentreOnScreen(QWidget* window);

// The program speaks Japanese whatever the system's language: collation of
// names, and the texts of Qt's own dialogs and buttons.
QLocale ProgramLocale();
// Loads Qt's Japanese translations of its standard dialogs and buttons;
// false when they are not installed.
bool InstallQtTranslations();

// Texts used by more than one window.
inline constexpr const char* kTitle = "Kambrix";
inline constexpr const char* kNoCascadeText = "顔認識用のXMLデータが見つかりません。";
inline constexpr const char* kCascadeFile = "haarcascade_frontalface_default.xml";
