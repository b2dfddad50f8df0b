// Setting the module's ID and its baud rate against the simulated module: refusal
// before a scan, the two tries, the serial number of the same try, and the setting
// the program talks at afterwards.

#include "baud_rate_modes.h"
#include "module_identity.h"
#include "workflow_bench.h"

#include <QTest>

namespace {

using Workflow = WorkResult (*)(WorkflowContext &);

QByteArray setIdFor(const QByteArray &serial, const QByteArray &id)
{
    return "B00C" + serial + id;
}

// Milliseconds between the module's reply to one request and the next request.
QList<qint64> pausesBeforeRequests(const SimulatedModule &module)
{
    QList<qint64> pauses;
    qint64 lastReply = -1;
    for (const TraceEntry &entry : module.trace()) {
        if (entry.event == u"tx")
            lastReply = entry.monotonicMicros;
        else if (entry.event.startsWith(u"rx") && lastReply >= 0)
            pauses << (entry.monotonicMicros - lastReply) / 1000;
    }
    return pauses;
}

} // namespace

class ModuleIdentityTest : public QObject
{
    Q_OBJECT

private slots:
    void refusedBeforeAScan_data();
    void refusedBeforeAScan();
    void setsTheIdOfThePanel();
    void tries_data();
    void tries();
    void serialNumberOfTheSameTry();
    void portThatDoesNotOpen_data();
    void portThatDoesNotOpen();
    void baudRateCommands_data();
    void baudRateCommands();
    void failedBaudRateChangeKeepsTheSetting();
};

void ModuleIdentityTest::refusedBeforeAScan_data()
{
    QTest::addColumn<Workflow>("workflow");
    QTest::newRow("ID") << Workflow(SetModuleId);
    QTest::newRow("baud rate") << Workflow(SetModuleBaudRate);
}

void ModuleIdentityTest::refusedBeforeAScan()
{
    QFETCH(Workflow, workflow);
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(3);
    bench.foundAt(3, 5);
    bench.state.ModuleFound = false;
    workflow(bench.context);
    QCOMPARE(bench.window.messages, QStringList{"Start Scan Module!"});
    QCOMPARE(bench.window.lamp, LampColour::Red);
    QVERIFY(bench.window.events.contains("tone 300 300"));
    QCOMPARE(bench.window.events.first(), QStringLiteral("begin"));
    QCOMPARE(bench.window.events.last(), QStringLiteral("end"));
    QTest::qWait(20);
    QVERIFY(module.receivedBytes().isEmpty());
}

void ModuleIdentityTest::setsTheIdOfThePanel()
{
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(3);
    bench.foundAt(3, 5);
    bench.window.idPanel = QStringLiteral("07");
    SetModuleId(bench.context);
    QCOMPARE(module.heardCommands(), (QList<QByteArray>{"B00B", setIdFor("TX040001", "07")}));
    QCOMPARE(module.state().id, QByteArray("07"));
    QCOMPARE(bench.window.messages, (QStringList{"Set Module ID = 07", "Set Module ID Ok"}));
    QCOMPARE(bench.window.lamp, LampColour::Yellow);
    QVERIFY(bench.window.events.contains("tone 1000 300"));
    // 100 ms before each command.
    for (const qint64 pause : pausesBeforeRequests(module))
        QVERIFY2(pause >= 100, qPrintable(QString::number(pause)));
    // Nothing records the new ID.
    QCOMPARE(bench.window.idPanel, QStringLiteral("07"));
    QCOMPARE(bench.window.idPosition, 1);
}

void ModuleIdentityTest::tries_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("done");
    QTest::addColumn<QList<QByteArray>>("heard");
    const QByteArray setId = setIdFor("TX040001", "42");
    QTest::newRow("first try") << QStringList{} << true << QList<QByteArray>{"B00B", setId};
    QTest::newRow("identity missing once")
        << QStringList{"no-reply@B00B*1"} << true << QList<QByteArray>{"B00B", setId};
    QTest::newRow("identity of the wrong length once")
        << QStringList{"wrong-length@B00B*1"} << true << QList<QByteArray>{"B00B", "B00B", setId};
    QTest::newRow("ID command missing once")
        << QStringList{"no-reply@B00C*1"} << true << QList<QByteArray>{"B00B", "B00B", setId};
    QTest::newRow("ID command missing twice")
        << QStringList{"no-reply@B00C*2"} << false << QList<QByteArray>{"B00B", "B00B"};
    QTest::newRow("identity missing twice")
        << QStringList{"no-reply@B00B*2"} << false << QList<QByteArray>{};
    // No serial number to address the module with: nothing is sent to it.
    QTest::newRow("identity cut short by a zero byte")
        << QStringList{"zero-byte@B00B*always"} << false << QList<QByteArray>{"B00B", "B00B"};
    QTest::newRow("the module says no (?01C)")
        << QStringList{"raw=0a3f30314337370d@B00C*always"} << false
        << QList<QByteArray>{"B00B", setId, "B00B", setId};
}

