// The serial port of the link, over pseudo-terminals: which devices it opens, that it
// holds them alone, that it puts their settings back, and the pace of reads and waits.

#include "command_exchange.h"
#include "command_set.h"
#include "line_report.h"
#include "port_system.h"
#include "simulated_ports.h"
#include "system_consoles.h"

#include <QDir>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

namespace {

// Everything a terminal's settings hold, compared field by field.
bool sameSettings(const termios &a, const termios &b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && a.c_line == b.c_line &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b);
}

termios settingsOf(const QString &device)
{
    termios t{};
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ::tcgetattr(fd, &t);
    ::close(fd);
    return t;
}

void setSettings(const QString &device, const termios &t)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QCOMPARE(::tcsetattr(fd, TCSANOW, &t), 0);
    ::close(fd);
}

bool identityAnswered(PortAccess &port)
{
    CommandExchange exchange(port);
    return exchange.SendCommand(Command::ReadIdentity) &&
           exchange.ReplyLength() == IdentityReplyLength;
}

} // namespace

class PortAccessTest : public QObject
{
    Q_OBJECT

private slots:
    void opensTheLinkedDevice_data();
    void opensTheLinkedDevice();
    void neverOpensWhatIsNotATerminal_data();
    void neverOpensWhatIsNotATerminal();
    void consolesAreNoPorts_data();
    void consolesAreNoPorts();
    void consoleNumbers_data();
    void consoleNumbers();
    void settingsComeBackExactly();
    void secondOpenFails();
    void failedOpenLeavesTheHolderAlone();
    void advisoryLockKeepsOthersOut();
    void holderFromProcLocks_data();
    void holderFromProcLocks();
    void holderByItsOpenDescriptors_data();
    void holderByItsOpenDescriptors();
    void lowLatencyWhileOpen_data();
    void lowLatencyWhileOpen();
    void refusedModeStringKeepsTheLine();
    void writesReturnOnceSent_data();
    void writesReturnOnceSent();
    void idleReadGivesUpAfterAboutOneMs();
    void waitMsHoldsAcrossTheClockWrap();
    void moduleHearsOnlyItsOwnSetting_data();
    void moduleHearsOnlyItsOwnSetting();
};

void PortAccessTest::opensTheLinkedDevice_data()
{
    QTest::addColumn<int>("portNumber");
    QTest::newRow("COM1") << 1;
    QTest::newRow("COM16") << 16;
    QTest::newRow("COM17, past the search") << 17;
    QTest::newRow("COM100") << 100;
}

void PortAccessTest::opensTheLinkedDevice()
{
    QFETCH(int, portNumber);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(portNumber);
    QCOMPARE(ports.portMap().devicePath(portNumber), module.devicePath());

    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(portNumber, QStringLiteral("19200,e,8,1")));
    QVERIFY(identityAnswered(port));
    port.ClosePort();
    QVERIFY(!port.IsOpen());
    QVERIFY(!port.OpenPort(portNumber == 1 ? 16 : 1, QStringLiteral("19200,e,8,1")));
    QVERIFY(!port.OpenPort(0, QStringLiteral("19200,e,8,1")));
}

void PortAccessTest::neverOpensWhatIsNotATerminal_data()
{
    QTest::addColumn<QString>("entry"); // what COM4 is in the ports folder
    QTest::newRow("regular file") << "file";
    QTest::newRow("link to a regular file") << "link-to-file";
    QTest::newRow("dangling link") << "dangling";
    QTest::newRow("link to /dev/null") << "devnull";
    QTest::newRow("no entry") << "none";
    QTest::newRow("link to a folder") << "folder";
}

