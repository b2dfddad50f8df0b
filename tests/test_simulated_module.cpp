// The simulated module: its command handling, its faults, its line, and the
// tx4040-sim program around it.

#include "command_exchange.h"
#include "command_set.h"
#include "fault_plan.h"
#include "module_behaviour.h"
#include "simulated_ports.h"
#include "unique_fd.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <csignal>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

constexpr qint64 Ms = 1'000'000;

QString simProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tx4040-sim");
}

const QByteArray IdentityRequest = "\tB00B09\r";
const QByteArray IdentityReply = "\n!01BTX04000161\r"; // the factory module's

// The device opened as a serial port, raw, at the setting.
UniqueFd openLine(const QString &device, const SimLineSetting &setting)
{
    UniqueFd line(::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios t{};
    if (!line.isValid() || ::tcgetattr(line.get(), &t) != 0)
        return {};
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    if (setting.parity != 'n')
        t.c_cflag |= PARENB | (setting.parity == 'o' ? PARODD : 0);
    const speed_t speed = setting.baud == 4800    ? B4800
                          : setting.baud == 9600  ? B9600
                          : setting.baud == 19200 ? B19200
                          : setting.baud == 38400 ? B38400
                          : setting.baud == 57600 ? B57600
                                                  : B115200;
    if (::cfsetspeed(&t, speed) != 0 || ::tcsetattr(line.get(), TCSANOW, &t) != 0)
        return {};
    return line;
}

// Up to count bytes, whatever has come when the time is up.
QByteArray readFor(int fd, qsizetype count, int timeoutMs)
{
    QByteArray bytes;
    QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    while (bytes.size() < count && !deadline.hasExpired()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(deadline.remainingTime())) <= 0)
            continue;
        char buffer[256];
        const ssize_t n =
            ::read(fd, buffer, std::min<qsizetype>(sizeof buffer, count - bytes.size()));
        if (n > 0)
            bytes.append(buffer, n);
    }
    return bytes;
}

QList<QByteArray> sentFrames(const SimulatedModule &module)
{
    QList<QByteArray> frames;
    for (const TraceEntry &entry : module.trace()) {
        if (entry.event == u"tx")
            frames.append(entry.bytes);
    }
    return frames;
}

} // namespace

class SimulatedModuleTest : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void polarityTurnsInputsAround();
    void faultTexts_data();
    void faultTexts();
    void baudRateChangeAnswersBeforeSwitching();
    void contactsFollowTheirSchedule();
    void faultCountsRunOut();
    void linkIsTheModulesOwn();
    void programRunsUntilSignalled();
    void programEndsWhenTheDeviceVanishes();
    void linkOfAKilledProgramIsTakenOver();
    void commandBesideTheModule_data();
    void commandBesideTheModule();
    void foldersItMadeGoWhenEmpty_data();
    void foldersItMadeGoWhenEmpty();
    void badOptionValues_data();
    void badOptionValues();
    void echoComesBeforeTheReply_data();
    void echoComesBeforeTheReply();
    void latencyTimerHoldsReplies_data();
    void latencyTimerHoldsReplies();
    void refusedParityReadsBackAsNone_data();
    void refusedParityReadsBackAsNone();
    void adapterOptions();
};