void ModuleIdentityTest::tries()
{
    QFETCH(QStringList, faults);
    QFETCH(bool, done);
    QFETCH(QList<QByteArray>, heard);
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(3);
    for (const QString &fault : faults)
        module.addFault(*ParseFault(fault));
    bench.foundAt(3, 5);
    bench.window.idPanel = QStringLiteral("42");
    SetModuleId(bench.context);
    QCOMPARE(module.heardCommands(), heard);
    QCOMPARE(bench.window.message,
             done ? QStringLiteral("Set Module ID Ok") : QStringLiteral("Set Module ID Error"));
    QCOMPARE(bench.window.lamp, done ? LampColour::Yellow : LampColour::Red);
    QVERIFY(bench.window.events.contains(done ? "tone 1000 300" : "tone 300 300"));
    QVERIFY(bench.state.ModuleFound); // whatever the outcome
}

void ModuleIdentityTest::serialNumberOfTheSameTry()
{
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(3);
    // The first identity reply names another module; its ID command goes unanswered,
    // and the second try names this one, from its own reply.
    const QByteArray head = "\n!01BOTHER001";
    const QByteArray other = head + ChecksumDigits(FrameChecksum(head)) + '\r';
    module.addFault(Fault{FaultKind::RawReply, "B00B", 1, 0, other});
    bench.foundAt(3, 5);
    bench.window.idPanel = QStringLiteral("09");
    bench.window.serial = QStringLiteral("S/N : PANEL123");
    SetModuleId(bench.context);
    QCOMPARE(module.heardCommands(), (QList<QByteArray>{"B00B", setIdFor("OTHER001", "09"), "B00B",
                                                        setIdFor("TX040001", "09")}));
    QCOMPARE(module.state().id, QByteArray("09"));
    QCOMPARE(bench.window.message, QStringLiteral("Set Module ID Ok"));
}

void ModuleIdentityTest::portThatDoesNotOpen_data()
{
    QTest::addColumn<Workflow>("workflow");
    QTest::addColumn<QString>("error");
    QTest::newRow("ID") << Workflow(SetModuleId) << "Set Module ID Error";
    QTest::newRow("baud rate") << Workflow(SetModuleBaudRate) << "Set Module BaudRate Error";
}

void ModuleIdentityTest::portThatDoesNotOpen()
{
    QFETCH(Workflow, workflow);
    QFETCH(QString, error);
    WorkflowBench bench;
    bench.ports.addModule(3);
    bench.foundAt(8, 5);
    workflow(bench.context);
    QCOMPARE(bench.window.message, error);
    QCOMPARE(bench.window.lamp, LampColour::Red);
    QCOMPARE(bench.state.ScanBaudRateNo, 5);
}

void ModuleIdentityTest::baudRateCommands_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("4800,n,8,1") << 0 << QByteArray("B00E0");
    QTest::newRow("9600,e,8,1") << 3 << QByteArray("B00E3");
    QTest::newRow("19200,e,8,1") << 5 << QByteArray("B00E5");
    QTest::newRow("115200,n,8,1") << 10 << QByteArray("B00EA");
    QTest::newRow("115200,e,8,1") << 11 << QByteArray("B00EB");
}

void ModuleIdentityTest::baudRateCommands()
{
    QFETCH(int, index);
    QFETCH(QByteArray, command);
    WorkflowBench bench;
    bench.remember(3, 5, QStringLiteral("19200,e,8,1"));
    SimulatedModule &module = bench.ports.addModule(3, 5);
    bench.state.ModuleFound = true;
    bench.window.baudIndex = index;

    SetModuleBaudRate(bench.context);

    QCOMPARE(module.heardCommands(), (QList<QByteArray>{"B00B", command}));
    QCOMPARE(bench.window.messages,
             (QStringList{"Set Module BaudRate = " + BaudRateModes().at(index),
                          "Set Module BaudRate Ok"}));
    QCOMPARE(bench.window.lamp, LampColour::Yellow);
    QCOMPARE(bench.state.ScanBaudRateNo, index);
    QCOMPARE(bench.state.ScanBaudRate, BaudRateModes().at(index));
    QTRY_COMPARE(module.state().settingIndex, index);

    // The next operation talks at the new setting ...
    module.clearTrace();
    bench.window.idPanel = QStringLiteral("11");
    SetModuleId(bench.context);
    QCOMPARE(bench.window.message, QStringLiteral("Set Module ID Ok"));
    QCOMPARE(WorkflowBench::requestSettings(module).first(), BaudRateModes().at(index));
    // ... while a new start comes back with the stored one.
    QCOMPARE(bench.storedState().ScanBaudRate, QStringLiteral("19200,e,8,1"));
    QCOMPARE(bench.storedState().ScanBaudRateNo, 5);
}

void ModuleIdentityTest::failedBaudRateChangeKeepsTheSetting()
{
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(3, 5);
    module.addFault(*ParseFault(QStringLiteral("no-reply@B00E*always")));
    bench.foundAt(3, 5);
    bench.window.baudIndex = 8;
    SetModuleBaudRate(bench.context);
    QCOMPARE(module.heardCommands(), (QList<QByteArray>{"B00B", "B00B"}));
    QCOMPARE(bench.window.message, QStringLiteral("Set Module BaudRate Error"));
    QCOMPARE(bench.state.ScanBaudRateNo, 5);
    QCOMPARE(bench.state.ScanBaudRate, QStringLiteral("19200,e,8,1"));
    QCOMPARE(bench.window.baudIndex, 8); // the operator's choice stays in the list
    QCOMPARE(module.state().settingIndex, 5);
}

QTEST_GUILESS_MAIN(ModuleIdentityTest)
#include "test_module_identity.moc"
