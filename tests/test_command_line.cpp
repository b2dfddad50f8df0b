// The command-line front end, run as a program against simulated modules.

#include "baud_rate_modes.h"
#include "config_folder.h"
#include "program_run.h"
#include "simulated_ports.h"
#include "stored_settings.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "port_diagnosis.h"
#include "unique_fd.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Run = ProgramRun;

// The command line as a technician runs it (program_run.h).
void start(QProcess &program, const QStringList &arguments)
{
    StartProgram(program, QStringLiteral("tx4040"), arguments);
}

Run tx4040(const QStringList &arguments)
{
    return RunProgram(QStringLiteral("tx4040"), arguments);
}

void remember(int port, int settingIndex)
{
    SharedState place;
    place.ScanCommNo = port;
    place.ScanBaudRateNo = settingIndex;
    place.ScanBaudRate = BaudRateModes().at(settingIndex);
    StoredSettings().SaveScanSettings(place);
}

// "COM3 9600,e,8,1", or "none".
QString storedPlace()
{
    SharedState stored;
    StoredSettings().LoadSettings(stored);
    if (stored.ScanCommNo == 0)
        return QStringLiteral("none");
    return QStringLiteral("COM%1 %2").arg(stored.ScanCommNo).arg(stored.ScanBaudRate);
}

// "42 3 hold 0101": ID, setting index, mode and input polarity.
QString summary(const ModuleState &module)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(QString::fromLatin1(module.id))
        .arg(module.settingIndex)
        .arg(module.holdMode ? QStringLiteral("hold") : QStringLiteral("normal"))
        .arg(QString::fromLatin1(module.polarity.left(4)));
}

// Processor time a process has used, user and system, from /proc.
double processCpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The fields after the command's name, which may hold spaces, in parentheses.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks * 1000.0 / double(::sysconf(_SC_CLK_TCK));
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
    void helpAndShortOptions_data();
    void helpAndShortOptions();
    void helpOffersWhatTheSubcommandTakes_data();
    void helpOffersWhatTheSubcommandTakes();
    void bashCompletion_data();
    void bashCompletion();
    void languageOfTheLocale_data();
    void languageOfTheLocale();
    void portNamedOnTheCommandLine_data();
    void portNamedOnTheCommandLine();
    void moduleSubcommands_data();
    void moduleSubcommands();
    void scanAsJson();
    void findThatCannotBeStored_data();
    void findThatCannotBeStored();
    void everyPortFindsEachModule_data();
    void everyPortFindsEachModule();
    void namedPortIsTheOnlyOneTouched();
    void traceOfOneExchange();
    void watch_data();
    void watch();
    void watchWaitsForTheDeviceToComeBack();
    void watchHoldsThePort();
    void deviceThatWentAwayIsNamed_data();
    void deviceThatWentAwayIsNamed();
    void lateAnswersGiveNoWrongField();
    void moduleSaysNo();
    void linkThatIsNoPortOfTheProgram_data();
    void linkThatIsNoPortOfTheProgram();
    void brokenPipeEndsWatchInOrder();
    void traceToAFifoWithoutReader_data();
    void traceToAFifoWithoutReader();
    void scanStoppedFromOutside();
    void scanOnATerminalShowsWhereItIs();
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
    // Named as Qt names its own: the path below /dev, "/" as "_" (LCK..pts_1).
    QFile lock(QStringLiteral("/tmp/LCK..") + held.mid(5).replace(u'/', u'_'));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(holderPid) + "\nsleep\n");
    lock.close();

    const Run run = tx4040({QStringLiteral("ports"), QStringLiteral("--json")});
    lock.remove();
    holder.kill();
    holder.waitForFinished();
    QCOMPARE(run.exitCode, 0);
    const QJsonObject report = QJsonDocument::fromJson(run.output).object();
    QCOMPARE(report.value(QStringLiteral("schema")).toInt(), 1);
    QVERIFY(report.value(QStringLiteral("usesPortsFolder")).toBool());
    QStringList seen;
    for (const QJsonValue &port : report.value(QStringLiteral("ports")).toArray()) {
        const QJsonObject p = port.toObject();
        QString line = QStringLiteral("COM%1 %2 %3")
                           .arg(p.value(QStringLiteral("port")).toInt())
                           .arg(p.value(QStringLiteral("device")).toString(),
                                p.value(QStringLiteral("reason")).toString());
        // The holder and the group, only where they are the reason.
        if (p.contains(QStringLiteral("holderPid")))
            line +=
                QStringLiteral(" [holder %1]").arg(p.value(QStringLiteral("holderPid")).toInt());
        if (p.contains(QStringLiteral("group")))
            line += QStringLiteral(" [group]");
        seen << line;
    }
    QCOMPARE(seen, (QStringList{
                       QStringLiteral("COM2 %1 not a terminal").arg(file.fileName()),
                       QStringLiteral("COM3  missing"),
                       QStringLiteral("COM4 %1 ok").arg(free),
                       QStringLiteral("COM5 %1 busy: held by sleep (PID %2) [holder %2]")
                           .arg(held)
                           .arg(holderPid),
                   }));
}

