// The command-line front end, run as a program against simulated modules.

#include "simulated_ports.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

Run tx4040(const QStringList &arguments)
{
    QProcess program;
    program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tx4040"), arguments);
    Run run;
    if (!program.waitForFinished(30000))
        return run;
    run.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.output = program.readAllStandardOutput();
    run.errors = program.readAllStandardError();
    return run;
}

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void portsSaysWhatEachNumberIs();
    void portsNamesTheGroupThatMayOpenIt();
    void emptyPortsFolderIsNamed();
    void usageErrors_data();
    void usageErrors();
};

void CommandLineTest::portsSaysWhatEachNumberIs()
{
    SimulatedPorts ports;
    const QString folder = ports.portsFolder();
    QFile file(ports.configFolder() + QStringLiteral("/notes.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(file.fileName(), folder + QStringLiteral("/COM2")));
    QVERIFY(QFile::link(ports.configFolder() + QStringLiteral("/gone"),
                        folder + QStringLiteral("/COM3")));
    const QString free = ports.addModule(4).devicePath();
    const QString held = ports.addModule(5).devicePath();
    // Another program holds COM5 and says so in a lock file, as serial programs do.
    QProcess holder;
    holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    QVERIFY(holder.waitForStarted());
    const qint64 holderPid = holder.processId();
    QFile lock(QStringLiteral("/tmp/LCK..") + QString(held).replace(u'/', u'_'));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(holderPid) + "\nsleep\n");
    lock.close();

    const Run run = tx4040({QStringLiteral("ports"), QStringLiteral("--json")});
    lock.remove();
    holder.kill();
    holder.waitForFinished();
    QCOMPARE(run.exitCode, 0);
    const QJsonObject report = QJsonDocument::fromJson(run.output).object();
    QVERIFY(report.value(QStringLiteral("usesPortsFolder")).toBool());
    QStringList seen;
    for (const QJsonValue &port : report.value(QStringLiteral("ports")).toArray()) {
        const QJsonObject p = port.toObject();
        seen << QStringLiteral("COM%1 %2 %3")
                    .arg(p.value(QStringLiteral("com")).toInt())
                    .arg(p.value(QStringLiteral("device")).toString(),
                         p.value(QStringLiteral("reason")).toString());
    }
    QCOMPARE(seen,
             (QStringList{
                 QStringLiteral("COM2 %1 not a terminal").arg(file.fileName()),
                 QStringLiteral("COM3  missing"),
                 QStringLiteral("COM4 %1 ok").arg(free),
                 QStringLiteral("COM5 %1 busy: held by sleep (PID %2)").arg(held).arg(holderPid),
             }));
}

void CommandLineTest::portsNamesTheGroupThatMayOpenIt()
{
    // As root: the device is given to group dialout, and the program runs as nobody,
    // in no group. As anyone else: the device is closed to its own owner.
    SimulatedPorts ports;
    const QString device = ports.addModule(4).devicePath();
    const QByteArray path = QFile::encodeName(device);
    const bool root = ::geteuid() == 0;
    const struct group *dialout = ::getgrnam("dialout");
    QVERIFY(!root || dialout);
    if (root)
        QCOMPARE(::chown(path.constData(), 0, dialout->gr_gid), 0);
    QCOMPARE(::chmod(path.constData(), root ? 0660 : 0), 0);
    for (const QString &folder :
         {ports.configFolder(), ports.configFolder() + "/VANTREL", ports.portsFolder()})
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);

    QProcess program;
    const QString tx4040 = QCoreApplication::applicationDirPath() + QStringLiteral("/tx4040");
    const QStringList arguments{QStringLiteral("ports"), QStringLiteral("--json")};
    if (root)
        program.start(QStringLiteral("setpriv"),
                      QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                  QStringLiteral("--clear-groups"), tx4040} +
                          arguments);
    else
        program.start(tx4040, arguments);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 0);
    const QJsonObject port = QJsonDocument::fromJson(program.readAllStandardOutput())
                                 .object()
                                 .value(QStringLiteral("ports"))
                                 .toArray()
                                 .first()
                                 .toObject();
    QCOMPARE(port.value(QStringLiteral("state")).toString(), QStringLiteral("permission denied"));
    const QString reason = port.value(QStringLiteral("reason")).toString();
    if (root)
        QCOMPARE(reason, QStringLiteral("permission denied: %1 belongs to group dialout, which "
                                        "you are not in: add yourself to group dialout and log "
                                        "in again")
                             .arg(device));
    else
        QVERIFY2(reason.startsWith(
                     QStringLiteral("permission denied: %1 belongs to group ").arg(device)),
                 qPrintable(reason));
}

void CommandLineTest::emptyPortsFolderIsNamed()
{
    SimulatedPorts ports;
    const Run run = tx4040({QStringLiteral("ports")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.output.isEmpty());
    QVERIFY2(run.errors.contains("exists but names no COM port"), run.errors.constData());
}

void CommandLineTest::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("no subcommand") << QStringList{} << QByteArray("a subcommand is missing");
    QTest::newRow("unknown subcommand") << QStringList{"bogus"} << QByteArray("unknown subcommand");
    QTest::newRow("unknown option") << QStringList{"ports", "--bogus"} << QByteArray("bogus");
    QTest::newRow("stray argument") << QStringList{"ports", "7"} << QByteArray("no arguments");
}

void CommandLineTest::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, said);
    SimulatedPorts ports;
    const Run run = tx4040(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.output.isEmpty());
    QVERIFY2(run.errors.contains(said), run.errors.constData());
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "test_command_line.moc"
