#pragma once
// Small conversions between the core's UTF-8 strings and Qt, and the window
// font.
#include <QFont>
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

// Texts used by more than one window.
inline constexpr const char* kTitle = "Kambrix";
inline constexpr const char* kNoCascadeText = "顔認識用のXMLデータが見つかりません。";
inline constexpr const char* kCascadeFile = "haarcascade_frontalface_default.xml";