void CommandLineTest::portsNamesTheGroupThatMayOpenIt()
{
    // As root: the device is given to group dialout, and the program runs as nobody,
    // in no group. As anyone else: the device is closed to its own owner.
    SimulatedPorts ports;
    const QString device = ports.addModule(4).devicePath();
    QVERIFY(CloseToUnprivileged(ports, device));
    const bool root = ::geteuid() == 0;

    QProcess program;
    QStringList command =
        Unprivileged(QCoreApplication::applicationDirPath() + QStringLiteral("/tx4040"),
                     {QStringLiteral("ports"), QStringLiteral("--json")});
    program.start(command.takeFirst(), command);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 0);
    const QJsonObject port = QJsonDocument::fromJson(program.readAllStandardOutput())
                                 .object()
                                 .value(QStringLiteral("ports"))
                                 .toArray()
                                 .first()
                                 .toObject();
    QCOMPARE(port.value(QStringLiteral("state")).toString(), QStringLiteral("permission denied"));
    QCOMPARE(port.value(QStringLiteral("inGroup")).toBool(true), false);
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
    QTest::newRow("ID of three digits") << QStringList{"set-id", "100"} << QByteArray("100");
    QTest::newRow("ID not a number") << QStringList{"set-id", "7x"} << QByteArray("7x");
    QTest::newRow("ID zero") << QStringList{"set-id", "0"} << QByteArray("1 to 99");
    QTest::newRow("bad mode string")
        << QStringList{"set-setting", "9600,x,8,1"} << QByteArray("9600,x,8,1");
    QTest::newRow("setting index 12") << QStringList{"set-setting", "12"} << QByteArray("12");
    QTest::newRow("setting index of three digits")
        << QStringList{"set-setting", "011"} << QByteArray("011");
    QTest::newRow("bad mode") << QStringList{"set-mode", "fast"} << QByteArray("hold or normal");
    QTest::newRow("polarity of three")
        << QStringList{"set-mode", "hold", "--polarity", "010"} << QByteArray("010");
    QTest::newRow("outputs not flags")
        << QStringList{"watch", "--outputs", "10a0"} << QByteArray("10a0");
    QTest::newRow("no cycles") << QStringList{"watch", "--cycles", "0"} << QByteArray("cycles");
    QTest::newRow("provision without a first ID")
        << QStringList{"provision", "--count", "1"} << QByteArray("needs --first-id N");
    QTest::newRow("provision's first ID 100") << QStringList{"provision", "--first-id", "100"}
                                              << QByteArray("--first-id cannot take 100");
    QTest::newRow("provision's count past ID 99")
        << QStringList{"provision", "--first-id", "98", "--count", "3"}
        << QByteArray("--count takes 1 to 2 from ID 98, not 3");
    QTest::newRow("provision's count of none")
        << QStringList{"provision", "--first-id", "5", "--count", "0"} << QByteArray("not 0");
    QTest::newRow("unknown language")
        << QStringList{"info", "--language", "Klingon"} << QByteArray("Klingon");
    QTest::newRow("trace that cannot be written")
        << QStringList{"info", "--trace", "/nonexistent/trace.txt"}
        << QByteArray("/nonexistent/trace.txt");
    QTest::newRow("port and every port")
        << QStringList{"scan", "--port", "1", "--every-port"} << QByteArray("exclude");
}

void CommandLineTest::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, said);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(1);
    remember(1, DefaultBaudRateIndex);
    const Run run = tx4040(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.output.isEmpty());
    QVERIFY2(run.errors.contains(said), run.errors.constData());
    QVERIFY(module.heardCommands().isEmpty());
}

void CommandLineTest::helpAndShortOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("output"); // how it begins
    QTest::newRow("help SUBCOMMAND")
        << QStringList{"help", "set-mode"} << QByteArray("Usage: tx4040 set-mode hold|normal");
    QTest::newRow("SUBCOMMAND --help")
        << QStringList{"watch", "--help"}
        << QByteArray("Usage: tx4040 watch [--outputs 1010] [--cycles N] [-j|--json] "
                      "[--reconnect]\ndrive the outputs (DO1 to DO4)");
    QTest::newRow("SUBCOMMAND -h") << QStringList{"map", "-h"} << QByteArray("Usage: tx4040 map N");
    QTest::newRow("-h") << QStringList{"-h"} << QByteArray("Usage: tx4040 [--trace FILE]");
    QTest::newRow("-V") << QStringList{"-V"} << QByteArray("tx4040 3.");
    QTest::newRow("-j and -p") << QStringList{"scan", "-j", "-p", "3", "--no-store"}
                               << QByteArray("{");
    QTest::newRow("--language before the subcommand")
        << QStringList{"--language", "ChineseBIG5", "scan", "-p", "3", "--no-store"}
        << QStringLiteral("讀取模組資訊完成").toUtf8();
}

void CommandLineTest::helpAndShortOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, output);
    SimulatedPorts ports;
    ports.addModule(3);
    const Run run = tx4040(arguments);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.output.startsWith(output), run.output.constData());
}

void CommandLineTest::helpOffersWhatTheSubcommandTakes_data()
{
    QTest::addColumn<QString>("subcommand");
    for (const char *subcommand : {"ports", "map", "unmap", "scan", "watch", "provision"})
        QTest::newRow(subcommand) << QString::fromLatin1(subcommand);
}

