// The frame log: its line format, and the lines an exchange with the simulated module
// leaves, merged with the module's own log by their times.

#include "command_exchange.h"
#include "command_set.h"
#include "frame_trace.h"
#include "simulated_ports.h"
#include "write_faults.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Port = 3;
const QString Mode = QStringLiteral("19200,e,8,1");

struct TimedLine
{
    qint64 micros = 0;
    QByteArray text; // "program ..." or "module ...", without the time
};

// A log line taken apart at its time field, which must be milliseconds with three decimals.
TimedLine timed(const QByteArray &source, const QByteArray &line)
{
    static const QRegularExpression format(QStringLiteral("^(\\d+)\\.(\\d{3}) (.*)$"));
    const QRegularExpressionMatch match = format.match(QString::fromLatin1(line));
    if (!match.hasMatch())
        return {-1, source + " unreadable: " + line};
    return {match.captured(1).toLongLong() * 1000 + match.captured(2).toLongLong(),
            source + ' ' + match.captured(3).toLatin1()};
}

// The system's services, with the frame log appended to path (no log if it cannot be).
LinkServices servicesLoggingTo(const QString &path)
{
    LinkServices services = LinkServices::system();
    QString error;
    services.trace = FrameTrace::open(path, error);
    return services;
}

} // namespace

class FrameTraceTest : public QObject
{
    Q_OBJECT

private slots:
    void lineFormat_data();
    void lineFormat();
    void exchangeLines_data();
    void exchangeLines();
    void failedOpen();
    void timesAreTheSystemsMonotonicClock();
    void writeThatFails_data();
    void writeThatFails();
    void fifoWithoutReader();
};

void FrameTraceTest::lineFormat_data()
{
    QTest::addColumn<qint64>("micros");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("space, backslash, control and high bytes")
        << qint64(81234567125) << Mode << "rx" << QByteArray("a b\\\x01\x7f\xff~!", 9) << QString()
        << QByteArray("81234567.125 COM3 19200,e,8,1 rx a\\x20b\\\\\\x01\\x7f\\xff~! "
                      "6120625c017fff7e21");
    QTest::newRow("a lone dash is not the empty mark")
        << qint64(5) << Mode << "rx" << QByteArray("-") << QString()
        << QByteArray("0.005 COM3 19200,e,8,1 rx \\x2d 2d");
    QTest::newRow("dashes among other bytes stay")
        << qint64(1000) << Mode << "rx" << QByteArray("--") << QString()
        << QByteArray("1.000 COM3 19200,e,8,1 rx -- 2d2d");
    QTest::newRow("no bytes, no mode") << qint64(12'000'999) << QString() << "close" << QByteArray()
                                       << QString() << QByteArray("12000.999 COM3 - close - -");
    QTest::newRow("a space in a mode string")
        << qint64(0) << "19200, e"
        << "open" << QByteArray() << QString() << QByteArray("0.000 COM3 19200,\\x20e open - -");
    QTest::newRow("the detail keeps its spaces, not its line end")
        << qint64(7'000) << Mode << "open-failed" << QByteArray() << "COM3 (/dev/ttyS2): busy\n"
        << QByteArray("7.000 COM3 19200,e,8,1 open-failed - - COM3 (/dev/ttyS2): busy\\n");
}

void FrameTraceTest::lineFormat()
{
    QFETCH(qint64, micros);
    QFETCH(QString, mode);
    QFETCH(QString, event);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, detail);
    QFETCH(QByteArray, line);
    QCOMPARE(FormatTraceLine(micros, QStringLiteral("COM3"), mode, event, bytes, detail), line);
}