void PortAccessTest::neverOpensWhatIsNotATerminal()
{
    QFETCH(QString, entry);
    SimulatedPorts ports;
    ports.addModule(3); // so that the ports folder exists
    const QString com4 = ports.portsFolder() + QStringLiteral("/COM4");
    const QString target = ports.configFolder() + QStringLiteral("/target.txt");
    const QByteArray content = "keep me as I am\n";
    {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    if (entry == u"file")
        QVERIFY(QFile::copy(target, com4));
    else if (entry == u"link-to-file")
        QVERIFY(QFile::link(target, com4));
    else if (entry == u"dangling")
        QVERIFY(QFile::link(ports.configFolder() + QStringLiteral("/gone"), com4));
    else if (entry == u"devnull")
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), com4));
    else if (entry == u"folder")
        QVERIFY(QFile::link(ports.configFolder(), com4));

    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(!port.OpenPort(4, QStringLiteral("19200,e,8,1")));
    QVERIFY(!port.IsOpen());
    CommandExchange exchange(port);
    QVERIFY(!exchange.SendCommand(Command::ReadIdentity));

    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
    if (entry == u"file") {
        QFile copy(com4);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), content);
    }
}

void PortAccessTest::consolesAreNoPorts_data()
{
    QTest::addColumn<QByteArray>("procConsoles");
    QTest::addColumn<QByteArray>("active");
    QTest::addColumn<QStringList>("consoles");
    QTest::newRow("serial console") << QByteArray("ttyS0                -W- (EC p a)    4:64\n")
                                    << QByteArray("ttyS0\n") << QStringList{"/dev/ttyS0"};
    QTest::newRow("virtual and serial")
        << QByteArray("tty0                 -WU (EC p  )    4:7\nttyS1                -W- (E  p a) "
                      "   4:65\n")
        << QByteArray("tty0 ttyS1\n") << QStringList{"/dev/tty0", "/dev/ttyS1"};
    QTest::newRow("only the active list")
        << QByteArray() << QByteArray("ttyAMA0\n") << QStringList{"/dev/ttyAMA0"};
    QTest::newRow("no console") << QByteArray() << QByteArray() << QStringList{};
    QTest::newRow("a name that is a path")
        << QByteArray("../sda x\n") << QByteArray("..\n") << QStringList{};
}

void PortAccessTest::consolesAreNoPorts()
{
    QFETCH(QByteArray, procConsoles);
    QFETCH(QByteArray, active);
    QFETCH(QStringList, consoles);
    QCOMPARE(ConsoleDevices(procConsoles, active), consoles);
}

void PortAccessTest::consoleNumbers_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<bool>("console");
    QTest::newRow("the last virtual console, tty63") << 4 << 63 << true;
    QTest::newRow("the first serial port, ttyS0") << 4 << 64 << false;
    QTest::newRow("a USB adapter, ttyUSB0") << 188 << 0 << false;
}

void PortAccessTest::consoleNumbers()
{
    // By its number, whatever name its node has.
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(bool, console);
    if (::geteuid() != 0)
        QSKIP("only root may make a device node");
    QTemporaryDir folder;
    const QString node = folder.filePath(QStringLiteral("line"));
    QCOMPARE(::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0600,
                     ::makedev(unsigned(major), unsigned(minor))),
             0);
    QCOMPARE(HasConsoleNumber(node), console);
}

void PortAccessTest::settingsComeBackExactly()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(2, 5);
    // Settings unlike anything the link uses: cooked mode, odd parity, 7 bits, 2 stops.
    termios before = settingsOf(module.devicePath());
    before.c_iflag = ICRNL | IXON;
    before.c_oflag = OPOST | ONLCR;
    before.c_lflag = ICANON | ECHO | ISIG;
    before.c_cflag = (before.c_cflag & ~(CSIZE | CSTOPB)) | CS7 | PARENB | PARODD | CSTOPB | CREAD;
    before.c_cc[VMIN] = 3;
    before.c_cc[VTIME] = 7;
    cfsetspeed(&before, B2400);
    setSettings(module.devicePath(), before);
    before = settingsOf(module.devicePath());

    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(2, QStringLiteral("19200,e,8,1")));
    QCOMPARE(module.programSetting().modeString(), QStringLiteral("19200,e,8,1"));
    QVERIFY(identityAnswered(port));
    port.ClosePort();
    QVERIFY(sameSettings(settingsOf(module.devicePath()), before));
}