void SimulatedModuleTest::commands_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply"); // empty: silent
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<bool>("hold");
    QTest::addColumn<QByteArray>("polarity");
    QTest::addColumn<QByteArray>("outputs");
    QTest::addColumn<int>("newSetting"); // -1: none

    const QByteArray zeros(16, '0');
    QTest::newRow("identity") << QByteArray("B00B") << QByteArray("!01BTX040001")
                              << QByteArray("01") << true << zeros << QByteArray("0000") << -1;
    QTest::newRow("version") << QByteArray("B00V") << QByteArray("!01V01.05-03") << QByteArray("01")
                             << true << zeros << QByteArray("0000") << -1;
    QTest::newRow("read mode") << QByteArray("B00G") << QByteArray("!01GH") << QByteArray("01")
                               << true << zeros << QByteArray("0000") << -1;
    QTest::newRow("set Normal") << QByteArray("B00GS") << QByteArray("!01GS") << QByteArray("01")
                                << false << zeros << QByteArray("0000") << -1;
    QTest::newRow("read polarity") << QByteArray("B00A") << "!01A" + zeros << QByteArray("01")
                                   << true << zeros << QByteArray("0000") << -1;
    QTest::newRow("set polarity") << QByteArray("B00A1010000000000000") << QByteArray("!01A")
                                  << QByteArray("01") << true << QByteArray("1010000000000000")
                                  << QByteArray("0000") << -1;
    QTest::newRow("polarity too short")
        << QByteArray("B00A10") << QByteArray("?01A") << QByteArray("01") << true << zeros
        << QByteArray("0000") << -1;
    QTest::newRow("ID for its own serial")
        << QByteArray("B00CTX04000107") << QByteArray("!07C") << QByteArray("07") << true << zeros
        << QByteArray("0000") << -1;
    QTest::newRow("ID for another serial")
        << QByteArray("B00CTX04999907") << QByteArray() << QByteArray("01") << true << zeros
        << QByteArray("0000") << -1;
    QTest::newRow("ID 00") << QByteArray("B00CTX04000100") << QByteArray("?01C") << QByteArray("01")
                           << true << zeros << QByteArray("0000") << -1;
    QTest::newRow("baud code 3") << QByteArray("B00E3") << QByteArray("!01E") << QByteArray("01")
                                 << true << zeros << QByteArray("0000") << 3;
    QTest::newRow("baud code B") << QByteArray("B00EB") << QByteArray("!01E") << QByteArray("01")
                                 << true << zeros << QByteArray("0000") << 11;
    QTest::newRow("baud code C") << QByteArray("B00EC") << QByteArray("?01E") << QByteArray("01")
                                 << true << zeros << QByteArray("0000") << -1;
    QTest::newRow("outputs") << QByteArray("B00F1010") << QByteArray("!01F0000") << QByteArray("01")
                             << true << zeros << QByteArray("1010") << -1;
    QTest::newRow("outputs not flags")
        << QByteArray("B00F10x0") << QByteArray("?01F") << QByteArray("01") << true << zeros
        << QByteArray("0000") << -1;
    QTest::newRow("unknown letter") << QByteArray("B00X") << QByteArray("?01X") << QByteArray("01")
                                    << true << zeros << QByteArray("0000") << -1;
    QTest::newRow("not for this module") << QByteArray("A00B") << QByteArray() << QByteArray("01")
                                         << true << zeros << QByteArray("0000") << -1;
}

void SimulatedModuleTest::commands()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, id);
    QFETCH(bool, hold);
    QFETCH(QByteArray, polarity);
    QFETCH(QByteArray, outputs);
    QFETCH(int, newSetting);
    ModuleBehaviour module;
    const ModuleResponse response = module.handle(command);
    QCOMPARE(response.body.value_or(QByteArray()), reply);
    QCOMPARE(module.state().id, id);
    QCOMPARE(module.state().holdMode, hold);
    QCOMPARE(module.state().polarity, polarity);
    QCOMPARE(module.state().outputs, outputs);
    QCOMPARE(response.newSettingIndex.value_or(-1), newSetting);
    QCOMPARE(module.state().settingIndex, 5); // a new setting waits for the reply to go out
}

void SimulatedModuleTest::polarityTurnsInputsAround()
{
    ModuleState state;
    state.contacts = "1010";
    state.polarity = "0110" + QByteArray(12, '0');
    ModuleBehaviour module(state);
    QCOMPARE(*module.handle("B00F0000").body, QByteArray("!01F1100"));
}

void SimulatedModuleTest::faultTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "no-reply" << true << int(FaultKind::NoReply) << QByteArray() << 1
                           << 0;
    QTest::newRow("for one command, once")
        << "no-reply@B00V*1" << true << int(FaultKind::NoReply) << QByteArray("B00V") << 1 << 0;
    QTest::newRow("late with a value, always")
        << "late=400*always" << true << int(FaultKind::LateReply) << QByteArray() << Fault::Always
        << 400;
    QTest::newRow("late by default")
        << "late" << true << int(FaultKind::LateReply) << QByteArray() << 1 << 200;
    QTest::newRow("shorter reply, three times")
        << "wrong-length=-1@B00B*3" << true << int(FaultKind::WrongLength) << QByteArray("B00B")
        << 3 << -1;
    QTest::newRow("unknown kind") << "explode" << false << 0 << QByteArray() << 0 << 0;
    QTest::newRow("bad count") << "babble*0" << false << 0 << QByteArray() << 0 << 0;
    QTest::newRow("bad value") << "late=soon" << false << 0 << QByteArray() << 0 << 0;
    QTest::newRow("raw without bytes") << "raw" << false << 0 << QByteArray() << 0 << 0;
}

