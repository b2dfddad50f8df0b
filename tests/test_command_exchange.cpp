// One request and reply over a pseudo-terminal with the simulated module: the bytes
// on the wire, every kind of reply, and the bound on the wait.

#include "command_exchange.h"
#include "command_set.h"
#include "frame_trace.h"
#include "line_echo.h"
#include "simulated_ports.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <ctime>

namespace {

double threadCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

constexpr int Port = 3;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// The reply wait is bounded at about 151 ms; a loaded machine may add a little.
bool withinReplyBound(qint64 ms)
{
    return ms >= 150 && ms <= 260;
}

} // namespace

class CommandExchangeTest : public QObject
{
    Q_OBJECT

private slots:
    void framesOnTheWire_data();
    void framesOnTheWire();
    void replies_data();
    void replies();
    void shortFrames_data();
    void shortFrames();
    void commandWithoutReply();
    void tooLongCommandIsNotSent();
    void waitIsBoundedAcrossTheClockWrap();
    void windowKeepsRunningDuringTheWait();
    void vanishingDeviceEndsTheExchange();
    void replyTakesTheWireTime();
    void anyBytesFromTheLine();
    void lateReplyNeverAnswersTheNextRequest_data();
    void lateReplyNeverAnswersTheNextRequest();
    void frameReachingTheBufferEnd_data();
    void frameReachingTheBufferEnd();
    void echoIsDroppedOnlyWhole_data();
    void echoIsDroppedOnlyWhole();
    void echoingAdapter_data();
    void echoingAdapter();
    void lateAnswerToAnEarlierRead_data();
    void lateAnswerToAnEarlierRead();
    void moduleSaysNo_data();
    void moduleSaysNo();
};

void CommandExchangeTest::framesOnTheWire_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("B00B") << Command::ReadIdentity << hex("09423030423039 0D");
    QTest::newRow("B00V") << Command::ReadVersion << hex("09423030563144 0D");
    QTest::newRow("B00GH") << Command::SetModeHold << hex("0942303047483434 0D");
    QTest::newRow("B00E5") << Command::FactoryBaudRate << hex("0942303045353342 0D");
    QTest::newRow("B00F1010") << SetOutputsCommand({true, false, true, false})
                              << QByteArray("\tB00F1010") +
                                     ChecksumDigits(FrameChecksum("B00F1010", 9)) + '\r';
}

void CommandExchangeTest::framesOnTheWire()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, wire);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(Port, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);
    QVERIFY(exchange.SendCommand(command));
    QCOMPARE(module.receivedBytes(), wire);
}

void CommandExchangeTest::replies_data()
{
    QTest::addColumn<QList<Fault>>("faults");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QByteArray>("lastReply"); // empty: not checked, or unchanged on a time-out
    QTest::addColumn<int>("replyLength");      // -1: many
    QTest::addColumn<bool>("timesOut");

    const QByteArray body = "!01BTX040001";
    auto frame = [](const QByteArray &b, quint8 flip = 0) {
        const QByteArray head = '\n' + b;
        return head + ChecksumDigits(FrameChecksum(head) ^ flip) + '\r';
    };
    auto one = [](FaultKind kind, int value = 0) { return QList<Fault>{{kind, {}, 1, value, {}}}; };

    QTest::newRow("valid") << QList<Fault>{} << true << frame(body) << 16 << false;
    QTest::newRow("bad checksum") << one(FaultKind::BadChecksum) << false << frame(body, 0xFF) << 16
                                  << false;
    QTest::newRow("lowercase checksum")
        << one(FaultKind::LowercaseChecksum) << false << QByteArray() << 16 << false;
    QTest::newRow("17 characters")
        << one(FaultKind::WrongLength, 1) << true << frame(body + '0') << 17 << false;
    QTest::newRow("15 characters")
        << one(FaultKind::WrongLength, -1) << true << frame(body.chopped(1)) << 15 << false;
    // The text stops at the zero byte, before the serial number: no answer.
    QTest::newRow("zero byte in the body")
        << one(FaultKind::ZeroByte, 6) << false << QByteArray("\n!01B") << 16 << false;
    QTest::newRow("stray byte first")
        << one(FaultKind::StrayByte, '~') << false << QByteArray() << 17 << true;
    QTest::newRow("no reply") << one(FaultKind::NoReply) << false << QByteArray() << 0 << true;
    QTest::newRow("late reply") << one(FaultKind::LateReply, 250) << false << QByteArray() << 0
                                << true;
    QTest::newRow("endless bytes") << one(FaultKind::Babble) << false << QByteArray() << -1 << true;
}