void CommandLineTest::helpOffersWhatTheSubcommandTakes()
{
    // The options shared by the subcommands that talk to the module are in a
    // subcommand's help exactly where it takes them.
    QFETCH(QString, subcommand);
    SimulatedPorts ports;
    const Run help = tx4040({subcommand, QStringLiteral("--help")});
    const Run withLanguage =
        tx4040({subcommand, QStringLiteral("--language"), QStringLiteral("English"),
                QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    QCOMPARE(help.output.contains("--language L"), withLanguage.exitCode == 0);
}

void CommandLineTest::bashCompletion_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("offered");
    QTest::newRow("subcommands") << "tx4040 set-"
                                 << "set-id set-setting set-mode";
    QTest::newRow("after an option before the subcommand") << "tx4040 --language gb scan --e"
                                                           << "--every-port";
    QTest::newRow("a setting") << "tx4040 set-setting 9600"
                               << "9600,n,8,1 9600,e,8,1";
    QTest::newRow("a mode") << "tx4040 set-mode "
                            << "hold normal";
    QTest::newRow("a language") << "tx4040 info --language Chinese"
                                << "ChineseGB ChineseBIG5";
    QTest::newRow("help of a subcommand") << "tx4040 help f"
                                          << "factory";
    QTest::newRow("the wanted setting") << "tx4040 provision --new-setting 1152"
                                        << "115200,n,8,1 115200,e,8,1";
}

void CommandLineTest::bashCompletion()
{
    // As bash completes a line typed up to its end, with the completion that is installed.
    QFETCH(QString, line);
    QFETCH(QString, offered);
    QProcess bash;
    bash.start(QStringLiteral("bash"),
               {QStringLiteral("-c"),
                QStringLiteral("source /usr/share/bash-completion/bash_completion; source \"$0\"; "
                               "COMP_LINE=\"$1\"; COMP_POINT=${#COMP_LINE}; "
                               "read -ra COMP_WORDS <<< \"$COMP_LINE\"; "
                               "[[ $COMP_LINE == *\" \" ]] && COMP_WORDS+=(\"\"); "
                               "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _tx4040; "
                               "echo \"${COMPREPLY[*]}\""),
                QStringLiteral(TX4040_BASH_COMPLETION), line});
    QVERIFY(bash.waitForFinished(10000));
    QCOMPARE(QString::fromUtf8(bash.readAllStandardOutput()).trimmed(), offered);
}

void CommandLineTest::languageOfTheLocale_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("stored"); // the language a button chose; empty: none
    QTest::addColumn<QString>("said");
    QTest::newRow("zh_TW") << "zh_TW.UTF-8"
                           << ""
                           << "讀取模組資訊完成";
    QTest::newRow("zh_CN") << "zh_CN.UTF-8"
                           << ""
                           << "读取模组资讯完成";
    QTest::newRow("de_DE: English") << "de_DE.UTF-8"
                                    << ""
                                    << "Get Module Info Ok";
    QTest::newRow("a choice kept wins") << "zh_CN.UTF-8"
                                        << "English"
                                        << "Get Module Info Ok";
}

void CommandLineTest::languageOfTheLocale()
{
    QFETCH(QString, lang);
    QFETCH(QString, stored);
    QFETCH(QString, said);
    SimulatedPorts ports;
    ports.addModule(3);
    if (!stored.isEmpty()) {
        SharedState chosen;
        chosen.LanguageFlag = stored;
        StoredSettings().SaveLanguageFlag(chosen);
    }
    const QByteArray previousLang = qgetenv("LANG");
    const QByteArray previousAll = qgetenv("LC_ALL");
    qputenv("LANG", lang.toUtf8());
    qunsetenv("LC_ALL");
    const Run run = tx4040({QStringLiteral("scan"), QStringLiteral("-p"), QStringLiteral("3")});
    qputenv("LANG", previousLang);
    if (!previousAll.isEmpty())
        qputenv("LC_ALL", previousAll);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.output.startsWith(said.toUtf8()), run.output.constData());
}

void CommandLineTest::portNamedOnTheCommandLine_data()
{
    QTest::addColumn<QString>("how"); // --port, or --device with a COM number or without
    QTest::addColumn<QString>("storedAfter");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("--port, nothing remembered before") << "port"
                                                       << "COM3 38400,e,8,1" << QByteArray();
    QTest::newRow("--device of COM3") << "device"
                                      << "COM3 38400,e,8,1" << QByteArray();
    QTest::newRow("--device that no COM number names")
        << "unmapped"
        << "none" << QByteArray("has no COM number, so nothing is remembered");
}

void CommandLineTest::portNamedOnTheCommandLine()
{
    QFETCH(QString, how);
    QFETCH(QString, storedAfter);
    QFETCH(QByteArray, said);
    SimulatedPorts ports;
    SimulatedModule &mapped = ports.addModule(3, 7);
    // A module on a pseudo-terminal that the ports folder does not name.
    QTemporaryDir elsewhere;
    SimConfig config;
    config.portsFolder = elsewhere.path();
    config.portNumber = 8;
    config.state.settingIndex = 7;
    SimulatedModule unmapped(config);
    QVERIFY(unmapped.start());
    SimulatedModule &module = how == u"unmapped" ? unmapped : mapped;
    const QStringList where =
        how == u"port" ? QStringList{"-p", "3"} : QStringList{"--device", module.devicePath()};

    const Run run = tx4040(QStringList{"set-id", "42"} + where);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(module.state().id, QByteArray("42"));
    QCOMPARE(storedPlace(), storedAfter);
    // A success says nothing on standard error, but for a warning where one is due.
    if (said.isEmpty())
        QCOMPARE(run.errors, QByteArray());
    else
        QVERIFY2(run.errors.contains(said), run.errors.constData());
}