void SimulatedModuleTest::faultTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, kind);
    QFETCH(QByteArray, command);
    QFETCH(int, count);
    QFETCH(int, value);
    QString error;
    const auto fault = ParseFault(text, &error);
    QCOMPARE(fault.has_value(), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (fault) {
        QCOMPARE(int(fault->kind), kind);
        QCOMPARE(fault->command, command);
        QCOMPARE(fault->count, count);
        QCOMPARE(fault->value, value);
    }
}

void SimulatedModuleTest::baudRateChangeAnswersBeforeSwitching()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(2, 5);
    PortAccess port(ports.portMap(), LinkServices::system());
    CommandExchange exchange(port);
    {
        OpenedPort opened(port, 2, QStringLiteral("19200,e,8,1"));
        QVERIFY(exchange.SendCommand(*SetBaudRateCommand(3)));
        QVERIFY(!exchange.SendCommand(Command::ReadIdentity));
    }
    QCOMPARE(module.state().settingIndex, 3);
    OpenedPort opened(port, 2, QStringLiteral("9600,e,8,1"));
    QVERIFY(exchange.SendCommand(Command::ReadIdentity));
    QCOMPARE(exchange.ReplyLength(), IdentityReplyLength);
}

void SimulatedModuleTest::contactsFollowTheirSchedule()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(2, 10);
    module.setContactSchedule({"1001", "0110"}, 40);
    PortAccess port(ports.portMap(), LinkServices::system());
    OpenedPort opened(port, 2, QStringLiteral("115200,n,8,1"));
    CommandExchange exchange(port);
    QSet<QByteArray> seen;
    for (int i = 0; i < 40 && seen.size() < 2; ++i) {
        QVERIFY(exchange.SendCommand(SetOutputsCommand({true, true, false, false})));
        QCOMPARE(exchange.ReplyLength(), OutputsReplyLength);
        seen.insert(ReplyInputStates(exchange.LastReply()));
    }
    QCOMPARE(seen, (QSet<QByteArray>{"1001", "0110"}));
    QCOMPARE(module.state().outputs, QByteArray("1100"));
}

void SimulatedModuleTest::faultCountsRunOut()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(2);
    module.addFault(*ParseFault(QStringLiteral("no-reply@B00V*2")));
    PortAccess port(ports.portMap(), LinkServices::system());
    OpenedPort opened(port, 2, QStringLiteral("19200,e,8,1"));
    CommandExchange exchange(port);
    QVERIFY(exchange.SendCommand(Command::ReadIdentity)); // another command: no fault
    QVERIFY(!exchange.SendCommand(Command::ReadVersion));
    QVERIFY(!exchange.SendCommand(Command::ReadVersion));
    QVERIFY(exchange.SendCommand(Command::ReadVersion));
    QCOMPARE(ReplyVersion(exchange.LastReply()), QByteArray("01.05-03"));
    QCOMPARE(module.heardCommands(),
             (QList<QByteArray>{Command::ReadIdentity, Command::ReadVersion}));
}

void SimulatedModuleTest::linkIsTheModulesOwn()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(6);
    const QString link = module.linkPath();
    QCOMPARE(QFileInfo(link).symLinkTarget(), module.devicePath());

    // A second module cannot take a port that is in use ...
    SimulatedModule rival(SimConfig{ports.portsFolder(), 6, {}, false, {}});
    QString error;
    QVERIFY(!rival.start(&error));
    QVERIFY(error.contains(QStringLiteral("COM6")));
    QCOMPARE(QFileInfo(link).symLinkTarget(), module.devicePath());

    // ... but takes over a link left dangling.
    module.stop();
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    QVERIFY(QFile::link(ports.configFolder() + QStringLiteral("/gone"), link));
    SimulatedModule successor(SimConfig{ports.portsFolder(), 6, {}, false, {}});
    QVERIFY(successor.start(&error));
    QCOMPARE(QFileInfo(link).symLinkTarget(), successor.devicePath());
}