void CommandExchangeTest::replies()
{
    QFETCH(QList<Fault>, faults);
    QFETCH(bool, result);
    QFETCH(QByteArray, lastReply);
    QFETCH(int, replyLength);
    QFETCH(bool, timesOut);

    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(Port, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);
    // A first exchange leaves a reply to compare against.
    QVERIFY(exchange.SendCommand(Command::ReadMode));
    const QByteArray before = exchange.LastReply();
    QCOMPARE(before, QByteArray("\n!01GH") + ChecksumDigits(FrameChecksum("\n!01GH")) + '\r');

    for (const Fault &fault : faults)
        module.addFault(fault);
    bool sent = false;
    const qint64 ms = MeasureMs([&] { sent = exchange.SendCommand(Command::ReadIdentity); });
    module.clearFaults();

    QCOMPARE(sent, result);
    if (!lastReply.isEmpty())
        QCOMPARE(exchange.LastReply(), lastReply);
    else if (timesOut)
        QCOMPARE(exchange.LastReply(), before);
    if (replyLength >= 0)
        QCOMPARE(exchange.ReplyLength(), replyLength);
    else
        QVERIFY(exchange.ReplyLength() > 100); // every babbled byte was counted
    if (timesOut)
        QVERIFY2(withinReplyBound(ms), qPrintable(QString::number(ms)));
    else
        QVERIFY2(ms < 100, qPrintable(QString::number(ms)));
    // Whatever the reply was, no field reads past it.
    QVERIFY(ReplySerialNo(exchange.LastReply()).size() <=
            qMax(0, int(exchange.LastReply().size()) - 5));
}

void CommandExchangeTest::shortFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("replyLength");
    QTest::newRow("empty body, shortest valid frame") << QByteArray("\n0A\r") << true << 4;
    QTest::newRow("lowercase 0a") << QByteArray("\n0a\r") << false << 4;
    QTest::newRow("line feed, carriage return") << QByteArray("\n\r") << false << 2;
    QTest::newRow("one character between") << QByteArray("\nx\r") << false << 3;
    QTest::newRow("a zero byte where the checksum goes") << QByteArray("\n\0\0\r", 4) << false << 4;
}

void CommandExchangeTest::shortFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, result);
    QFETCH(int, replyLength);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(Port, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);
    module.addFault(Fault{FaultKind::RawReply, {}, 1, 0, frame});
    QCOMPARE(exchange.SendCommand(Command::ReadIdentity), result);
    QCOMPARE(exchange.ReplyLength(), replyLength);
    QCOMPARE(exchange.LastReply(),
             frame.left(frame.indexOf('\0') < 0 ? frame.size() : frame.indexOf('\0')));
}

void CommandExchangeTest::commandWithoutReply()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(Port, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);
    QVERIFY(exchange.SendCommand(Command::ReadIdentity));
    const QByteArray before = exchange.LastReply();
    bool sent = false;
    const qint64 ms = MeasureMs([&] { sent = exchange.SendCommand("00X"); });
    QVERIFY(sent);
    // 9 ms of pauses, then 10 ms on a millisecond clock (which may have been about to tick).
    QVERIFY2(ms >= 18 && ms < 60, qPrintable(QString::number(ms)));
    QCOMPARE(exchange.LastReply(), before);
    QCOMPARE(exchange.ReplyLength(), 0);
    QVERIFY(module.receivedBytes().endsWith(QByteArray("\t00X") +
                                            ChecksumDigits(FrameChecksum("00X", 9)) + '\r'));
}