void CommandLineTest::moduleSubcommands_data()
{
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("rememberedPort"); // 0: none
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("said");
    QTest::addColumn<QString>("moduleAfter");
    QTest::addColumn<QString>("storedAfter");
    QTest::addColumn<QByteArray>("reason");
    // The module answers at COM3, 9600,e,8,1, with ID 42 and inputs DI2, DI4 inverted.
    const QString untouched = QStringLiteral("42 3 hold 0101");
    const QString here = QStringLiteral("COM3 9600,e,8,1");
    QTest::newRow("scan searches all twelve settings")
        << false << 0 << QStringList{"scan"} << 0 << QByteArray("port: COM3\ndevice: ") << untouched
        << here << QByteArray();
    QTest::newRow("scan locked at another setting, by its index")
        << false << 0 << QStringList{"scan", "--setting", "5"} << 1
        << QByteArray("Module Not Find") << untouched << QStringLiteral("none") << QByteArray();
    QTest::newRow("scan without storing")
        << false << 0 << QStringList{"scan", "--port", "3", "--no-store"} << 0
        << QByteArray("id: 42") << untouched << QStringLiteral("none") << QByteArray();
    QTest::newRow("scan of a port that is a file")
        << false << 0 << QStringList{"scan", "--port", "6"} << 3 << QByteArray("Module Not Find")
        << untouched << QStringLiteral("none") << QByteArray(": not a terminal");
    QTest::newRow("scan of a silent port")
        << true << 0 << QStringList{"scan", "--port", "3"} << 1 << QByteArray("Module Not Find")
        << untouched << QStringLiteral("none") << QByteArray();
    QTest::newRow("info") << false << 3 << QStringList{"info"} << 0
                          << QByteArray("version: 01.05-03\nmode: hold\npolarity: 0101\n")
                          << untouched << here << QByteArray();
    QTest::newRow("info where the remembered port is gone")
        << false << 5 << QStringList{"info"} << 3 << QByteArray("Module Not Find") << untouched
        << QStringLiteral("COM5 9600,e,8,1") << QByteArray("COM5: no serial device");
    QTest::newRow("info of a silent module")
        << true << 3 << QStringList{"info"} << 1 << QByteArray("Module Not Find") << untouched
        << here << QByteArray("nothing answered at COM3 at 9600,e,8,1, where the module was last");
    QTest::newRow("info with nothing remembered")
        << false << 0 << QStringList{"info"} << 1 << QByteArray() << untouched
        << QStringLiteral("none") << QByteArray("run tx4040 scan first");
    QTest::newRow("set-id") << false << 3 << QStringList{"set-id", "7"} << 0
                            << QByteArray("Set Module ID Ok\n") << QStringLiteral("07 3 hold 0101")
                            << here << QByteArray();
    QTest::newRow("set-id in Traditional Chinese")
        << false << 3 << QStringList{"set-id", "07", "--language", "ChineseBIG5"} << 0
        << QStringLiteral("設定模組編號完成\n").toUtf8() << QStringLiteral("07 3 hold 0101") << here
        << QByteArray();
    QTest::newRow("set-id to a silent module")
        << true << 3 << QStringList{"set-id", "7"} << 1 << QByteArray("Module Not Find")
        << untouched << here << QByteArray("tx4040 scan searches every port and setting");
    QTest::newRow("set-setting remembers the new one")
        << false << 3 << QStringList{"set-setting", "115200,n,8,1"} << 0
        << QByteArray("Set Module BaudRate Ok") << QStringLiteral("42 10 hold 0101")
        << QStringLiteral("COM3 115200,n,8,1") << QByteArray();
    QTest::newRow("set-mode keeps the polarity read")
        << false << 3 << QStringList{"set-mode", "normal"} << 0 << QByteArray("Set Module Mode Ok")
        << QStringLiteral("42 3 normal 0101") << here << QByteArray();
    QTest::newRow("set-mode with a polarity")
        << false << 3 << QStringList{"set-mode", "hold", "--polarity", "1000"} << 0
        << QByteArray("Set Module Mode Ok") << QStringLiteral("42 3 hold 1000") << here
        << QByteArray();
    QTest::newRow("factory") << false << 3 << QStringList{"factory"} << 0
                             << QByteArray("Set Factory Default Ok")
                             << QStringLiteral("01 5 hold 0000")
                             << QStringLiteral("COM3 19200,e,8,1") << QByteArray();
}