void SimulatedModuleTest::programRunsUntilSignalled()
{
    SimulatedPorts ports;
    const QString tracePath = ports.configFolder() + QStringLiteral("/trace.txt");
    QProcess sim;
    sim.start(simProgram(),
              {QStringLiteral("--port"), QStringLiteral("4"), QStringLiteral("--setting"),
               QStringLiteral("9600,e,8,1"), QStringLiteral("--id"), QStringLiteral("42"),
               QStringLiteral("--trace"), tracePath});
    QVERIFY(sim.waitForStarted());
    QVERIFY(sim.waitForReadyRead(5000));
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY(device.startsWith(QStringLiteral("/dev/pts/")));
    const QString link = ports.portsFolder() + QStringLiteral("/COM4");
    QCOMPARE(QFileInfo(link).symLinkTarget(), device);

    {
        PortAccess port(ports.portMap(), LinkServices::system());
        OpenedPort opened(port, 4, QStringLiteral("9600,e,8,1"));
        QVERIFY(opened.isOpen());
        CommandExchange exchange(port);
        QVERIFY(exchange.SendCommand(Command::ReadIdentity));
        QCOMPARE(ReplyModuleId(exchange.LastReply()), QByteArray("42"));
    }

    ::kill(sim.processId(), SIGTERM);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());

    QFile trace(tracePath);
    QVERIFY(trace.open(QIODevice::ReadOnly));
    // The program's frame log format, the time field dropped.
    const QList<QByteArray> lines = trace.readAll().split('\n');
    QVERIFY(lines.size() >= 2);
    auto withoutTime = [](const QByteArray &line) { return line.mid(line.indexOf(' ') + 1); };
    QCOMPARE(withoutTime(lines[0]), QByteArray("COM4 9600,e,8,1 rx \\tB00B09\\r 094230304230390d"));
    QCOMPARE(withoutTime(lines[1]), QByteArray("COM4 9600,e,8,1 tx \\n!42BTX04000166\\r "
                                               "0a21343242545830343030303136360d"));
}

void SimulatedModuleTest::programEndsWhenTheDeviceVanishes()
{
    SimulatedPorts ports;
    QProcess sim;
    sim.start(simProgram(), {QStringLiteral("--port"), QStringLiteral("9"),
                             QStringLiteral("--fault"), QStringLiteral("hang-up@B00V")});
    QVERIFY(sim.waitForReadyRead(5000));
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(9, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);
    QVERIFY(exchange.SendCommand(Command::ReadIdentity));
    QVERIFY(!exchange.SendCommand(Command::ReadVersion));
    // It may have ended while the exchange kept the event loop running.
    QVERIFY(sim.state() == QProcess::NotRunning || sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    port.ClosePort();
    QVERIFY(!QFileInfo(ports.portsFolder() + QStringLiteral("/COM9")).isSymLink());
    QVERIFY(!port.OpenPort(9, QStringLiteral("19200,e,8,1")));
}

void SimulatedModuleTest::linkOfAKilledProgramIsTakenOver()
{
    SimulatedPorts ports;
    QProcess sim;
    sim.start(simProgram(), {QStringLiteral("--port"), QStringLiteral("5")});
    QVERIFY(sim.waitForReadyRead(5000));
    QVERIFY(QString::fromLocal8Bit(sim.readLine()).startsWith(QStringLiteral("/dev/pts/")));
    ::kill(sim.processId(), SIGKILL);
    QVERIFY(sim.waitForFinished(5000));
    const QString link = ports.portsFolder() + QStringLiteral("/COM5");
    QVERIFY(QFileInfo(link).isSymLink());

    // The pty number may be reused at once by another program; the link is replaced
    // all the same, because the program that made it is gone.
    SimulatedModule &successor = ports.addModule(5);
    QCOMPARE(QFileInfo(link).symLinkTarget(), successor.devicePath());
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(5, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);
    QVERIFY(exchange.SendCommand(Command::ReadIdentity));

    // A link that no simulator made (a real adapter's, say) is never taken over.
    const QString userLink = ports.portsFolder() + QStringLiteral("/COM8");
    QVERIFY(QFile::link(successor.devicePath(), userLink));
    SimulatedModule rival(SimConfig{ports.portsFolder(), 8, {}, false, {}});
    QVERIFY(!rival.start());
    QCOMPARE(QFileInfo(userLink).symLinkTarget(), successor.devicePath());
}

void SimulatedModuleTest::commandBesideTheModule_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("terminate"); // SIGTERM to the simulator while it runs
    QTest::addColumn<int>("exitCode");
    // The command sees the module's link and the pty line library.
    QTest::newRow("its own end") << "test -L \"$XDG_CONFIG_HOME/VANTREL/ports/COM4\" && "
                                    "echo \"$LD_PRELOAD\"; exit 3"
                                 << false << 3;
    QTest::newRow("SIGTERM passed on")
        << "echo \"$LD_PRELOAD\"; exec sleep 30" << true << 128 + SIGTERM;
}