void PortAccessTest::secondOpenFails()
{
    SimulatedPorts ports;
    ports.addModule(3);
    PortAccess first(ports.portMap(), LinkServices::system());
    PortAccess second(ports.portMap(), LinkServices::system());
    QVERIFY(first.OpenPort(3, QStringLiteral("19200,e,8,1")));
    QVERIFY(!second.OpenPort(3, QStringLiteral("19200,e,8,1")));

    // Another serial program, going by the same lock, is kept out as well.
    QSerialPort other(ports.portMap().devicePath(3));
    QVERIFY(!other.open(QIODevice::ReadWrite));

    first.ClosePort();
    QVERIFY(second.OpenPort(3, QStringLiteral("19200,e,8,1")));
    QVERIFY(identityAnswered(second));
}

void PortAccessTest::failedOpenLeavesTheHolderAlone()
{
    SimulatedPorts ports;
    ports.addModule(3);
    PortAccess holder(ports.portMap(), LinkServices::system());
    QVERIFY(holder.OpenPort(3, QStringLiteral("19200,e,8,1")));
    {
        PortAccess intruder(ports.portMap(), LinkServices::system());
        OpenedPort attempt(intruder, 3, QStringLiteral("19200,e,8,1"));
        QVERIFY(!attempt.isOpen());
        QVERIFY(!intruder.IsOpen());
    }
    // No close followed the failed open: the holder's port still works and is still locked.
    QVERIFY(holder.IsOpen());
    QVERIFY(identityAnswered(holder));
    PortAccess third(ports.portMap(), LinkServices::system());
    QVERIFY(!third.OpenPort(3, QStringLiteral("19200,e,8,1")));
}

void PortAccessTest::advisoryLockKeepsOthersOut()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(3);
    const QString device = module.devicePath();
    const termios before = settingsOf(device);
    // Another program holds the port the way terminal programs do, by flock() on it.
    QProcess holder;
    holder.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import fcntl, os, sys, time\n"
                        "fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)\n"
                        "fcntl.flock(fd, fcntl.LOCK_EX)\n"
                        "print('held', flush=True)\n"
                        "time.sleep(30)\n"),
         device});
    QVERIFY(holder.waitForReadyRead(5000));

    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(!port.OpenPort(3, QStringLiteral("19200,e,8,1")));
    QCOMPARE(port.LastOpenFailure(), QStringLiteral("COM3 (%1): busy: held by python3 (PID %2)")
                                         .arg(device)
                                         .arg(holder.processId()));
    // Nothing reached the line, and its settings are as the holder left them.
    QVERIFY(module.receivedBytes().isEmpty());
    QVERIFY(sameSettings(settingsOf(device), before));
    holder.kill();
    holder.waitForFinished();

    // The other way round: while the link holds the port, no one else gets the lock, root
    // included, whom the terminal's exclusive mode lets in.
    QVERIFY(port.OpenPort(3, QStringLiteral("19200,e,8,1")));
    const int other =
        ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (other < 0) {
        QCOMPARE(errno, EBUSY);
    } else {
        QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), -1);
        QCOMPARE(errno, EWOULDBLOCK);
        ::close(other);
    }
    QVERIFY(identityAnswered(port));
}

void PortAccessTest::holderFromProcLocks_data()
{
    QTest::addColumn<QByteArray>("locks");
    QTest::addColumn<qint64>("holder");
    // The file: device 0x1a:0x2b of its file system, inode 77; this process is 100.
    const QByteArray held = "1: FLOCK  ADVISORY  WRITE 4242 1a:2b:77 0 EOF\n";
    QTest::newRow("major and minor in hexadecimal") << held << qint64(4242);
    QTest::newRow("after other locks")
        << "1: POSIX  ADVISORY  WRITE 11 1a:2b:77 0 EOF\n2: FLOCK  ADVISORY  WRITE 12 1a:2b:78 "
           "0 EOF\n3: FLOCK  ADVISORY  WRITE 13 10:11:77 0 EOF\n" +
               held
        << qint64(4242);
    QTest::newRow("a lock waited for is held by none")
        << QByteArray("1: -> FLOCK  ADVISORY  WRITE 4343 1a:2b:77 0 EOF\n") << qint64(0);
    QTest::newRow("this process's own")
        << QByteArray("1: FLOCK  ADVISORY  WRITE 100 1a:2b:77 0 EOF\n") << qint64(0);
}

