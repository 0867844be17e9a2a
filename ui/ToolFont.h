#pragma once
// The font of the tool windows: Verdana 8 pt, or a condensed sans serif where Verdana is missing, so
// that the fixed-size windows keep their captions whole.

#include <QFont>
#include <QFontDatabase>

namespace orvex {

inline QFont Tool_Window_Font() {
    if (QFontDatabase::hasFamily(QStringLiteral("Verdana"))) return QFont(QStringLiteral("Verdana"), 8);
    QFont font(QStringLiteral("DejaVu Sans"), 8);
    font.setStretch(QFont::Condensed);
    return font;
}

}  // namespace orvex