void CommandLineTest::moduleSubcommands()
{
    QFETCH(bool, silent);
    QFETCH(int, rememberedPort);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, said);
    QFETCH(QString, moduleAfter);
    QFETCH(QString, storedAfter);
    QFETCH(QByteArray, reason);
    SimulatedPorts ports;
    ModuleState state;
    state.id = "42";
    state.polarity = "0101" + QByteArray(12, '0');
    state.settingIndex = 3;
    SimulatedModule &module = silent ? ports.addSilentPort(3) : ports.addModule(3, 3, state);
    QFile file(ports.configFolder() + QStringLiteral("/notes.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(file.fileName(), ports.portsFolder() + QStringLiteral("/COM6")));
    if (rememberedPort)
        remember(rememberedPort, 3);

    const Run run = tx4040(arguments);
    QCOMPARE(run.exitCode, exitCode);
    // A result on standard output, a failure on standard error.
    const QByteArray &saidWhere = exitCode == 0 ? run.output : run.errors;
    QVERIFY2(saidWhere.contains(said), saidWhere.constData());
    QVERIFY2(run.errors.contains(reason), run.errors.constData());
    if (!silent)
        QCOMPARE(summary(module.state()), moduleAfter);
    QCOMPARE(storedPlace(), storedAfter);
}

void CommandLineTest::scanAsJson()
{
    SimulatedPorts ports;
    ports.addSilentPort(1);
    ModuleState state;
    state.id = "42";
    state.holdMode = false;
    state.polarity = "0011" + QByteArray(12, '0');
    ports.addModule(2, 7, state);
    const Run run = tx4040({QStringLiteral("scan"), QStringLiteral("--json"),
                            QStringLiteral("--language"), QStringLiteral("ChineseGB")});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject report = QJsonDocument::fromJson(run.output).object();
    QVERIFY(report.value(QStringLiteral("found")).toBool());
    QVERIFY(report.value(QStringLiteral("stored")).toBool());
    // A reason says something: a place that was stored adds none.
    for (const QJsonValue &reason : report.value(QStringLiteral("reasons")).toArray())
        QVERIFY2(!reason.toString().isEmpty(), run.output.constData());
    const QJsonObject module = report.value(QStringLiteral("modules")).toArray().first().toObject();
    QCOMPARE(module.value(QStringLiteral("port")).toInt(), 2);
    QCOMPARE(module.value(QStringLiteral("device")).toString(), ports.portMap().devicePath(2));
    QCOMPARE(module.value(QStringLiteral("setting")).toString(), QStringLiteral("38400,e,8,1"));
    QCOMPARE(module.value(QStringLiteral("id")).toString(), QStringLiteral("42"));
    QCOMPARE(module.value(QStringLiteral("serial")).toString(), QStringLiteral("TX040001"));
    QCOMPARE(module.value(QStringLiteral("version")).toString(), QStringLiteral("01.05-03"));
    QCOMPARE(module.value(QStringLiteral("mode")).toString(), QStringLiteral("normal"));
    QCOMPARE(module.value(QStringLiteral("polarity")).toString(), QStringLiteral("0011"));
    // English keys, the message in the language asked for.
    QCOMPARE(module.value(QStringLiteral("message")).toString(),
             QStringLiteral("读取模组资讯完成. (串口 : #2)"));
    QCOMPARE(storedPlace(), QStringLiteral("COM2 38400,e,8,1"));
}

void CommandLineTest::findThatCannotBeStored_data()
{
    QTest::addColumn<bool>("json");
    QTest::newRow("text") << false;
    QTest::newRow("json") << true;
}

void CommandLineTest::findThatCannotBeStored()
{
    QFETCH(bool, json);
    SimulatedPorts ports;
    ports.addModule(2);
    // The settings file's place is taken by a folder: the module is found all the same.
    QVERIFY(QDir().mkpath(VantrelConfigFolder() + QStringLiteral("/Morvale.reg")));
    QStringList arguments{QStringLiteral("scan")};
    if (json)
        arguments << QStringLiteral("--json");
    const Run run = tx4040(arguments);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.output.contains("TX040001"), run.output.constData());
    QVERIFY2(run.errors.contains("Morvale.reg") && run.errors.contains("it is a folder"),
             run.errors.constData());
    if (!json)
        return;
    const QJsonObject report = QJsonDocument::fromJson(run.output).object();
    QCOMPARE(report.value(QStringLiteral("stored")).toBool(), false);
    const QJsonArray reasons = report.value(QStringLiteral("reasons")).toArray();
    QCOMPARE(reasons.size(), 1);
    QVERIFY2(reasons.first().toString().contains("it is a folder"), run.output.constData());
}

void CommandLineTest::everyPortFindsEachModule_data()
{
    QTest::addColumn<QList<int>>("modulePorts");
    QTest::addColumn<QString>("storedAfter");
    QTest::newRow("three modules: none stored") << QList<int>{2, 5, 7} << QStringLiteral("none");
    QTest::newRow("one module: stored") << QList<int>{5} << QStringLiteral("COM5 19200,e,8,1");
}

void CommandLineTest::everyPortFindsEachModule()
{
    QFETCH(QList<int>, modulePorts);
    QFETCH(QString, storedAfter);
    SimulatedPorts ports;
    // Each module at a setting of its own, the others silent.
    for (int port = 1; port <= 8; ++port) {
        if (modulePorts.contains(port))
            ports.addModule(port, port % BaudRateModeCount,
                            ModuleWithSerial("TX04000" + QByteArray::number(port)));
        else
            ports.addSilentPort(port);
    }
    const Run run =
        tx4040({QStringLiteral("scan"), QStringLiteral("--every-port"), QStringLiteral("--json")});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject report = QJsonDocument::fromJson(run.output).object();
    QList<int> found;
    for (const QJsonValue &value : report.value(QStringLiteral("modules")).toArray()) {
        const QJsonObject module = value.toObject();
        const int port = module.value(QStringLiteral("port")).toInt();
        found.append(port);
        QCOMPARE(module.value(QStringLiteral("setting")).toString(),
                 BaudRateModes().at(port % BaudRateModeCount));
        QCOMPARE(module.value(QStringLiteral("serial")).toString(),
                 QStringLiteral("TX04000%1").arg(port));
    }
    QCOMPARE(found, modulePorts);
    QCOMPARE(report.value(QStringLiteral("stored")).toBool(), storedAfter != u"none");
    QCOMPARE(storedPlace(), storedAfter);
}

