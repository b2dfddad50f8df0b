// tx4040-draw-icons APPLICATION.xpm WINDOW.xpm FOLDER NAME: draws the program's icon
// for the hicolor theme from its own pixel-art pictures, as FOLDER/<n>x<n>/apps/NAME.png
// and FOLDER/scalable/apps/NAME.svg. Every size is the picture's pixels repeated
// (nearest neighbour), never smoothed: blending pixel art only blurs it.

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

#include <cstdio>

namespace {

// The 16 px picture is the one drawn for small sizes; 24 repeats every other of its
// pixels, since 32 shrunk to 24 drops every fourth column and garbles the lettering.
struct IconSize
{
    int size;
    bool fromWindowPicture;
};
constexpr IconSize IconSizes[] = {{16, true},  {24, true},   {32, false}, {48, false},
                                  {64, false}, {128, false}, {256, false}};

QImage nearestNeighbour(const QImage &picture, int size)
{
    QImage icon(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x)
            icon.setPixel(x, y,
                          picture.pixel(x * picture.width() / size, y * picture.height() / size));
    }
    return icon;
}

// One rect for each run of equal pixels in a row; crispEdges keeps a renderer from
// anti-aliasing the seams between them.
QByteArray svgOf(const QImage &picture)
{
    QByteArray svg = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" "
                                    "height=\"%2\" viewBox=\"0 0 %1 %2\" "
                                    "shape-rendering=\"crispEdges\">\n")
                         .arg(picture.width())
                         .arg(picture.height())
                         .toUtf8();
    for (int y = 0; y < picture.height(); ++y) {
        int x = 0;
        while (x < picture.width()) {
            const QRgb colour = picture.pixel(x, y);
            int end = x + 1;
            while (end < picture.width() && picture.pixel(end, y) == colour)
                ++end;
            if (qAlpha(colour) != 0) {
                svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"1\" "
                                      "fill=\"%4\"")
                           .arg(x)
                           .arg(y)
                           .arg(end - x)
                           .arg(QColor(colour).name())
                           .toUtf8();
                if (qAlpha(colour) != 255)
                    svg += " fill-opacity=\"" + QByteArray::number(qAlpha(colour) / 255.0) + '"';
                svg += "/>\n";
            }
            x = end;
        }
    }
    return svg + "</svg>\n";
}

bool fail(const QString &message)
{
    std::fprintf(stderr, "tx4040-draw-icons: %s\n", qPrintable(message));
    return false;
}

bool loadPicture(const QString &path, QImage &picture)
{
    if (!picture.load(path))
        return fail(QStringLiteral("cannot read the picture %1").arg(path));
    picture = picture.convertToFormat(QImage::Format_ARGB32);
    return true;
}

bool writeIcon(const QString &folder, const QString &size, const QString &file,
               const QByteArray &contents)
{
    const QString path = QStringLiteral("%1/%2/apps").arg(folder, size);
    if (!QDir().mkpath(path))
        return fail(QStringLiteral("cannot make the folder %1").arg(path));
    QFile out(path + u'/' + file);
    if (contents.isEmpty())
        return fail(QStringLiteral("cannot encode %1").arg(out.fileName()));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(contents) != contents.size() || !out.flush())
        return fail(QStringLiteral("cannot write %1").arg(out.fileName()));
    return true;
}

QByteArray pngOf(const QImage &icon)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !icon.save(&buffer, "PNG"))
        return {};
    return png;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: tx4040-draw-icons APPLICATION.xpm WINDOW.xpm FOLDER NAME\n");
        return 2;
    }
    QImage application;
    QImage window;
    if (!loadPicture(QFile::decodeName(argv[1]), application) ||
        !loadPicture(QFile::decodeName(argv[2]), window))
        return 1;
    const QString folder = QFile::decodeName(argv[3]);
    const QString name = QFile::decodeName(argv[4]);

    for (const IconSize &icon : IconSizes) {
        const QImage drawn =
            nearestNeighbour(icon.fromWindowPicture ? window : application, icon.size);
        if (!writeIcon(folder, QStringLiteral("%1x%1").arg(icon.size), name + QLatin1String(".png"),
                       pngOf(drawn)))
            return 1;
    }
    if (!writeIcon(folder, QStringLiteral("scalable"), name + QLatin1String(".svg"),
                   svgOf(application)))
        return 1;
    return 0;
}
