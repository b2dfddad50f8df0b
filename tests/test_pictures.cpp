// The pictures as the window shows them: their sizes, the transparent background of the
// buttons' pictures and the icons, and the 16-colour palette.

#include "pictures.h"

#include <QImage>
#include <QTest>

#include <algorithm>
#include <array>

Q_DECLARE_METATYPE(Picture)

namespace {

// Black, maroon, green, olive, navy, purple, teal, silver, grey, red, lime, yellow, blue,
// fuchsia, aqua, white.
constexpr std::array<QRgb, 16> Vga16 = {
    0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFFC0C0C0,
    0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};

constexpr QRgb Black = 0xFF000000;
constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Red = 0xFFFF0000;

QImage shown(Picture picture)
{
    return LoadPicture(picture).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Pixels fully opaque and of exactly that colour.
int countOpaque(const QImage &image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == colour;
    return count;
}

int countVisible(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) != 0;
    return count;
}

const std::array<std::pair<const char *, Picture>, 11> AllPictures = {{
    {"scan", Picture::Scan},
    {"id", Picture::Id},
    {"baud rate", Picture::BaudRate},
    {"mode", Picture::Mode},
    {"process", Picture::Process},
    {"all (bulb)", Picture::All},
    {"factory", Picture::Factory},
    {"simplified Chinese", Picture::ChineseGB},
    {"traditional Chinese", Picture::ChineseBIG5},
    {"window icon", Picture::WindowIcon},
    {"application icon", Picture::ApplicationIcon},
}};

} // namespace

class PicturesTest : public QObject
{
    Q_OBJECT

private slots:
    void sizes_data();
    void sizes();
    void buttonBackgroundIsTransparent_data();
    void buttonBackgroundIsTransparent();
    void iconBackgroundIsTransparent_data();
    void iconBackgroundIsTransparent();
    void sixteenColourPicturesUseThePalette_data();
    void sixteenColourPicturesUseThePalette();
    void everyPictureIsItsOwn();
};

void PicturesTest::sizes_data()
{
    QTest::addColumn<Picture>("picture");
    QTest::addColumn<QSize>("size");
    QTest::newRow("scan") << Picture::Scan << QSize(16, 16);
    QTest::newRow("id") << Picture::Id << QSize(16, 16);
    QTest::newRow("baud rate") << Picture::BaudRate << QSize(16, 16);
    QTest::newRow("mode") << Picture::Mode << QSize(16, 16);
    QTest::newRow("process") << Picture::Process << QSize(32, 20);
    QTest::newRow("all (bulb)") << Picture::All << QSize(16, 16);
    QTest::newRow("factory") << Picture::Factory << QSize(100, 50);
    QTest::newRow("simplified Chinese") << Picture::ChineseGB << QSize(34, 16);
    QTest::newRow("traditional Chinese") << Picture::ChineseBIG5 << QSize(34, 16);
    QTest::newRow("window icon") << Picture::WindowIcon << QSize(16, 16);
    QTest::newRow("application icon") << Picture::ApplicationIcon << QSize(32, 32);
}

void PicturesTest::sizes()
{
    QFETCH(Picture, picture);
    QFETCH(QSize, size);
    const QPixmap pixmap = LoadPicture(picture);
    QVERIFY(!pixmap.isNull());
    QCOMPARE(pixmap.size(), size);
}

void PicturesTest::buttonBackgroundIsTransparent_data()
{
    QTest::addColumn<Picture>("picture");
    QTest::addColumn<QRgb>("background");
    // A colour the drawing uses that must stay visible: black outlines against the
    // white background, the white glint against the bulb's black one.
    QTest::addColumn<QRgb>("kept");
    QTest::newRow("scan") << Picture::Scan << White << Black;
    QTest::newRow("id") << Picture::Id << White << Black;
    QTest::newRow("baud rate") << Picture::BaudRate << White << Black;
    QTest::newRow("mode") << Picture::Mode << White << Black;
    QTest::newRow("process") << Picture::Process << White << Black;
    QTest::newRow("all (bulb)") << Picture::All << Black << White;
    QTest::newRow("factory") << Picture::Factory << White << Black;
    QTest::newRow("simplified Chinese") << Picture::ChineseGB << White << Red;
    QTest::newRow("traditional Chinese") << Picture::ChineseBIG5 << White << Red;
}

void PicturesTest::buttonBackgroundIsTransparent()
{
    QFETCH(Picture, picture);
    QFETCH(QRgb, background);
    QFETCH(QRgb, kept);
    const QImage image = shown(picture);
    QVERIFY(!image.isNull());
    QCOMPARE(qAlpha(image.pixel(0, image.height() - 1)), 0);
    QCOMPARE(countOpaque(image, background), 0);
    QVERIFY(countVisible(image) > 0);
    QVERIFY(countOpaque(image, kept) > 0);
}

void PicturesTest::iconBackgroundIsTransparent_data()
{
    QTest::addColumn<Picture>("picture");
    QTest::newRow("window icon") << Picture::WindowIcon;
    QTest::newRow("application icon") << Picture::ApplicationIcon;
}

void PicturesTest::iconBackgroundIsTransparent()
{
    QFETCH(Picture, picture);
    const QImage image = shown(picture);
    QVERIFY(!image.isNull());
    const int right = image.width() - 1;
    const int bottom = image.height() - 1;
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(right, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(0, bottom)), 0);
    QCOMPARE(qAlpha(image.pixel(right, bottom)), 0);
    QCOMPARE(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255);
}

void PicturesTest::sixteenColourPicturesUseThePalette_data()
{
    QTest::addColumn<Picture>("picture");
    for (const auto &[name, picture] : AllPictures) {
        // The bulb is the one true-colour picture.
        if (picture != Picture::All)
            QTest::newRow(name) << picture;
    }
}

void PicturesTest::sixteenColourPicturesUseThePalette()
{
    QFETCH(Picture, picture);
    const QImage image = shown(picture);
    QVERIFY(!image.isNull());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 0)
                continue;
            const bool inPalette = std::find(Vga16.begin(), Vga16.end(), pixel) != Vga16.end();
            if (!inPalette) {
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is #%3, not one of the 16 colours")
                                     .arg(x)
                                     .arg(y)
                                     .arg(pixel, 8, 16, QLatin1Char('0'))));
            }
        }
    }
}

// Two buttons showing the same picture would be a mix-up of files, not a drawing.
void PicturesTest::everyPictureIsItsOwn()
{
    for (std::size_t i = 0; i < AllPictures.size(); ++i) {
        for (std::size_t j = i + 1; j < AllPictures.size(); ++j) {
            const QImage first = shown(AllPictures[i].second);
            const QImage second = shown(AllPictures[j].second);
            QVERIFY2(first != second, qPrintable(QStringLiteral("%1 and %2 are the same picture")
                                                     .arg(QLatin1String(AllPictures[i].first),
                                                          QLatin1String(AllPictures[j].first))));
        }
    }
}

QTEST_MAIN(PicturesTest)
#include "test_pictures.moc"
