// tx4040-screenshot FILE [WINDOW]: saves the screen of $DISPLAY, or only the X window
// with that id, as a PNG. For the demo and the tests under Xvfb, which has no
// screenshot tool of its own.

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: tx4040-screenshot FILE.png [WINDOW-ID]\n");
        return 2;
    }
    const WId window = argc == 3 ? QByteArray(argv[2]).toULongLong() : 0;
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(window).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "tx4040-screenshot: cannot grab the screen into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