void CommandExchangeTest::tooLongCommandIsNotSent()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(Port, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);
    QVERIFY(!exchange.SendCommand("B00" + QByteArray(253, 'x')));
    QTest::qWait(20);
    QCOMPARE(module.receivedBytes(), QByteArray());
    // 255 characters still go out whole.
    exchange.SendCommand("B00" + QByteArray(252, 'x'));
    QTRY_COMPARE(module.receivedBytes().size(), 1 + 255 + 2 + 1);
}

void CommandExchangeTest::waitIsBoundedAcrossTheClockWrap()
{
    LinkServices services = LinkServices::system();
    const auto realClock = services.clockMs;
    const quint32 offset = 0xFFFFFFFFu - 20 - realClock();
    services.clockMs = [realClock, offset] { return realClock() + offset; };

    SimulatedPorts ports;
    ports.addSilentPort(Port);
    PortAccess port(ports.portMap(), services);
    QVERIFY(port.OpenPort(Port, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);
    bool sent = true;
    // The request's pauses take about 10 ms, so the reply wait starts just before the wrap.
    const qint64 ms = MeasureMs([&] { sent = exchange.SendCommand(Command::ReadIdentity); });
    QVERIFY(!sent);
    QVERIFY(services.clockMs() < 0x1000u);
    QVERIFY2(ms >= 9 + 150 && ms <= 9 + 260, qPrintable(QString::number(ms)));
}

void CommandExchangeTest::windowKeepsRunningDuringTheWait()
{
    SimulatedPorts ports;
    ports.addSilentPort(Port);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(Port, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    QVERIFY(!exchange.SendCommand(Command::ReadIdentity));
    QVERIFY2(ticks >= 8, qPrintable(QString::number(ticks)));
}

void CommandExchangeTest::vanishingDeviceEndsTheExchange()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(Port, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);
    QVERIFY(exchange.SendCommand(Command::ReadIdentity));
    // The adapter is pulled out while the exchange waits for a reply that will not come.
    module.addFault(Fault{FaultKind::NoReply, {}, 1, 0, {}});
    QElapsedTimer sinceHangUp;
    QTimer::singleShot(30, [&] {
        module.hangUp();
        sinceHangUp.start();
    });
    const double cpuBefore = threadCpuMs();
    QVERIFY(!exchange.SendCommand(Command::ReadVersion));
    const qint64 afterHangUpMs = sinceHangUp.elapsed();
    const double cpuMs = threadCpuMs() - cpuBefore;
    QVERIFY(module.hasVanished());
    // It ends when the device goes, not when the reply wait runs out, and nothing spins.
    QVERIFY2(afterHangUpMs < 10, qPrintable(QString::number(afterHangUpMs)));
    QVERIFY2(cpuMs < 10, qPrintable(QString::number(cpuMs)));
    QVERIFY(port.DeviceLost());
    QCOMPARE(port.LinkFailure(),
             QStringLiteral("COM%1 (%2) went away").arg(Port).arg(port.DevicePath()));
    // Further exchanges fail at once, and the port still closes cleanly.
    QVERIFY(MeasureMs([&] { QVERIFY(!exchange.SendCommand(Command::ReadIdentity)); }) < 20);
    port.ClosePort();
    QVERIFY(!port.OpenPort(Port, QStringLiteral("19200,e,8,1")));
}

void CommandExchangeTest::replyTakesTheWireTime()
{
    // At 4800 baud with parity a character takes 11/4800 s: the request's 8 and the
    // reply's 16 characters need 55 ms on the line.
    SimulatedPorts ports;
    ports.addModule(Port, 1);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(Port, QStringLiteral("4800,e,8,1")));
    CommandExchange exchange(port);
    const double ms = ShortestMs(3, [&] { QVERIFY(exchange.SendCommand(Command::ReadIdentity)); });
    QVERIFY2(ms >= 55 && ms < 100, qPrintable(QString::number(ms)));
}

