// The live I/O loop against the simulated module: outputs out, inputs in, and every
// way the loop ends. Clicks during the loop arrive as they do from the window: from
// inside the loop's message processing.

#include "line_setting.h"
#include "live_io.h"
#include "workflow_bench.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {

// Runs `action` after `ms`, from inside whatever processes the messages then.
void after(int ms, std::function<void()> action)
{
    QTimer::singleShot(ms, std::move(action));
}

QList<QByteArray> outputCommands(const SimulatedModule &module)
{
    QList<QByteArray> commands;
    for (const QByteArray &command : module.heardCommands()) {
        if (command.startsWith("B00F"))
            commands << command;
    }
    return commands;
}

// A bench where the scan has found the module on COM4, and the message panel holds a
// text from before the loop.
struct LiveBench : WorkflowBench
{
    explicit LiveBench(const QByteArray &contacts = "0000",
                       const LinkServices &services = LinkServices::system())
        : WorkflowBench(services), module(ports.addModule(4, 11))
    {
        module.setContacts(contacts);
        foundAt(4, 11);
        window.showMessage(QStringLiteral("Get Module Info Ok. (COM : #4)"));
        window.events.clear();
    }
    void pressProcessAfter(int ms)
    {
        after(ms, [this] { ProcessModule(context); });
    }
    SimulatedModule &module;
};

} // namespace

class LiveIoTest : public QObject
{
    Q_OBJECT

private slots:
    void refusedBeforeAScan();
    void outputsOutInputsIn();
    void roundsEndThirtyMsAfterTheyBegan();
    void latencyAdapter_data();
    void latencyAdapter();
    void stoppedByTheOperator();
    void stoppedByModuleLoss();
    void stopDuringAFailingExchange();
    void stoppedByAVanishingPort();
    void repliesOfAnotherLength_data();
    void repliesOfAnotherLength();
    void portThatDoesNotOpen();
    void allOutputs_data();
    void allOutputs();
    void allOutputsDuringTheLoop();
};

void LiveIoTest::refusedBeforeAScan()
{
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(4);
    bench.foundAt(4, 5);
    bench.state.ModuleFound = false;
    bench.window.lamp = LampColour::Yellow;
    ProcessModule(bench.context);
    QCOMPARE(bench.window.events, (QStringList{"message Start Scan Module!", "tone 300 300"}));
    QCOMPARE(bench.window.lamp, LampColour::Yellow);
    QVERIFY(!bench.state.ProcessRunning);
    QTest::qWait(20);
    QVERIFY(module.receivedBytes().isEmpty());
}

void LiveIoTest::outputsOutInputsIn()
{
    LiveBench bench("1001");
    bench.window.outputBoxes = {true, false, true, false};
    after(250, [&] { bench.window.outputBoxes = {false, true, false, true}; });
    bench.pressProcessAfter(500);
    QElapsedTimer timer;
    timer.start();

    ProcessModule(bench.context);

    const QList<QByteArray> sent = outputCommands(bench.module);
    QVERIFY(sent.size() >= 4);
    // 30 rounds of a 1 ms sleep before every exchange.
    QVERIFY2(sent.size() <= timer.elapsed() / 30 + 1, qPrintable(QString::number(sent.size())));
    QCOMPARE(sent.first(), QByteArray("B00F1010"));
    QCOMPARE(sent.last(), QByteArray("B00F0101"));
    // The module keeps the outputs of the last command; the boxes are cleared.
    QCOMPARE(bench.module.state().outputs, QByteArray("0101"));
    QCOMPARE(bench.window.outputBoxes, FourFlags{});
    QVERIFY(bench.window.inputHistory.contains("1001"));
    QCOMPARE(bench.window.inputHistory.last(), QStringLiteral("0000"));
}

void LiveIoTest::roundsEndThirtyMsAfterTheyBegan()
{
    // A sleep that always wakes 300 us late, on a clock of the test's own: each round
    // sleeps until its own millisecond of the cycle, so the lateness does not add up.
    LinkServices services = LinkServices::system();
    qint64 now = 5'000'000;
    QList<qint64> deadlines;
    StopRequest *stop = nullptr;
    services.clockUs = [&] { return now; };
    services.sleepUntilUs = [&](qint64 deadline) {
        deadlines << deadline;
        now = std::max(now, deadline) + 300;
        // The operator's stop comes in the last round: this cycle is the only one.
        if (deadlines.size() == 30)
            stop->request();
    };
    LiveBench bench("0000", services);
    stop = &bench.context.liveStop;

    ProcessModule(bench.context);

    QCOMPARE(deadlines.size(), 30);
    for (int round = 0; round < 30; ++round)
        QCOMPARE(deadlines.at(round), 5'000'000 + (round + 1) * 1000);
    QCOMPARE(outputCommands(bench.module).size(), 1);
}