void PortAccessTest::holderFromProcLocks()
{
    QFETCH(QByteArray, locks);
    QFETCH(qint64, holder);
    QCOMPARE(FlockHolderIn(locks, ::makedev(0x1a, 0x2b), 77, 100), holder);
}

// Process folders by name, each with the devices its descriptors lead to.
using Processes = QMap<QString, QStringList>;

void PortAccessTest::holderByItsOpenDescriptors_data()
{
    // This process is 100.
    QTest::addColumn<Processes>("processes");
    QTest::addColumn<qint64>("holder");
    const QString device = QStringLiteral("/dev/ttyUSB0");
    QTest::newRow("another process")
        << Processes{{"100", {device}}, {"4242", {"/dev/null", device}}} << qint64(4242);
    QTest::newRow("only this process")
        << Processes{{"100", {device}}, {"self", {device}}} << qint64(0);
    QTest::newRow("another device") << Processes{{"4242", {"/dev/ttyUSB1"}}} << qint64(0);
}

void PortAccessTest::holderByItsOpenDescriptors()
{
    QFETCH(Processes, processes);
    QFETCH(qint64, holder);
    QTemporaryDir proc;
    for (auto process = processes.cbegin(); process != processes.cend(); ++process) {
        const QString fds = proc.filePath(process.key() + QStringLiteral("/fd"));
        QVERIFY(QDir().mkpath(fds));
        for (int fd = 0; fd < process.value().size(); ++fd)
            QVERIFY(QFile::link(process.value().at(fd), fds + u'/' + QString::number(fd)));
    }
    QCOMPARE(OpenedByIn(proc.path(), QStringLiteral("/dev/ttyUSB0"), 100), holder);
}

void PortAccessTest::lowLatencyWhileOpen_data()
{
    QTest::addColumn<bool>("refused");
    QTest::newRow("the driver takes it") << false;
    QTest::newRow("the driver refuses it") << true;
}

void PortAccessTest::lowLatencyWhileOpen()
{
    // An FTDI-type adapter, whose driver keeps the flag after the port is closed.
    QFETCH(bool, refused);
    SimulatedPorts ports;
    SimConfig config;
    config.portNumber = 2;
    config.latencyMs = 16;
    config.refusesLowLatency = refused;
    SimulatedModule &module = ports.addModule(config);
    struct stat st
    {
    };
    QCOMPARE(::stat(QFile::encodeName(module.devicePath()).constData(), &st), 0);

    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(2, QStringLiteral("19200,e,8,1")));
    QCOMPARE(ptyline::readLowLatency(st.st_rdev), !refused);
    // Refused or not, the port works.
    QVERIFY(identityAnswered(port));
    port.ClosePort();
    QVERIFY(!ptyline::readLowLatency(st.st_rdev));
}

void PortAccessTest::refusedModeStringKeepsTheLine()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(5, 1); // 4800,e,8,1
    termios t = settingsOf(module.devicePath());
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS8 | PARENB;
    t.c_cflag &= ~(PARODD | CSTOPB);
    cfsetspeed(&t, B4800);
    setSettings(module.devicePath(), t);

    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(5, QStringLiteral("not a mode string")));
    QCOMPARE(module.programSetting().modeString(), QStringLiteral("4800,e,8,1"));
    QVERIFY(identityAnswered(port));
    port.ClosePort();

    // A valid mode string does change the line, and the module no longer hears it.
    QVERIFY(port.OpenPort(5, QStringLiteral("9600,n,8,1")));
    QCOMPARE(module.programSetting().modeString(), QStringLiteral("9600,n,8,1"));
    QVERIFY(!identityAnswered(port));
}

void PortAccessTest::writesReturnOnceSent_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("wireMs"); // 11 bits a character with parity, 10 without
    QTest::addColumn<int>("pauseMs");   // what the module needs after a byte or a block
    QTest::newRow("a byte at 4800,e") << "4800,e,8,1" << 1 << 11.0 / 4.8 << 1;
    QTest::newRow("20 bytes at 4800,e") << "4800,e,8,1" << 20 << 20 * 11.0 / 4.8 << 5;
    QTest::newRow("20 bytes at 9600,n") << "9600,n,8,1" << 20 << 20 * 10.0 / 9.6 << 5;
    QTest::newRow("20 bytes at 115200,n") << "115200,n,8,1" << 20 << 20 * 10.0 / 115.2 << 5;
}