void CommandExchangeTest::anyBytesFromTheLine()
{
    // Whatever arrives, the exchange ends, and the reply and its fields stay within
    // what was received. The bound itself is measured on a quiet line elsewhere; here
    // sixty exchanges on a busy machine only show that none of them hangs. Line feeds, carriage
    // returns and zero bytes are made common so that frames complete and cut short often.
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port, 10);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(Port, QStringLiteral("115200,n,8,1")));
    CommandExchange exchange(port);
    QRandomGenerator random(4040);
    const char common[] = {'\n', '\r', '\0', '0', 'A'};
    for (int round = 0; round < 60; ++round) {
        QByteArray bytes(random.bounded(1, 400), Qt::Uninitialized);
        for (char &b : bytes)
            b = random.bounded(3) == 0 ? common[random.bounded(5)] : char(random.bounded(256));
        if (round % 2 == 0)
            bytes[0] = '\n';
        module.addFault(Fault{FaultKind::RawReply, {}, 1, 0, bytes});
        const QByteArray before = exchange.LastReply();
        const qint64 ms = MeasureMs([&] { exchange.SendCommand(Command::ReadIdentity); });
        QVERIFY2(ms < 1000, qPrintable(QString::number(ms)));
        QVERIFY(exchange.ReplyLength() >= 0 && exchange.ReplyLength() < 1024);
        QVERIFY(exchange.LastReply() == before || bytes.startsWith(exchange.LastReply()));
        QVERIFY(ReplyInputStates(exchange.LastReply()).size() <= 4);
        // What follows a completed frame is drained before the next round: until the
        // module has sent it all, and the line has been quiet for 20 ms.
        QTRY_COMPARE(module.trace().count(), 2 * (round + 1));
        quint8 rest = 0;
        for (int quiet = 0; quiet < 20;)
            quiet = port.ReadByte(rest) == PortAccess::ReadResult::Idle ? quiet + 1 : 0;
    }
}

void CommandExchangeTest::lateReplyNeverAnswersTheNextRequest_data()
{
    QTest::addColumn<QString>("nextFault"); // for the next request; empty: answered
    QTest::addColumn<bool>("result");
    QTest::addColumn<QByteArray>("lastReplyStart");
    QTest::newRow("next request unanswered") << "no-reply@B00V" << false << QByteArray("\n!01G");
    QTest::newRow("next request answered") << "" << true << QByteArray("\n!01V");
    QTest::newRow("next request expects no reply") << "" << true << QByteArray("\n!01G");
}

void CommandExchangeTest::lateReplyNeverAnswersTheNextRequest()
{
    // The answer to "B00B" comes after its exchange has given up, and waits on the line
    // while the program pauses; the next request must not take it for its own.
    QFETCH(QString, nextFault);
    QFETCH(bool, result);
    QFETCH(QByteArray, lastReplyStart);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(Port, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);
    QVERIFY(exchange.SendCommand(Command::ReadMode));
    module.addFault(*ParseFault(QStringLiteral("late=160@B00B")));
    QVERIFY(!exchange.SendCommand(Command::ReadIdentity));
    QTRY_COMPARE(module.trace().last().event, QStringLiteral("tx")); // now on the line
    if (!nextFault.isEmpty())
        module.addFault(*ParseFault(nextFault));

    const bool expectsNoReply = QByteArray(QTest::currentDataTag()).contains("no reply");
    QCOMPARE(exchange.SendCommand(expectsNoReply ? "00X" : Command::ReadVersion), result);
    QVERIFY2(exchange.LastReply().startsWith(lastReplyStart), exchange.LastReply().constData());
    // And the request after it sees only its own answer.
    QVERIFY(exchange.SendCommand(Command::ReadMode));
    QCOMPARE(exchange.ReplyLength(), 9);
}