void CommandLineTest::namedPortIsTheOnlyOneTouched()
{
    // The module remembered at COM3 is not the one asked for: COM5 is named.
    SimulatedPorts ports;
    SimulatedModule &remembered = ports.addModule(3, 5, ModuleWithSerial("TX040003"));
    ports.addModule(5, 7, ModuleWithSerial("TX040005"));
    remember(3, 5);
    const Run run = tx4040({QStringLiteral("info"), QStringLiteral("-p"), QStringLiteral("5")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.output.contains("TX040005"), run.output.constData());
    QCOMPARE(remembered.heardCommands(), QList<QByteArray>{});
}

void CommandLineTest::traceOfOneExchange()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(4);
    module.addFault(Fault{FaultKind::NoReply, "B00V", 1, 0, {}});
    remember(4, DefaultBaudRateIndex);
    const QString trace = ports.configFolder() + QStringLiteral("/trace.txt");
    const Run run = tx4040({QStringLiteral("info"), QStringLiteral("--trace"), trace});
    QCOMPARE(run.exitCode, 0);
    QFile file(trace);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    // Without the time, the first field: the rest is the same on every run.
    for (QByteArray &line : lines)
        line = line.mid(line.indexOf(' ') + 1);
    QVERIFY(lines.size() > 7);
    QCOMPARE(lines[0], QByteArray("COM4 19200,e,8,1 open - -"));
    // A pseudo-terminal, as many drivers, has no low latency to give, which only the log says.
    QCOMPARE(
        lines.takeAt(1),
        QByteArray("COM4 19200,e,8,1 low-latency - - refused: Inappropriate ioctl for device"));
    QCOMPARE(lines[1],
             QByteArray("COM4 19200,e,8,1 tx \\tB00B09\\r 094230304230390d read identity"));
    QCOMPARE(lines[2], QByteArray("COM4 19200,e,8,1 rx \\n!01BTX04000161\\r "
                                  "0a21303142545830343030303136310d"));
    QCOMPARE(lines[3], QByteArray("COM4 19200,e,8,1 close - -"));
    QCOMPARE(lines[4], QByteArray("COM4 19200,e,8,1 open - -"));
    QVERIFY(lines.takeAt(5).contains(" low-latency "));
    QCOMPARE(lines[5],
             QByteArray("COM4 19200,e,8,1 tx \\tB00V1D\\r 094230305631440d read version"));
    QVERIFY2(lines[6].startsWith("COM4 19200,e,8,1 timeout - - waited="), lines[6].constData());
}

void CommandLineTest::watch_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("stopped by SIGTERM") << QStringLiteral("sigterm") << 0;
    QTest::newRow("ended by the cycle count") << QStringLiteral("cycles") << 0;
    QTest::newRow("port vanishes") << QStringLiteral("hang-up") << 1;
}

void CommandLineTest::watch()
{
    QFETCH(QString, ending);
    QFETCH(int, exitCode);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(2);
    module.setContactSchedule({"1000", "0100"}, 150);
    remember(2, DefaultBaudRateIndex);
    QStringList arguments{QStringLiteral("watch"), QStringLiteral("--outputs"),
                          QStringLiteral("1010"), QStringLiteral("--json")};
    if (ending == u"cycles")
        arguments << QStringLiteral("--cycles") << QStringLiteral("20");
    QProcess program;
    start(program, arguments);
    // Three changes of the inputs seen, then the ending.
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += program.readAllStandardOutput()).count('\n') >= 3, 10000);
    if (ending == u"sigterm")
        ::kill(pid_t(program.processId()), SIGTERM);
    else if (ending == u"hang-up")
        module.hangUp();
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    output += program.readAllStandardOutput();
    QString previous;
    for (const QByteArray &line : output.trimmed().split('\n')) {
        const QJsonObject reading = QJsonDocument::fromJson(line).object();
        const QString inputs = reading.value(QStringLiteral("inputs")).toString();
        QVERIFY2(inputs == u"1000" || inputs == u"0100", line.constData());
        QVERIFY(inputs != previous); // a line for each change only
        // A time with its zone, the port and the outputs driven.
        const QDateTime time = QDateTime::fromString(
            reading.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
        QVERIFY(time.isValid() && time.timeSpec() != Qt::LocalTime);
        QCOMPARE(reading.value(QStringLiteral("port")).toInt(), 2);
        QCOMPARE(reading.value(QStringLiteral("outputs")).toString(), QStringLiteral("1010"));
        QCOMPARE(reading.value(QStringLiteral("schema")).toInt(), 1);
        previous = inputs;
    }
    if (ending == u"hang-up") {
        const QByteArray errors = program.readAllStandardError();
        QVERIFY2(errors.contains("COM2"), errors.constData());
        return;
    }
    // The module keeps the outputs, and the port is free for the next program.
    QCOMPARE(module.state().outputs, QByteArray("1010"));
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(2, QStringLiteral("19200,e,8,1")));
}

