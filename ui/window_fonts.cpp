#include "window_fonts.h"

QFont WindowFont(int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies(QStringList{WindowFontFamily, ChineseFontFamily});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}