void CommandExchangeTest::frameReachingTheBufferEnd_data()
{
    // A line feed first, then noise: a frame whose carriage return lands in the last of
    // the buffer's 1024 cells keeps its line feed and its length.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("frame"); // ReplyAssembler::Frame
    QTest::addColumn<int>("length");
    QRandomGenerator random(1020);
    QByteArray noise(1020, Qt::Uninitialized);
    noise[0] = '\n';
    for (int i = 1; i < noise.size(); ++i)
        noise[i] = char(random.bounded(0x20, 0x7F));
    // The checksum digits "0A" hold for the line feed, the noise and the second line feed
    // when the noise's bytes XOR to nothing.
    noise[1019] = char(noise[1019] ^ FrameChecksum(noise));
    QByteArray skewed = noise;
    skewed[1] = char(skewed[1] ^ 1);
    QTest::newRow("reply after 1,020 bytes of noise, checksum right")
        << noise + "\n0A\r" << int(ReplyAssembler::Frame::Valid) << 1024;
    QTest::newRow("reply after 1,020 bytes of noise, checksum wrong")
        << skewed + "\n0A\r" << int(ReplyAssembler::Frame::BadChecksum) << 1024;
    // Without a line feed first nothing completes until the position wraps and a line
    // feed lands in the first cell: the frame counts from there.
    QByteArray reply = "\n!01V01.05-03";
    reply += ChecksumDigits(FrameChecksum(reply)) + '\r';
    QTest::newRow("reply starting the buffer over")
        << QByteArray(1024, 'x') + reply << int(ReplyAssembler::Frame::Valid) << 16;
}

void CommandExchangeTest::frameReachingTheBufferEnd()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, frame);
    QFETCH(int, length);
    ReplyAssembler receive;
    receive.clear();
    for (int i = 0; i < bytes.size() - 1; ++i)
        QCOMPARE(receive.feed(quint8(bytes[i])), ReplyAssembler::Frame::Incomplete);
    QCOMPARE(int(receive.feed(quint8(bytes.back()))), frame);
    QCOMPARE(receive.position(), length);
    QCOMPARE(receive.text(), bytes.right(length));
}

void CommandExchangeTest::echoIsDroppedOnlyWhole_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("passed");
    QTest::addColumn<bool>("dropped");
    const QByteArray request = "\tB00B09\r";
    const QByteArray reply = "\n!01BTX04000161\r";
    QTest::newRow("the request, then the reply") << request + reply << reply << true;
    QTest::newRow("the reply alone") << reply << reply << false;
    QTest::newRow("part of the request, then the reply")
        << QByteArray("\tB00") + reply << QByteArray("\tB00") + reply << false;
    QTest::newRow("the request with another checksum")
        << QByteArray("\tB00B0A\r") + reply << QByteArray("\tB00B0A\r") + reply << false;
    QTest::newRow("the request twice") << request + request << request << true;
}

void CommandExchangeTest::echoIsDroppedOnlyWhole()
{
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, passed);
    QFETCH(bool, dropped);
    LineEcho echo("\tB00B09\r");
    QByteArray out;
    for (const char byte : received)
        out += echo.feed(quint8(byte));
    out += echo.release();
    QCOMPARE(out, passed);
    QCOMPARE(echo.dropped(), dropped);
}

void CommandExchangeTest::echoingAdapter_data()
{
    QTest::addColumn<bool>("silent");
    QTest::newRow("a module behind it") << false;
    QTest::newRow("nothing behind it") << true;
}

void CommandExchangeTest::echoingAdapter()
{
    // A two-wire RS-485 adapter hands the program its own request before the reply.
    QFETCH(bool, silent);
    SimulatedPorts ports;
    SimConfig config;
    config.portNumber = Port;
    config.silent = silent;
    config.echo = true;
    ports.addModule(config);
    const QString logPath = ports.configFolder() + QStringLiteral("/frames.log");
    LinkServices services = LinkServices::system();
    QString error;
    services.trace = FrameTrace::open(logPath, error);
    PortAccess port(ports.portMap(), services);
    QVERIFY(port.OpenPort(Port, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);

    bool answered = false;
    const qint64 ms = MeasureMs([&] { answered = exchange.SendCommand(Command::ReadIdentity); });
    QCOMPARE(answered, !silent);
    if (silent) {
        QVERIFY2(ms > 150, qPrintable(QString::number(ms)));
    } else {
        QCOMPARE(exchange.LastReply(), QByteArray("\n!01BTX04000161\r"));
        QCOMPARE(exchange.ReplyLength(), IdentityReplyLength);
    }
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains(" echo \\tB00B09\\r 094230304230390d\n"));
}