void CommandLineTest::watchWaitsForTheDeviceToComeBack()
{
    SimulatedPorts ports;
    SimulatedModule &first = ports.addModule(2);
    remember(2, DefaultBaudRateIndex);
    QProcess program;
    start(program, {QStringLiteral("watch"), QStringLiteral("--outputs"), QStringLiteral("1010"),
                    QStringLiteral("--reconnect"), QStringLiteral("--json")});
    QByteArray output;
    auto sawLine = [&](const char *key) {
        output += program.readAllStandardOutput();
        return output.contains(QByteArray("\"") + key + "\":");
    };
    QTRY_VERIFY_WITH_TIMEOUT(sawLine("inputs"), 10000);

    // The adapter is pulled out: the watch says so and waits without spinning.
    first.hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(sawLine("lost"), 5000);
    const double cpuBefore = processCpuMs(program.processId());
    QTest::qWait(1000);
    const double cpuWhileGone = processCpuMs(program.processId()) - cpuBefore;
    QVERIFY2(cpuWhileGone < 50, qPrintable(QString::number(cpuWhileGone)));

    // It comes back under another device name, behind the same COM number.
    output.clear();
    SimulatedModule &second = ports.addModule(2);
    QTRY_VERIFY_WITH_TIMEOUT(sawLine("back"), 5000);
    QVERIFY2(output.contains(second.devicePath().toUtf8()), output.constData());
    QTRY_VERIFY_WITH_TIMEOUT(sawLine("inputs"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(second.state().outputs, QByteArray("1010"), 5000);

    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
}

void CommandLineTest::watchHoldsThePort()
{
    SimulatedPorts ports;
    ports.addModule(2);
    remember(2, DefaultBaudRateIndex);
    QProcess watch;
    start(watch, {QStringLiteral("watch")});
    QTRY_VERIFY_WITH_TIMEOUT(watch.canReadLine(), 10000);

    // A second run finds the port busy, and says who holds it.
    const QByteArray holder =
        QByteArray("busy: held by tx4040 (PID ") + QByteArray::number(watch.processId()) + ')';
    const Run info = tx4040({QStringLiteral("info")});
    QCOMPARE(info.exitCode, 3);
    QVERIFY2(info.errors.contains(holder), info.errors.constData());
    const Run listing = tx4040({QStringLiteral("ports")});
    QVERIFY2(listing.output.contains(holder), listing.output.constData());

    ::kill(pid_t(watch.processId()), SIGTERM);
    QVERIFY(watch.waitForFinished(10000));
    QCOMPARE(watch.exitCode(), 0);
}

void CommandLineTest::deviceThatWentAwayIsNamed_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("fault"); // the adapter is pulled out as the module hears this
    QTest::newRow("info") << QStringList{"info"} << QStringLiteral("hang-up@B00V");
    QTest::newRow("set-id") << QStringList{"set-id", "7"} << QStringLiteral("hang-up@B00C");
    QTest::newRow("set-mode") << QStringList{"set-mode", "normal"}
                              << QStringLiteral("hang-up@B00GS");
    QTest::newRow("factory") << QStringList{"factory"} << QStringLiteral("hang-up@B00C");
}

void CommandLineTest::deviceThatWentAwayIsNamed()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, fault);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(3);
    module.addFault(*ParseFault(fault));
    remember(3, DefaultBaudRateIndex);
    const Run run = tx4040(arguments);
    // A module that stopped answering, not a port that would not open.
    QCOMPARE(run.exitCode, 1);
    const QByteArray gone = "tx4040: COM3 (" + module.devicePath().toUtf8() + ") went away\n";
    QVERIFY2(run.errors.contains(gone), run.errors.constData());
}

void CommandLineTest::lateAnswersGiveNoWrongField()
{
    // Every answer comes 200 ms late, after its request has given up: the identity's
    // arrives while the version is awaited, and must not be taken for it.
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(3);
    remember(3, DefaultBaudRateIndex);
    module.addFault(*ParseFault(QStringLiteral("late*always")));
    const Run scan =
        tx4040({QStringLiteral("scan"), QStringLiteral("--port"), QStringLiteral("3")});
    QCOMPARE(scan.exitCode, 1);
    QVERIFY2(scan.errors.startsWith("Get Module Info Error"), scan.errors.constData());
    QVERIFY(!scan.output.contains("version:"));
    // The scan's last late answer has come by then: a new run knows the form of the
    // module's replies only once it has read the identity itself.
    QTest::qWait(300);
    const Run setId = tx4040({QStringLiteral("set-id"), QStringLiteral("7")});
    QCOMPARE(setId.exitCode, 1);
    QVERIFY(!setId.output.contains("Set Module ID Ok"));
    QCOMPARE(module.state().id, QByteArray("01"));
}

void CommandLineTest::moduleSaysNo()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(3);
    remember(3, DefaultBaudRateIndex);
    // "?01C": the module's no to the new ID.
    module.addFault(*ParseFault(QStringLiteral("raw=0a3f30314337370d@B00C*always")));
    const Run run = tx4040({QStringLiteral("set-id"), QStringLiteral("7")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains("Set Module ID Error"), run.errors.constData());
}

void CommandLineTest::linkThatIsNoPortOfTheProgram_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("a console") << "console" << QByteArray("console (skipped)");
    QTest::newRow("a console's device under another name")
        << "console number" << QByteArray("console (skipped)");
    QTest::newRow("a link left by a simulated module that is gone")
        << "stale" << QByteArray("stale link: the simulated module that made it is gone");
    QTest::newRow("a link left by a simulated module whose process number is taken again")
        << "reused" << QByteArray("stale link: the simulated module that made it is gone");
    QTest::newRow("a link whose record names no process")
        << "no process" << QByteArray("stale link: the simulated module that made it is gone");
}

void CommandLineTest::linkThatIsNoPortOfTheProgram()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, said);
    SimulatedPorts ports;
    const QString link = ports.portsFolder() + QStringLiteral("/COM4");
    // The terminal of another program, which a stale link may lead to once its number is
    // taken again.
    UniqueFd other(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    QVERIFY(other.isValid() && ::grantpt(other.get()) == 0 && ::unlockpt(other.get()) == 0);
    if (kind == u"console") {
        QVERIFY(QFile::link(QStringLiteral("/dev/console"), link));
    } else if (kind == u"console number") {
        if (::geteuid() != 0)
            QSKIP("only root may make a device node");
        const QString node = ports.configFolder() + QStringLiteral("/line");
        QCOMPARE(::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0600, ::makedev(5, 1)), 0);
        QVERIFY(QFile::link(node, link));
    } else {
        QVERIFY(QFile::link(QString::fromLocal8Bit(::ptsname(other.get())), link));
        // Its record names a process that no longer runs, one that runs now under that
        // number but started at another time, or none at all.
        QFile record(ports.portsFolder() + QStringLiteral("/.COM4.owner"));
        QVERIFY(record.open(QIODevice::WriteOnly));
        if (kind == u"stale")
            record.write("999999999 1\n");
        else if (kind == u"reused")
            record.write(QByteArray::number(QCoreApplication::applicationPid()) + " 1\n");
        else
            record.write("0\n");
    }
    const Run listing = tx4040({QStringLiteral("ports")});
    QVERIFY2(listing.output.contains(said), listing.output.constData());
    const Run scan =
        tx4040({QStringLiteral("scan"), QStringLiteral("--port"), QStringLiteral("4")});
    QCOMPARE(scan.exitCode, 3);
    QVERIFY2(scan.errors.contains(said), scan.errors.constData());
    // Nothing reached the other terminal.
    char byte = 0;
    QCOMPARE(::read(other.get(), &byte, 1), ssize_t(-1));
    QCOMPARE(errno, EAGAIN);
}

