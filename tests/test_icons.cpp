// The icons the desktop shows for the program, as the build draws them: each size is
// one of the program's own pictures with its pixels repeated, never blended, and the
// scalable icon paints exactly the 32 px picture with crisp edges.

#include <QFile>
#include <QImage>
#include <QTest>
#include <QXmlStreamReader>

#include <set>

namespace {

const QString IconFolder = QStringLiteral(TX4040_ICON_FOLDER);
const QString IconName = QStringLiteral(TX4040_DESKTOP_ID);

QImage picture(const QString &name)
{
    const QImage image(QStringLiteral(TX4040_PICTURE_FOLDER "/") + name + QLatin1String(".xpm"));
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Every fully transparent pixel is the same background, whatever its colour bits.
bool samePixel(QRgb a, QRgb b)
{
    return a == b || (qAlpha(a) == 0 && qAlpha(b) == 0);
}

} // namespace

class IconsTest : public QObject
{
    Q_OBJECT

private slots:
    void everySizeRepeatsThePicturesPixels_data();
    void everySizeRepeatsThePicturesPixels();
    void scalableIconPaintsThePicture();
};

void IconsTest::everySizeRepeatsThePicturesPixels_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("source");
    QTest::newRow("16 px: the window picture as drawn") << 16 << "window_icon";
    // 32 shrunk to 24 would drop columns of the lettering; 16 grown keeps every one.
    QTest::newRow("24 px: the window picture, one and a half times") << 24 << "window_icon";
    QTest::newRow("32 px: the application picture as drawn") << 32 << "application_icon";
    QTest::newRow("48 px: the application picture, one and a half times")
        << 48 << "application_icon";
    QTest::newRow("64 px: the application picture, twice") << 64 << "application_icon";
    QTest::newRow("128 px: the application picture, four times") << 128 << "application_icon";
    QTest::newRow("256 px: the application picture, eight times") << 256 << "application_icon";
}

void IconsTest::everySizeRepeatsThePicturesPixels()
{
    QFETCH(int, size);
    QFETCH(QString, source);
    const QImage original = picture(source);
    QVERIFY(!original.isNull());
    const QString path =
        QStringLiteral("%1/%2x%2/apps/%3.png").arg(IconFolder).arg(size).arg(IconName);
    const QImage icon = QImage(path).convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(!icon.isNull(), qPrintable(path));
    QCOMPARE(icon.size(), QSize(size, size));

    std::set<int> columns;
    std::set<int> rows;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int sx = x * original.width() / size;
            const int sy = y * original.height() / size;
            columns.insert(sx);
            rows.insert(sy);
            if (!samePixel(icon.pixel(x, y), original.pixel(sx, sy)))
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is #%3, the picture's (%4, %5) #%6")
                                     .arg(x)
                                     .arg(y)
                                     .arg(icon.pixel(x, y), 8, 16, QLatin1Char('0'))
                                     .arg(sx)
                                     .arg(sy)
                                     .arg(original.pixel(sx, sy), 8, 16, QLatin1Char('0'))));
        }
    }
    // No row or column of the picture is left out.
    QCOMPARE(int(columns.size()), original.width());
    QCOMPARE(int(rows.size()), original.height());
}

void IconsTest::scalableIconPaintsThePicture()
{
    const QImage original = picture(QStringLiteral("application_icon"));
    QVERIFY(!original.isNull());
    QFile file(QStringLiteral("%1/scalable/apps/%2.svg").arg(IconFolder, IconName));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));

    QImage painted(original.size(), QImage::Format_ARGB32);
    painted.fill(Qt::transparent);
    int rects = 0;
    QXmlStreamReader svg(&file);
    while (svg.readNextStartElement()) {
        const QXmlStreamAttributes attributes = svg.attributes();
        const auto attribute = [&](const char *name) {
            return attributes.value(QLatin1String(name)).toString();
        };
        if (svg.name() == QLatin1String("svg")) {
            QCOMPARE(attribute("viewBox"), QStringLiteral("0 0 32 32"));
            // Without it a renderer blends the seams between neighbouring runs.
            QCOMPARE(attribute("shape-rendering"), QStringLiteral("crispEdges"));
            continue;
        }
        QCOMPARE(svg.name().toString(), QStringLiteral("rect"));
        const QRect rect(attribute("x").toInt(), attribute("y").toInt(), attribute("width").toInt(),
                         attribute("height").toInt());
        QVERIFY(rect.isValid());
        QVERIFY(QRect(QPoint(0, 0), original.size()).contains(rect));
        const QColor fill(attribute("fill"));
        QVERIFY(fill.isValid());
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                QVERIFY2(qAlpha(painted.pixel(x, y)) == 0, "two rects paint one pixel");
                painted.setPixel(x, y, fill.rgba());
            }
        }
        ++rects;
        svg.skipCurrentElement();
    }
    QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
    QVERIFY(rects > 0);

    for (int y = 0; y < original.height(); ++y) {
        for (int x = 0; x < original.width(); ++x) {
            if (!samePixel(painted.pixel(x, y), original.pixel(x, y)))
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) differs").arg(x).arg(y)));
        }
    }
}

QTEST_GUILESS_MAIN(IconsTest)
#include "test_icons.moc"
