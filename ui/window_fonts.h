#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// "MS Sans Serif" is not on Linux. Liberation Sans is the closest free sans; the
// Chinese texts come from WenQuanYi Zen Hei, which holds both scripts.
inline const QString WindowFontFamily = QStringLiteral("Liberation Sans");
inline const QString ChineseFontFamily = QStringLiteral("WenQuanYi Zen Hei");

// A font of the window at a character height in pixels.
QFont WindowFont(int pixelSize, bool bold);