void LiveIoTest::latencyAdapter_data()
{
    QTest::addColumn<bool>("refused"); // the driver refuses low latency
    QTest::newRow("low latency taken") << false;
    QTest::newRow("low latency refused") << true;
}

void LiveIoTest::latencyAdapter()
{
    // An FTDI-type adapter holds what it receives for its 16 ms latency timer unless the
    // driver takes low latency. The quickest cycles show it: a busy machine can only
    // make cycles longer.
    QFETCH(bool, refused);
    WorkflowBench bench;
    SimConfig config;
    config.portNumber = 4;
    config.state.settingIndex = 10; // 115200,n,8,1
    config.latencyMs = 16;
    config.refusesLowLatency = refused;
    SimulatedModule &module = bench.ports.addModule(config);
    bench.foundAt(4, 10);
    after(1500, [&] { ProcessModule(bench.context); });
    ProcessModule(bench.context);

    QList<qint64> heardAt;
    for (const TraceEntry &entry : module.trace()) {
        if (entry.event == u"rx" && entry.bytes.startsWith("\tB00F"))
            heardAt << entry.monotonicMicros;
    }
    QVERIFY(heardAt.size() >= 20);
    QList<double> cycleMs;
    for (qsizetype i = 1; i < heardAt.size(); ++i)
        cycleMs << (heardAt.at(i) - heardAt.at(i - 1)) / 1000.0;
    std::sort(cycleMs.begin(), cycleMs.end());
    const double quickest = cycleMs.at(cycleMs.size() / 4);
    // 30 rounds of 1 ms, then "B00F" and its 12-character reply at the line's pace.
    const double characterMs = ModuleSetting(10).characterTimeNs() / 1e6;
    const double leastMs = 30 + (12 * characterMs + 8) + std::max(1.0, 12 * characterMs);
    // Held to 16 ms ticks, a cycle takes three of them, 48 ms; at 1 ms ticks, hardly more
    // than the least. Halfway between tells the two apart on a busy machine as well.
    const double halfway = leastMs + (48 - leastMs) / 2;
    if (refused)
        QVERIFY2(quickest > halfway, qPrintable(QString::number(quickest)));
    else
        QVERIFY2(quickest < halfway, qPrintable(QString::number(quickest)));
}

void LiveIoTest::stoppedByTheOperator()
{
    LiveBench bench("0100");
    bench.window.outputBoxes = {false, false, true, false};
    bench.pressProcessAfter(200);
    ProcessModule(bench.context);

    const QStringList &e = bench.window.events;
    const QStringList start{"caption Cancel Process Module(Space Key)", "other work off", "busy on",
                            "window on"};
    QCOMPARE(e.mid(0, 4), start);
    const QStringList end{"busy off",     "lamp yellow",   "tone 1000 300",         "inputs 0000",
                          "outputs 0000", "other work on", "caption Process Module"};
    QCOMPARE(e.mid(e.size() - end.size()), end);
    QCOMPARE(bench.window.message, QStringLiteral("Get Module Info Ok. (COM : #4)"));
    QVERIFY(!bench.state.ProcessRunning);
    QVERIFY(bench.window.otherWorkEnabled);
    QVERIFY(!bench.port.IsOpen());
    QVERIFY(bench.state.ModuleFound);
}

void LiveIoTest::stoppedByModuleLoss()
{
    LiveBench bench;
    after(200, [&] { bench.module.addFault(*ParseFault(QStringLiteral("no-reply@B00F*always"))); });
    ProcessModule(bench.context);
    const QStringList &e = bench.window.events;
    QVERIFY(e.indexOf("lamp red") > e.indexOf("busy off"));
    QVERIFY(e.contains("tone 300 300"));
    QCOMPARE(bench.window.lamp, LampColour::Red);
    QCOMPARE(bench.window.inputLamps, FourFlags{});
    QCOMPARE(bench.window.caption, QStringLiteral("Process Module"));
    QCOMPARE(bench.window.message, QStringLiteral("Get Module Info Ok. (COM : #4)"));
    QVERIFY(!bench.state.ProcessRunning);
    QVERIFY(!bench.port.IsOpen());
}

void LiveIoTest::stopDuringAFailingExchange()
{
    // The module stops answering, and the operator's stop comes while the unanswered
    // exchange waits: the loop ends as stopped by the operator.
    LiveBench bench;
    bench.module.addFault(*ParseFault(QStringLiteral("no-reply@B00F*always")));
    bool duringTheWait = false;
    after(100, [&] {
        duringTheWait = !bench.module.trace().isEmpty();
        ProcessModule(bench.context);
    });
    ProcessModule(bench.context);
    QVERIFY(duringTheWait);
    QCOMPARE(bench.module.trace().size(), 1);
    QCOMPARE(bench.window.lamp, LampColour::Yellow);
    QVERIFY(bench.window.events.contains("tone 1000 300"));
    QVERIFY(!bench.state.ProcessRunning);
    QVERIFY(!bench.port.IsOpen());
}

