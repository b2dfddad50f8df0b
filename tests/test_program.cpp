// The real program in a real window, on a private X server.

#include "message_table.h"
#include "session_bus.h"
#include "simulated_ports.h"
#include "stored_settings.h"
#include "xvfb_display.h"

#include <QCoreApplication>
#include <QImage>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

QString programPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tx4040-config");
}

// The real program on the private display, with its configuration in `configFolder`,
// beside the simulated module.
void startProgram(QProcess &program, const XvfbDisplay &x, const QString &configFolder,
                  const QStringList &arguments = {})
{
    QProcessEnvironment environment = WithPtyLine(QProcessEnvironment::systemEnvironment());
    environment.insert(QStringLiteral("DISPLAY"), x.display());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder);
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(environment);
    program.start(programPath(), arguments);
}

// The program's window, as xdotool names it.
QString waitForWindow(const XvfbDisplay &x)
{
    return x
        .run(QStringLiteral("xdotool"),
             {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"),
              QStringLiteral("^VANTREL TX4040")})
        .section(u'\n', 0, 0);
}

// A mouse click at a place within the window, as the operator's.
void clickAt(const XvfbDisplay &x, const QString &window, QPoint place)
{
    x.run(QStringLiteral("xdotool"),
          {QStringLiteral("mousemove"), QStringLiteral("--window"), window,
           QString::number(place.x()), QString::number(place.y()), QStringLiteral("click"),
           QStringLiteral("1")});
}

QImage screenshot(const XvfbDisplay &x, const QString &window, const QString &folder)
{
    const QString file = folder + QStringLiteral("/shot.png");
    QFile::remove(file);
    x.run(QCoreApplication::applicationDirPath() + QStringLiteral("/tx4040-screenshot"),
          {file, window});
    return QImage(file);
}

// Centres of controls within the window (design places; the test display is at 96 dpi).
const QPoint ScanButton(180, 94);
const QPoint ModeButton(180, 314);
const QPoint ProcessButton(158, 384);
const QPoint BoxDI2(216, 282);
const QPoint BoxDO2(224, 352);
const QPoint CommunicationLamp(8 + 310 + 11, 4 + 8 + 10);
const QPoint InputLamp[4] = {{13, 351}, {53, 351}, {93, 351}, {133, 351}};
const QColor Yellow(255, 255, 0);
const QColor White(255, 255, 255);

void storeLanguage(const QString &configFolder, const QString &flag)
{
    QDir().mkpath(configFolder + QStringLiteral("/VANTREL"));
    QFile file(configFolder + QStringLiteral("/VANTREL/Morvale.reg"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Morvale]\n\"LanguageFlag\"=\"" +
               flag.toUtf8() + "\"\n");
}

} // namespace

class ProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void windowTitle_data();
    void windowTitle();
    void scanModeAndLiveIo();
    void withoutADisplay_data();
    void withoutADisplay();
};

void ProgramTest::windowTitle_data()
{
    QTest::addColumn<QString>("storedLanguage"); // null: nothing stored
    QTest::addColumn<QString>("surroundings");
    QTest::addColumn<QString>("title");
    QTest::newRow("first run, no session bus") << QString() << "no session bus"
                                               << "VANTREL TX4040 Module Config V3.20-01";
    QTest::newRow("Traditional Chinese stored, a session bus")
        << "ChineseBIG5"
        << "session bus"
        << "VANTREL TX4040 輸入輸出模組設定程式 V3.20-01";
    QTest::newRow("no icon theme") << QString() << "no icon theme"
                                   << "VANTREL TX4040 Module Config V3.20-01";
}

void ProgramTest::windowTitle()
{
    QFETCH(QString, storedLanguage);
    QFETCH(QString, surroundings);
    QFETCH(QString, title);
    XvfbDisplay x;
    QVERIFY2(!x.display().isEmpty(), "Xvfb did not start");
    QTemporaryDir config;
    if (!storedLanguage.isNull())
        storeLanguage(config.path(), storedLanguage);
    const QDir before(config.path() + QStringLiteral("/VANTREL"));
    const QStringList filesBefore = before.entryList(QDir::Files);

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), x.display());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    // Whatever the desktop lacks, the program starts as ever and says nothing alarming;
    // asked to serve a screen reader it looks for the accessibility bus.
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    // As a desktop session has it: without one, Qt itself warns.
    QTemporaryDir runtime;
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    SessionBus bus;
    if (surroundings == u"session bus")
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    if (surroundings == u"no icon theme") {
        environment.insert(QStringLiteral("XDG_DATA_DIRS"), config.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), config.path());
    }
    program.setProcessEnvironment(environment);
    program.start(programPath(), {});
    QVERIFY(program.waitForStarted());

    const QString window = x.run(QStringLiteral("xdotool"),
                                 {QStringLiteral("search"), QStringLiteral("--sync"),
                                  QStringLiteral("--name"), QStringLiteral("^VANTREL TX4040")})
                               .section(u'\n', 0, 0);
    QVERIFY2(!window.isEmpty(), "no window appeared");
    QCOMPARE(x.run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), window}), title);

    // SIGTERM closes the idle window and ends the program; nothing is stored at exit.
    ::kill(program.processId(), SIGTERM);
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(QDir(config.path() + QStringLiteral("/VANTREL")).entryList(QDir::Files), filesBefore);
    const QByteArray said = program.readAllStandardError();
    QVERIFY2(said.isEmpty(), said.constData());
}