void CommandLineTest::brokenPipeEndsWatchInOrder()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(2);
    module.setContactSchedule({"1000", "0100"}, 100);
    remember(2, DefaultBaudRateIndex);
    const QString device = module.devicePath();
    termios before{};
    {
        const UniqueFd fd(
            ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK));
        QCOMPARE(::tcgetattr(fd.get(), &before), 0);
    }
    // The reader goes after the first line; the watch learns it at its next write.
    QProcess shell;
    shell.setProcessEnvironment(WithPtyLine(QProcessEnvironment::systemEnvironment()));
    shell.start(QStringLiteral("bash"),
                {QStringLiteral("-c"),
                 QStringLiteral("\"$0\" watch --outputs 1010 | head -1; "
                                "echo \"status ${PIPESTATUS[0]}\" >&2"),
                 QCoreApplication::applicationDirPath() + QStringLiteral("/tx4040")});
    QVERIFY(shell.waitForFinished(20000));
    const QByteArray errors = shell.readAllStandardError();
    // Death by SIGPIPE, as the shell expects it.
    QVERIFY2(errors.contains("status 141"), errors.constData());
    QCOMPARE(shell.readAllStandardOutput().count('\n'), 1);
    // The port was closed as after a stop: free again, with its settings as found.
    QCOMPARE(DiagnosePort(ports.portMap(), 2).stateName(), QStringLiteral("ok"));
    termios after{};
    const UniqueFd fd(
        ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK));
    QCOMPARE(::tcgetattr(fd.get(), &after), 0);
    QCOMPARE(after.c_cflag, before.c_cflag);
    QCOMPARE(after.c_lflag, before.c_lflag);
    QCOMPARE(::cfgetospeed(&after), ::cfgetospeed(&before));
    QCOMPARE(module.state().outputs, QByteArray("1010"));
}

void CommandLineTest::traceToAFifoWithoutReader_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("tx4040") << "tx4040" << QStringList{"info", "--trace"};
    QTest::newRow("tx4040-config") << "tx4040-config" << QStringList{"--trace"};
    QTest::newRow("tx4040-sim") << "tx4040-sim" << QStringList{"--port", "9", "--trace"};
}

void CommandLineTest::traceToAFifoWithoutReader()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    SimulatedPorts ports;
    const QString fifo = ports.configFolder() + QStringLiteral("/fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess run;
    run.start(QCoreApplication::applicationDirPath() + u'/' + program, arguments << fifo);
    // At once, not held by a FIFO that nobody reads.
    QVERIFY(run.waitForFinished(5000));
    QCOMPARE(run.exitCode(), 2);
    const QByteArray errors = run.readAllStandardError();
    QVERIFY2(errors.contains(fifo.toUtf8() + ": no reader"), errors.constData());
}

void CommandLineTest::scanStoppedFromOutside()
{
    SimulatedPorts ports;
    SimulatedModule &silent = ports.addSilentPort(2);
    QProcess program;
    start(program, {QStringLiteral("scan")});
    QTRY_VERIFY_WITH_TIMEOUT(!silent.trace().isEmpty(), 10000);
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    // Neither "Module Not Find" nor the progress: the search did not end.
    QCOMPARE(program.readAllStandardOutput(), QByteArray());
    QCOMPARE(program.readAllStandardError(), QByteArray("tx4040: stopped\n"));
    QCOMPARE(storedPlace(), QStringLiteral("none"));
}

void CommandLineTest::scanOnATerminalShowsWhereItIs()
{
    // Standard error on a terminal: one line, rewritten, names the port and setting tried,
    // and is cleared when the search ends; the result goes to standard output as ever.
    SimulatedPorts ports;
    ports.addModule(3);
    UniqueFd terminal(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    QVERIFY(terminal.isValid() && ::grantpt(terminal.get()) == 0 &&
            ::unlockpt(terminal.get()) == 0);
    QProcess scan;
    scan.setStandardErrorFile(QString::fromLocal8Bit(::ptsname(terminal.get())));
    StartProgram(scan, QStringLiteral("tx4040"), {QStringLiteral("scan")});
    QVERIFY(scan.waitForFinished(30000));
    QCOMPARE(scan.exitCode(), 0);
    QVERIFY(scan.readAllStandardOutput().contains("port: COM3\n"));
    QByteArray shown;
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal.get(), buffer, sizeof buffer)) > 0;)
        shown.append(buffer, n);
    QVERIFY2(shown.contains("\r\033[KScan COM : #3  19200,n,8,1\r\033[KScan COM : #3  19200,e,8,1"),
             shown.constData());
    QVERIFY2(shown.endsWith("\r\033[K"), shown.constData());
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "test_command_line.moc"