void PortAccessTest::writesReturnOnceSent()
{
    // A write returns when its bytes have left the port, and only then pauses.
    QFETCH(QString, mode);
    QFETCH(int, count);
    QFETCH(double, wireMs);
    QFETCH(int, pauseMs);
    SimulatedPorts ports;
    ports.addSilentPort(5);
    LinkServices services = LinkServices::system();
    QList<int> pauses;
    services.sleepMs = [&pauses, sleep = services.sleepMs](int ms) {
        pauses << ms;
        sleep(ms);
    };
    PortAccess port(ports.portMap(), services);
    QVERIFY(port.OpenPort(5, mode));
    const QByteArray bytes(count, 'x');
    const double ms = ShortestMs(3, [&] {
        if (count == 1)
            port.WriteByte('x');
        else
            port.WriteBlock(bytes.constData(), count);
    });
    QVERIFY2(ms >= wireMs + pauseMs && ms < wireMs + pauseMs + 15, qPrintable(QString::number(ms)));
    QCOMPARE(pauses, QList<int>(3, pauseMs));
}

void PortAccessTest::idleReadGivesUpAfterAboutOneMs()
{
    SimulatedPorts ports;
    ports.addSilentPort(7);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(7, QStringLiteral("19200,e,8,1")));
    constexpr int reads = 50;
    int idle = 0;
    const double ms = ShortestMs(3, [&] {
        for (int i = 0; i < reads; ++i) {
            quint8 byte = 0;
            idle += port.ReadByte(byte) == PortAccess::ReadResult::Idle;
        }
    });
    QCOMPARE(idle, 3 * reads);
    QVERIFY2(ms >= reads * 1 && ms <= reads * 4, qPrintable(QString::number(ms)));
}

void PortAccessTest::waitMsHoldsAcrossTheClockWrap()
{
    // A clock 3 ms before it wraps past its largest value that moves on a millisecond at
    // each reading: the wait ends at the first reading 10 ms after its start, past the
    // wrap, and not a reading later.
    constexpr quint32 Start = 0xFFFFFFFDu;
    quint32 next = Start;
    quint32 last = 0;
    int readings = 0;
    LinkServices services = LinkServices::system();
    services.clockMs = [&] {
        ++readings;
        last = next++;
        return last;
    };
    SimulatedPorts ports;
    PortAccess port(ports.portMap(), services);
    readings = 0;
    port.WaitMs(10);
    QCOMPARE(last, quint32(Start + 10));
    QVERIFY(last < Start);
    readings = 0;
    port.WaitMs(-5);
    QCOMPARE(readings, 0);
}

void PortAccessTest::moduleHearsOnlyItsOwnSetting_data()
{
    QTest::addColumn<int>("moduleIndex");
    QTest::addColumn<QString>("portMode");
    QTest::addColumn<bool>("heard");
    QTest::newRow("same setting") << 3 << "9600,e,8,1" << true;
    QTest::newRow("no parity where the module has even") << 3 << "9600,n,8,1" << false;
    QTest::newRow("even parity where the module has none") << 2 << "9600,e,8,1" << false;
    QTest::newRow("wrong baud rate") << 3 << "19200,e,8,1" << false;
    QTest::newRow("two stop bits") << 3 << "9600,e,8,2" << false;
    QTest::newRow("115200 no parity") << 10 << "115200,n,8,1" << true;
}

void PortAccessTest::moduleHearsOnlyItsOwnSetting()
{
    QFETCH(int, moduleIndex);
    QFETCH(QString, portMode);
    QFETCH(bool, heard);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(2, moduleIndex);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(2, portMode));
    QCOMPARE(identityAnswered(port), heard);
    const QList<TraceEntry> trace = module.trace();
    QVERIFY(!trace.isEmpty());
    QCOMPARE(trace.first().event, heard ? QStringLiteral("rx") : QStringLiteral("rx-unheard"));
    QCOMPARE(trace.first().setting, portMode);
}

QTEST_GUILESS_MAIN(PortAccessTest)
#include "test_port_access.moc"