void FrameTraceTest::exchangeLines_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QList<Fault>>("faults");
    // Both logs in the order of their times, each line tagged with whose it is; a
    // time-out's wait, checked against its bound, reads "waited=Nms".
    QTest::addColumn<QByteArrayList>("lines");

    auto one = [](FaultKind kind, int value = 0) { return QList<Fault>{{kind, {}, 1, value, {}}}; };
    const QByteArray open = "program COM3 19200,e,8,1 open - -";
    const QByteArray close = "program COM3 19200,e,8,1 close - -";
    const QByteArray request = "\\tB00B09\\r 094230304230390d";

    QTest::newRow("answered") << Command::ReadIdentity << QList<Fault>{}
                              << QByteArrayList{open,
                                                "program COM3 19200,e,8,1 tx " + request +
                                                    " read identity",
                                                "module COM3 19200,e,8,1 rx " + request,
                                                "module COM3 19200,e,8,1 tx \\n!01BTX04000161\\r "
                                                "0a21303142545830343030303136310d",
                                                "program COM3 19200,e,8,1 rx \\n!01BTX04000161\\r "
                                                "0a21303142545830343030303136310d",
                                                close};
    QTest::newRow("unanswered") << Command::ReadIdentity << one(FaultKind::NoReply)
                                << QByteArrayList{
                                       open,
                                       "program COM3 19200,e,8,1 tx " + request + " read identity",
                                       "module COM3 19200,e,8,1 rx-ignored " + request,
                                       "program COM3 19200,e,8,1 timeout - - waited=Nms", close};
    QTest::newRow("bad checksum")
        << Command::ReadIdentity << one(FaultKind::BadChecksum)
        << QByteArrayList{open,
                          "program COM3 19200,e,8,1 tx " + request + " read identity",
                          "module COM3 19200,e,8,1 rx " + request,
                          "module COM3 19200,e,8,1 tx \\n!01BTX0400019E\\r "
                          "0a21303142545830343030303139450d",
                          "program COM3 19200,e,8,1 rx-bad-checksum \\n!01BTX0400019E\\r "
                          "0a21303142545830343030303139450d",
                          close};
    QTest::newRow("bytes that never end a frame")
        << Command::ReadIdentity << one(FaultKind::StrayByte, '~')
        << QByteArrayList{open,
                          "program COM3 19200,e,8,1 tx " + request + " read identity",
                          "module COM3 19200,e,8,1 rx " + request,
                          "module COM3 19200,e,8,1 tx ~\\n!01BTX04000161\\r "
                          "7e0a21303142545830343030303136310d",
                          "program COM3 19200,e,8,1 timeout ~\\n!01BTX04000161\\r "
                          "7e0a21303142545830343030303136310d waited=Nms",
                          close};
    QTest::newRow("device gone") << Command::ReadIdentity << one(FaultKind::HangUp)
                                 << QByteArrayList{open,
                                                   "program COM3 19200,e,8,1 tx " + request +
                                                       " read identity",
                                                   "module COM3 19200,e,8,1 rx " + request,
                                                   "module COM3 19200,e,8,1 hang-up - -",
                                                   "program COM3 19200,e,8,1 lost - -",
                                                   close};
    QTest::newRow("no reply expected")
        << QByteArray("00X") << QList<Fault>{}
        << QByteArrayList{open, "program COM3 19200,e,8,1 tx \\t00X51\\r 0930305835310d",
                          "module COM3 19200,e,8,1 rx \\t00X51\\r 0930305835310d", close};
}

void FrameTraceTest::exchangeLines()
{
    QFETCH(QByteArray, command);
    QFETCH(QList<Fault>, faults);
    QFETCH(QByteArrayList, lines);

    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    for (const Fault &fault : faults)
        module.addFault(fault);
    const QString logPath = ports.configFolder() + QStringLiteral("/frames.log");
    const LinkServices services = servicesLoggingTo(logPath);
    QVERIFY2(services.trace, "the frame log cannot be written");
    {
        PortAccess port(ports.portMap(), services);
        OpenedPort opened(port, Port, Mode);
        QVERIFY(opened.isOpen());
        CommandExchange exchange(port);
        exchange.SendCommand(command);
    }

    QList<TimedLine> merged;
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray written = log.readAll();
    QVERIFY(written.endsWith('\n'));
    for (const QByteArray &line : written.chopped(1).split('\n')) {
        // Whether the driver took low latency has tests of its own.
        if (!line.contains(" low-latency "))
            merged << timed("program", line);
    }
    for (const TraceEntry &entry : module.trace())
        merged << timed("module", entry.line());
    std::stable_sort(merged.begin(), merged.end(),
                     [](const TimedLine &a, const TimedLine &b) { return a.micros < b.micros; });

    static const QRegularExpression waited(QStringLiteral("waited=(\\d+)ms$"));
    QByteArrayList seen;
    for (TimedLine &line : merged) {
        const QRegularExpressionMatch match = waited.match(QString::fromLatin1(line.text));
        if (match.hasMatch()) {
            const int ms = match.captured(1).toInt();
            QVERIFY2(ms > 150 && ms <= 260, qPrintable(match.captured(0)));
            line.text.replace(match.captured(0).toLatin1(), "waited=Nms");
        }
        seen << line.text;
    }
    QCOMPARE(seen, lines);
}

