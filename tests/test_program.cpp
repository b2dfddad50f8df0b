// The real program in a real window, on a private X server.

#include "xvfb_display.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

QString programPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tx4040-config");
}

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
};

void ProgramTest::windowTitle_data()
{
    QTest::addColumn<QString>("storedLanguage"); // null: nothing stored
    QTest::addColumn<QString>("title");
    QTest::newRow("first run") << QString() << "VANTREL TX4040 Module Config V3.20-01";
    QTest::newRow("Traditional Chinese stored") << "ChineseBIG5"
                                                << "VANTREL TX4040 輸入輸出模組設定程式 V3.20-01";
}

void ProgramTest::windowTitle()
{
    QFETCH(QString, storedLanguage);
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
}

QTEST_GUILESS_MAIN(ProgramTest)
#include "test_program.moc"