namespace {

QByteArray replyFrame(const QByteArray &body)
{
    const QByteArray head = '\n' + body;
    return head + ChecksumDigits(FrameChecksum(head)) + '\r';
}

} // namespace

void CommandExchangeTest::lateAnswerToAnEarlierRead_data()
{
    // The identity the module gave first: the request's letter at position 5, or not.
    QTest::addColumn<QByteArray>("identity");
    // How the module answers the version: empty, its own reply 100 ms late.
    QTest::addColumn<QByteArray>("versionAnswer");
    QTest::addColumn<QByteArray>("versionReply");
    QTest::newRow("letter shown: the late identity is skipped")
        << replyFrame("!01BTX040001") << QByteArray() << QByteArray("\n!01V01.05-03");
    QTest::newRow("letter not shown: taken as the design takes it")
        << replyFrame("!01XTX040001") << QByteArray() << QByteArray("\n!01BTX040001");
    // Only an unanswered read's own letter marks a late answer, whatever the length.
    QTest::newRow("letter shown: another letter is this request's reply")
        << replyFrame("!01BTX040001") << replyFrame("!01X01.05-03") << QByteArray("\n!01X01.05-03");
}

void CommandExchangeTest::lateAnswerToAnEarlierRead()
{
    QFETCH(QByteArray, identity);
    QFETCH(QByteArray, versionAnswer);
    QFETCH(QByteArray, versionReply);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(Port, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);
    module.addFault(Fault{FaultKind::RawReply, {}, 1, 0, identity});
    QVERIFY(exchange.SendCommand(Command::ReadIdentity));
    // "B00B" goes unanswered and its answer comes while "B00V" waits for its own,
    // which comes later still.
    module.addFault(*ParseFault(QStringLiteral("late=200@B00B")));
    QVERIFY(!exchange.SendCommand(Command::ReadIdentity));
    if (versionAnswer.isEmpty())
        module.addFault(*ParseFault(QStringLiteral("late=100@B00V")));
    else
        module.addFault(Fault{FaultKind::RawReply, "B00V", 1, 0, versionAnswer});
    QVERIFY(exchange.SendCommand(Command::ReadVersion));
    QVERIFY2(exchange.LastReply().startsWith(versionReply), exchange.LastReply().constData());
}

void CommandExchangeTest::moduleSaysNo_data()
{
    QTest::addColumn<QByteArray>("identity");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("accepted");
    const QByteArray yesForm = replyFrame("!01BTX040001");
    QTest::newRow("identity with !: a ? is a no") << yesForm << QByteArray("?01C") << false;
    QTest::newRow("identity with !: a ? that a zero byte follows is a no") << yesForm
                                                                           << QByteArray("?\0"
                                                                                         "1C",
                                                                                         4)
                                                                           << false;
    QTest::newRow("identity of another form: the design's reading")
        << replyFrame("#01BTX040001") << QByteArray("?01C") << true;
}

void CommandExchangeTest::moduleSaysNo()
{
    QFETCH(QByteArray, identity);
    QFETCH(QByteArray, answer);
    QFETCH(bool, accepted);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    PortAccess port(ports.portMap(), LinkServices::system());
    QVERIFY(port.OpenPort(Port, QStringLiteral("19200,e,8,1")));
    CommandExchange exchange(port);
    module.addFault(Fault{FaultKind::RawReply, {}, 1, 0, identity});
    QVERIFY(exchange.SendCommand(Command::ReadIdentity));
    module.addFault(Fault{FaultKind::RawReply, {}, 1, 0, replyFrame(answer)});
    QCOMPARE(exchange.SendCommand(SetIdCommand("TX040001", "07")), accepted);
    // A reading command answered "?" is no setting refused: its fields decide.
    module.addFault(Fault{FaultKind::RawReply, {}, 1, 0, replyFrame("?01G")});
    QVERIFY(exchange.SendCommand(Command::ReadMode));
}

QTEST_GUILESS_MAIN(CommandExchangeTest)
#include "test_command_exchange.moc"