void FrameTraceTest::timesAreTheSystemsMonotonicClock()
{
    // Each line's time lies between two readings of the system's monotonic clock taken
    // around it, so the log merges with any other log of that clock. Several lines, a
    // little apart, so that they fall at different points of a second.
    QTemporaryDir dir;
    const QString logPath = dir.path() + QStringLiteral("/frames.log");
    QString error;
    const std::shared_ptr<FrameTrace> trace = FrameTrace::open(logPath, error);
    QVERIFY2(trace, qPrintable(error));
    const auto monotonicMicros = [] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    QList<std::pair<qint64, qint64>> around;
    for (int i = 0; i < 5; ++i) {
        const qint64 before = monotonicMicros();
        trace->record(QStringLiteral("COM3"), Mode, QStringLiteral("close"));
        around.append({before, monotonicMicros()});
        QTest::qSleep(97);
    }
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArrayList lines = log.readAll().split('\n');
    QCOMPARE(lines.size(), around.size() + 1);
    for (int i = 0; i < around.size(); ++i) {
        const qint64 at = timed("program", lines.at(i)).micros;
        QVERIFY2(around[i].first <= at && at <= around[i].second,
                 qPrintable(QStringLiteral("%1 not in %2..%3")
                                .arg(at)
                                .arg(around[i].first)
                                .arg(around[i].second)));
    }
}

void FrameTraceTest::failedOpen()
{
    SimulatedPorts ports;
    const QString logPath = ports.configFolder() + QStringLiteral("/frames.log");
    const LinkServices services = servicesLoggingTo(logPath);
    QVERIFY2(services.trace, "the frame log cannot be written");
    PortAccess port(ports.portMap(), services);
    QVERIFY(!port.OpenPort(7, Mode));

    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray line = log.readAll();
    QCOMPARE(timed("program", line.chopped(1)).text,
             "program COM7 19200,e,8,1 open-failed - - " + port.LastOpenFailure().toUtf8());
    QVERIFY(line.endsWith(": no serial device by that number\n"));
}

void FrameTraceTest::writeThatFails_data()
{
    QTest::addColumn<int>("error"); // 0: a short write
    QTest::addColumn<bool>("lineKept");
    QTest::newRow("full disk: the line is dropped, once said") << ENOSPC << false;
    QTest::newRow("short write: the rest follows") << 0 << true;
}

void FrameTraceTest::writeThatFails()
{
    QFETCH(int, error);
    QFETCH(bool, lineKept);
    QTemporaryDir folder;
    const QString logPath = folder.path() + QStringLiteral("/frames.log");
    QString why;
    const std::shared_ptr<FrameTrace> trace = FrameTrace::open(logPath, why);
    QVERIFY2(trace, qPrintable(why));
    // Standard error into a file of its own, to read what is said there.
    const QString saidPath = folder.path() + QStringLiteral("/said.txt");
    const int savedError = ::dup(STDERR_FILENO);
    {
        QFile said(saidPath);
        QVERIFY(said.open(QIODevice::WriteOnly));
        ::dup2(said.handle(), STDERR_FILENO);
    }
    tx4040_fail_write("/frames.log", 1, error);
    trace->writeLine("first");
    trace->writeLine("second, which the fault meets");
    tx4040_fail_write("/frames.log", 0, error);
    trace->writeLine("third, which it meets as well");
    tx4040_write_faults_off();
    trace->writeLine("fourth");
    ::dup2(savedError, STDERR_FILENO);
    ::close(savedError);

    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray expected = lineKept ? "first\nsecond, which the fault meets\n"
                                           "third, which it meets as well\nfourth\n"
                                         : "first\nfourth\n";
    QCOMPARE(log.readAll(), expected);
    QFile said(saidPath);
    QVERIFY(said.open(QIODevice::ReadOnly));
    const QByteArray report = said.readAll();
    QCOMPARE(report.count("the frame log cannot be written"), lineKept ? 0 : 1);
    // The user reads why: the system's own words.
    if (!lineKept)
        QVERIFY2(report.contains(std::strerror(error)), report.constData());
}

void FrameTraceTest::fifoWithoutReader()
{
    // Nobody reads it: the log says so at once instead of holding the program.
    QTemporaryDir folder;
    const QString fifo = folder.path() + QStringLiteral("/fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString why;
    QVERIFY(!FrameTrace::open(fifo, why));
    QCOMPARE(why, fifo + QStringLiteral(": no reader"));
}

QTEST_GUILESS_MAIN(FrameTraceTest)
#include "test_frame_trace.moc"