void ProgramTest::scanModeAndLiveIo()
{
    XvfbDisplay x;
    QVERIFY2(!x.display().isEmpty(), "Xvfb did not start");
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(5, 5);
    module.setContacts("1000");
    QProcess program;
    const QString framesPath = ports.configFolder() + QStringLiteral("/frames.log");
    startProgram(program, x, ports.configFolder(), {QStringLiteral("--trace=") + framesPath});
    QVERIFY(program.waitForStarted());
    const QString window = waitForWindow(x);
    QVERIFY2(!window.isEmpty(), "no window appeared");
    auto colourAt = [&](QPoint place) {
        return screenshot(x, window, ports.configFolder()).pixelColor(place);
    };

    // Scan: the module answers on COM5, its place is stored, the lamp turns yellow.
    clickAt(x, window, ScanButton);
    QTRY_COMPARE_WITH_TIMEOUT(colourAt(CommunicationLamp), Yellow, 15000);
    QVERIFY(module.heardCommands().contains("B00A"));
    SharedState stored;
    StoredSettings(ports.configFolder() + QStringLiteral("/VANTREL/Morvale.reg"))
        .LoadSettings(stored);
    QCOMPARE(stored.ScanCommNo, 5);
    QCOMPARE(stored.ScanBaudRate, QStringLiteral("19200,e,8,1"));
    // The frame log holds the scan's exchanges with the module.
    QFile frames(framesPath);
    QVERIFY(frames.open(QIODevice::ReadOnly));
    const QByteArray log = frames.readAll();
    QVERIFY2(log.contains(" COM5 19200,e,8,1 tx \\tB00A") &&
                 log.contains(" COM5 19200,e,8,1 rx \\n!01A"),
             log.constData());

    // Set the mode with DI2 inverted.
    clickAt(x, window, BoxDI2);
    clickAt(x, window, ModeButton);
    QTRY_COMPARE_WITH_TIMEOUT(module.state().polarity, "0100" + QByteArray(12, '0'), 5000);

    // Live I/O: DO2 ticked goes out; DI1 (wired on) and DI2 (inverted) light up.
    clickAt(x, window, BoxDO2);
    clickAt(x, window, ProcessButton);
    QTRY_COMPARE_WITH_TIMEOUT(module.state().outputs, QByteArray("0100"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(colourAt(InputLamp[1]), Yellow, 5000);
    const QImage live = screenshot(x, window, ports.configFolder());
    QCOMPARE(live.pixelColor(InputLamp[0]), Yellow);
    QCOMPARE(live.pixelColor(InputLamp[2]), White);
    QCOMPARE(live.pixelColor(InputLamp[3]), White);
    bool outputsSent = false;
    for (const TraceEntry &entry : module.trace())
        outputsSent |= entry.event == u"rx" && entry.bytes.startsWith("\tB00F0100");
    QVERIFY(outputsSent);

    // Stop with a second click: yellow lamp, input lamps white, outputs kept by the module.
    clickAt(x, window, ProcessButton);
    QTRY_COMPARE_WITH_TIMEOUT(colourAt(InputLamp[0]), White, 5000);
    QCOMPARE(colourAt(CommunicationLamp), Yellow);
    QCOMPARE(module.state().outputs, QByteArray("0100"));

    ::kill(program.processId(), SIGTERM);
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitCode(), 0);
}

void ProgramTest::withoutADisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // on standard output, or error with exit 1
    // The version the caption shows.
    const QString caption = MessageTable().text(MessageRow::Caption, 0);
    QTest::newRow("--version") << QStringList{"--version"} << 0
                               << "tx4040-config " + caption.section(QStringLiteral(" V"), -1) +
                                      u'\n';
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "Usage: tx4040-config";
    QTest::newRow("the window") << QStringList{} << 1 << "tx4040-config: no display";
    QTest::newRow("a trace that cannot be written")
        << QStringList{"--trace", "/nonexistent-dir/x"} << 2
        << "tx4040-config: cannot write the trace to /nonexistent-dir/x: No such file or directory";
}

void ProgramTest::withoutADisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(variable));
    program.setProcessEnvironment(environment);
    program.start(programPath(), arguments);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    const QString said = QString::fromLocal8Bit(exitCode == 0 ? program.readAllStandardOutput()
                                                              : program.readAllStandardError());
    if (arguments == QStringList{"--version"})
        QCOMPARE(said, output);
    else
        QVERIFY2(said.startsWith(output) && said.count(u'\n') >= 1, qPrintable(said));
}

QTEST_GUILESS_MAIN(ProgramTest)
#include "test_program.moc"
