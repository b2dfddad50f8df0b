#include "pictures.h"

#include <QImage>
#include <QString>

namespace {

// Paths in the resources that ui/CMakeLists.txt registers; the files are drawn by
// tools/draw_pictures.py.
QString resourcePath(Picture picture)
{
    switch (picture) {
    case Picture::Scan:
        return QStringLiteral(":/pictures/scan.xpm");
    case Picture::Id:
        return QStringLiteral(":/pictures/id.xpm");
    case Picture::BaudRate:
        return QStringLiteral(":/pictures/baud_rate.xpm");
    case Picture::Mode:
        return QStringLiteral(":/pictures/mode.xpm");
    case Picture::Process:
        return QStringLiteral(":/pictures/process.xpm");
    case Picture::All:
        return QStringLiteral(":/pictures/all.xpm");
    case Picture::Factory:
        return QStringLiteral(":/pictures/factory.xpm");
    case Picture::ChineseGB:
        return QStringLiteral(":/pictures/chinese_gb.xpm");
    case Picture::ChineseBIG5:
        return QStringLiteral(":/pictures/chinese_big5.xpm");
    case Picture::WindowIcon:
        return QStringLiteral(":/pictures/window_icon.xpm");
    case Picture::ApplicationIcon:
        return QStringLiteral(":/pictures/application_icon.xpm");
    }
    return {};
}

bool isIcon(Picture picture)
{
    return picture == Picture::WindowIcon || picture == Picture::ApplicationIcon;
}

// The button pictures follow the old bitmap-button convention: no alpha channel, and the
// bottom-left pixel names the background colour. Keying on that pixel rather than on a
// fixed colour is what lets the bulb keep its white glint on a black background.
QImage withBackgroundCleared(const QImage &picture)
{
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb background = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] == background)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return image;
}

} // namespace

QPixmap LoadPicture(Picture picture)
{
    const QImage stored(resourcePath(picture));
    if (stored.isNull())
        return {};
    return QPixmap::fromImage(isIcon(picture) ? stored : withBackgroundCleared(stored));
}

QIcon PictureIcon(Picture picture)
{
    const QPixmap pixmap = LoadPicture(picture);
    QIcon icon(pixmap);
    if (pixmap.isNull())
        return icon;
    // The largest screens in use show four device pixels to the point; between the
    // sizes Qt picks the next larger one and scales it down.
    for (int factor = 2; factor <= 4; ++factor)
        icon.addPixmap(
            pixmap.scaled(pixmap.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    return icon;
}