void SimulatedModuleTest::commandBesideTheModule()
{
    QFETCH(QString, script);
    QFETCH(bool, terminate);
    QFETCH(int, exitCode);
    SimulatedPorts ports;
    QProcess sim;
    // Under AddressSanitizer the preloaded library brings its runtime into a program
    // that was built without it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("verify_asan_link_order=0"));
    sim.setProcessEnvironment(environment);
    sim.start(simProgram(), {QStringLiteral("--port"), QStringLiteral("4"), QStringLiteral("--"),
                             QStringLiteral("sh"), QStringLiteral("-c"), script});
    QVERIFY(sim.waitForReadyRead(5000));
    if (terminate)
        ::kill(sim.processId(), SIGTERM);
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), exitCode);
    QVERIFY(sim.readAllStandardOutput().trimmed().endsWith("/libtx4040_ptyline.so"));
    QVERIFY(!QFileInfo(ports.portsFolder() + QStringLiteral("/COM4")).isSymLink());
}

void SimulatedModuleTest::foldersItMadeGoWhenEmpty_data()
{
    QTest::addColumn<QString>("before"); // what the configuration folder held
    QTest::addColumn<QStringList>("after");
    QTest::newRow("nothing") << QString() << QStringList{};
    QTest::newRow("the settings") << "VANTREL/Morvale.reg" << QStringList{"VANTREL"};
    QTest::newRow("another port's link")
        << "VANTREL/ports/COM2" << QStringList{"VANTREL", "VANTREL/ports"};
}