void LiveIoTest::stoppedByAVanishingPort()
{
    LiveBench bench("1000");
    QElapsedTimer sinceHangUp;
    after(200, [&] {
        bench.module.hangUp();
        sinceHangUp.start();
    });
    ProcessModule(bench.context);
    // Ended at the first failed exchange, not after a string of them.
    QVERIFY2(sinceHangUp.elapsed() < 200, qPrintable(QString::number(sinceHangUp.elapsed())));
    QCOMPARE(bench.window.lamp, LampColour::Red);
    QVERIFY(bench.window.events.contains("tone 300 300"));
    QVERIFY(!bench.port.IsOpen());
    QVERIFY(!bench.state.ProcessRunning);
    QVERIFY(bench.window.otherWorkEnabled);
    // The next try to open it fails cleanly.
    ProcessModule(bench.context);
    QCOMPARE(bench.window.message, QStringLiteral("Open COM : 4 Error"));
}

void LiveIoTest::repliesOfAnotherLength_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("11 characters") << -1;
    QTest::newRow("13 characters") << 1;
}

void LiveIoTest::repliesOfAnotherLength()
{
    QFETCH(int, change);
    LiveBench bench("1001");
    int sentBefore = 0;
    after(200, [&] {
        sentBefore = outputCommands(bench.module).size();
        bench.module.addFault(Fault{FaultKind::WrongLength, "B00F", Fault::Always, change, {}});
        bench.module.setContacts("0110");
    });
    bench.pressProcessAfter(500);
    ProcessModule(bench.context);
    // The loop went on, and the lamps kept what the last full reply showed.
    QVERIFY(outputCommands(bench.module).size() >= sentBefore + 3);
    QVERIFY(bench.window.inputHistory.contains("1001"));
    QVERIFY(!bench.window.inputHistory.contains("0110"));
    QCOMPARE(bench.window.lamp, LampColour::Yellow);
}

void LiveIoTest::portThatDoesNotOpen()
{
    LiveBench bench;
    bench.state.ScanCommNo = 12;
    bench.window.outputBoxes = {true, true, false, false};
    bench.window.inputLamps = {false, true, false, false};
    ProcessModule(bench.context);
    QCOMPARE(bench.window.message, QStringLiteral("Open COM : 12 Error"));
    QCOMPARE(bench.window.explanation, QStringLiteral("COM12: no serial device by that number"));
    QCOMPARE(bench.window.lamp, LampColour::Red);
    QVERIFY(bench.window.events.contains("tone 300 300"));
    QVERIFY(!bench.window.events.contains("busy on"));
    QCOMPARE(bench.window.caption, QStringLiteral("Process Module"));
    QVERIFY(bench.window.otherWorkEnabled);
    QCOMPARE(bench.window.outputBoxes, (FourFlags{true, true, false, false}));
    QCOMPARE(bench.window.inputLamps, (FourFlags{false, true, false, false}));
    QVERIFY(!bench.state.ProcessRunning);
}

void LiveIoTest::allOutputs_data()
{
    QTest::addColumn<FourFlags>("before");
    QTest::addColumn<FourFlags>("after");
    QTest::newRow("DO1 on: all off") << FourFlags{true, false, false, false} << FourFlags{};
    QTest::newRow("DO1 off: all on")
        << FourFlags{false, true, true, true} << FourFlags{true, true, true, true};
    QTest::newRow("all on: all off") << FourFlags{true, true, true, true} << FourFlags{};
}

void LiveIoTest::allOutputs()
{
    QFETCH(FourFlags, before);
    QFETCH(FourFlags, after);
    WorkflowBench bench;
    bench.window.outputBoxes = before;
    AllOutputs(bench.context);
    QCOMPARE(bench.window.outputBoxes, after);
}

void LiveIoTest::allOutputsDuringTheLoop()
{
    LiveBench bench;
    after(200, [&] { AllOutputs(bench.context); });
    bench.pressProcessAfter(400);
    ProcessModule(bench.context);
    const QList<QByteArray> sent = outputCommands(bench.module);
    QCOMPARE(sent.first(), QByteArray("B00F0000"));
    QCOMPARE(sent.last(), QByteArray("B00F1111"));
    QCOMPARE(bench.module.state().outputs, QByteArray("1111"));
}

QTEST_GUILESS_MAIN(LiveIoTest)
#include "test_live_io.moc"