void SimulatedModuleTest::foldersItMadeGoWhenEmpty()
{
    QFETCH(QString, before);
    QFETCH(QStringList, after);
    QTemporaryDir config;
    if (!before.isEmpty()) {
        QDir(config.path()).mkpath(QFileInfo(before).path());
        QFile file(config.filePath(before));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    SimulatedModule module(SimConfig{config.filePath("VANTREL/ports"), 6, {}, false, {}});
    QVERIFY(module.start());
    QVERIFY(QFileInfo(module.linkPath()).isSymLink());
    module.stop();
    QStringList folders;
    QDirIterator it(config.path(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        folders << QDir(config.path()).relativeFilePath(it.next());
    folders.sort();
    QCOMPARE(folders, after);
}

void SimulatedModuleTest::badOptionValues_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named");
    QTest::newRow("--id 100") << QStringList{"--id", "100"} << "--id";
    QTest::newRow("--id ab") << QStringList{"--id", "ab"} << "--id";
    QTest::newRow("--serial 123") << QStringList{"--serial", "123"} << "--serial";
    QTest::newRow("--mode bogus") << QStringList{"--mode", "bogus"} << "--mode";
    QTest::newRow("empty --firmware") << QStringList{"--firmware", ""} << "--firmware";
    QTest::newRow("--inputs-period garbage")
        << QStringList{"--inputs-period", "garbage"} << "--inputs-period";
    QTest::newRow("--port 0") << QStringList{"--port", "0"} << "--port";
    QTest::newRow("--latency 0") << QStringList{"--latency", "0"} << "--latency";
    QTest::newRow("--latency 256") << QStringList{"--latency", "256"} << "--latency";
    QTest::newRow("--refuse bogus") << QStringList{"--refuse", "bogus"} << "--refuse";
}

void SimulatedModuleTest::badOptionValues()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    SimulatedPorts ports;
    QProcess sim;
    sim.start(simProgram(), arguments);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(QString::fromLocal8Bit(sim.readAllStandardError()).contains(named));
    // No link: it stopped before making anything.
    QVERIFY(
        QDir(ports.portsFolder()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void SimulatedModuleTest::echoComesBeforeTheReply_data()
{
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("module answers") << false << IdentityReply;
    QTest::newRow("silent port") << true << QByteArray();
}

void SimulatedModuleTest::echoComesBeforeTheReply()
{
    QFETCH(bool, silent);
    QFETCH(QByteArray, reply);
    SimulatedPorts ports;
    SimConfig config;
    config.portNumber = 2;
    config.state.settingIndex = 3; // 9600,e,8,1
    config.silent = silent;
    config.echo = true;
    SimulatedModule &module = ports.addModule(config);
    const UniqueFd line = openLine(module.devicePath(), ModuleSetting(3));
    QVERIFY(line.isValid());

    QElapsedTimer sent;
    sent.start();
    QCOMPARE(::write(line.get(), IdentityRequest.constData(), IdentityRequest.size()),
             IdentityRequest.size());
    QCOMPARE(readFor(line.get(), IdentityRequest.size(), 1000), IdentityRequest);
    // Not at once: the last character came back when its last bit crossed the wire.
    QVERIFY(sent.nsecsElapsed() >= IdentityRequest.size() * ModuleSetting(3).characterTimeNs());
    QCOMPARE(readFor(line.get(), 256, 300), reply);
    // The module's own frames only.
    QCOMPARE(sentFrames(module), reply.isEmpty() ? QList<QByteArray>{} : QList{reply});
}

void SimulatedModuleTest::latencyTimerHoldsReplies_data()
{
    QTest::addColumn<int>("latencyMs");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<bool>("askLowLatency");
    QTest::addColumn<int>("setSerialErrno"); // of TIOCSSERIAL; 0: taken
    QTest::addColumn<bool>("held");
    QTest::newRow("no timer") << 0 << false << true << ENOTTY << false;
    QTest::newRow("16 ms timer") << 16 << false << false << 0 << true;
    QTest::newRow("low latency") << 16 << false << true << 0 << false;
    QTest::newRow("low latency refused") << 16 << true << true << EINVAL << true;
}

void SimulatedModuleTest::latencyTimerHoldsReplies()
{
    QFETCH(int, latencyMs);
    QFETCH(bool, refused);
    QFETCH(bool, askLowLatency);
    QFETCH(int, setSerialErrno);
    QFETCH(bool, held);
    SimulatedPorts ports;
    SimConfig config;
    config.portNumber = 2;
    // With parity, so that the setting must outlive the low-latency report beside it.
    config.state.settingIndex = 11; // 115200,e,8,1
    config.latencyMs = latencyMs;
    config.refusesLowLatency = refused;
    SimulatedModule &module = ports.addModule(config);
    const UniqueFd line = openLine(module.devicePath(), ModuleSetting(11));
    QVERIFY(line.isValid());

    if (askLowLatency) {
        serial_struct serial{};
        const bool known = ::ioctl(line.get(), TIOCGSERIAL, &serial) == 0;
        serial.flags |= ASYNC_LOW_LATENCY;
        errno = 0;
        QCOMPARE(::ioctl(line.get(), TIOCSSERIAL, &serial) == 0 ? 0 : errno, setSerialErrno);
        QCOMPARE(known, latencyMs > 0);
        if (known) {
            serial_struct now{};
            QCOMPARE(::ioctl(line.get(), TIOCGSERIAL, &now), 0);
            QCOMPARE(bool(now.flags & ASYNC_LOW_LATENCY), setSerialErrno == 0);
        }
    }

    // How long each reply took beyond its wire time. A late wake-up on a busy machine
    // only adds to it, so the quickest quarter of the exchanges tells the hold: over
    // 1 ms but within the tick for a reply held to a 16 ms tick, under 3 ms for one
    // handed over at 1 ms ticks or at once.
    const qint64 wireNs =
        (IdentityRequest.size() + IdentityReply.size()) * ModuleSetting(11).characterTimeNs();
    constexpr int Exchanges = 20;
    QList<qint64> extrasNs;
    for (int i = 0; i < Exchanges; ++i) {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(::write(line.get(), IdentityRequest.constData(), IdentityRequest.size()),
                 IdentityRequest.size());
        QCOMPARE(readFor(line.get(), IdentityReply.size(), 1000), IdentityReply);
        extrasNs.append(timer.nsecsElapsed() - wireNs);
    }
    std::sort(extrasNs.begin(), extrasNs.end());
    const qint64 quickQuarterNs = extrasNs.at(Exchanges / 4);
    QByteArray extras = "beyond the wire time, us:";
    for (const qint64 ns : std::as_const(extrasNs))
        extras += ' ' + QByteArray::number(ns / 1000);
    if (held) {
        QVERIFY2(quickQuarterNs > 1 * Ms, extras);
        QVERIFY2(quickQuarterNs < (latencyMs + 2) * Ms, extras); // to the tick, not beyond
    } else {
        QVERIFY2(quickQuarterNs < 3 * Ms, extras);
    }
}

void SimulatedModuleTest::refusedParityReadsBackAsNone_data()
{
    QTest::addColumn<bool>("refused");
    QTest::addColumn<char>("parity"); // as the module sees the program's setting
    QTest::newRow("parity taken") << false << 'e';
    QTest::newRow("parity refused") << true << 'n';
}

void SimulatedModuleTest::refusedParityReadsBackAsNone()
{
    QFETCH(bool, refused);
    QFETCH(char, parity);
    SimulatedPorts ports;
    SimConfig config;
    config.portNumber = 2;
    config.refusesParity = refused;
    SimulatedModule &module = ports.addModule(config);
    // Success either way: such a driver says nothing.
    const UniqueFd line = openLine(module.devicePath(), ModuleSetting(5)); // 19200,e,8,1
    QVERIFY(line.isValid());
    termios t{};
    QCOMPARE(::tcgetattr(line.get(), &t), 0);
    QCOMPARE(bool(t.c_cflag & PARENB), !refused);
    QCOMPARE((t.c_cflag & CSIZE), tcflag_t(CS8));
    QCOMPARE(module.programSetting(), (SimLineSetting{19200, parity, 8, 1}));
}

void SimulatedModuleTest::adapterOptions()
{
    SimulatedPorts ports;
    QProcess sim;
    sim.start(simProgram(),
              {QStringLiteral("--port"), QStringLiteral("4"), QStringLiteral("--echo"),
               QStringLiteral("--silent"), QStringLiteral("--latency"), QStringLiteral("16"),
               QStringLiteral("--refuse"), QStringLiteral("low-latency"),
               QStringLiteral("--refuse"), QStringLiteral("parity")});
    QVERIFY(sim.waitForReadyRead(5000));
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    {
        const UniqueFd line = openLine(device, ModuleSetting(5));
        QVERIFY(line.isValid());
        termios t{};
        QCOMPARE(::tcgetattr(line.get(), &t), 0);
        QVERIFY(!(t.c_cflag & PARENB));
        serial_struct serial{};
        QCOMPARE(::ioctl(line.get(), TIOCGSERIAL, &serial), 0);
        serial.flags |= ASYNC_LOW_LATENCY;
        QCOMPARE(::ioctl(line.get(), TIOCSSERIAL, &serial), -1);
        QCOMPARE(errno, EINVAL);
        QCOMPARE(::write(line.get(), IdentityRequest.constData(), IdentityRequest.size()),
                 IdentityRequest.size());
        QCOMPARE(readFor(line.get(), 256, 300), IdentityRequest);
    }
    ::kill(sim.processId(), SIGTERM);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
}

QTEST_GUILESS_MAIN(SimulatedModuleTest)
#include "test_simulated_module.moc"
