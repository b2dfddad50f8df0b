// Setting the output mode and input polarity, and the factory default, against the
// simulated module.

#include "module_mode.h"
#include "workflow_bench.h"

#include <QTest>

namespace {

using Workflow = WorkResult (*)(WorkflowContext &);

const QByteArray Reserved(12, '0');

} // namespace

class ModuleModeTest : public QObject
{
    Q_OBJECT

private slots:
    void modeAndPolarity_data();
    void modeAndPolarity();
    void polarityFailureRepeatsTheWholeTry();
    void lateAnswerIsNotTakenForTheModeCommand();
    void refusedBeforeAScan_data();
    void refusedBeforeAScan();
    void portThatDoesNotOpen_data();
    void portThatDoesNotOpen();
    void factoryDefault_data();
    void factoryDefault();
    void factoryDefaultKeepsTheSettingInUse();
    void failedFactoryDefaultKeepsTheControls();
};

void ModuleModeTest::modeAndPolarity_data()
{
    QTest::addColumn<int>("modeIndex");
    QTest::addColumn<FourFlags>("boxes");
    QTest::addColumn<QByteArray>("modeCommand");
    QTest::addColumn<QByteArray>("polarityCommand");
    QTest::newRow("Hold, DI1 and DI3")
        << 0 << FourFlags{true, false, true, false} << QByteArray("B00GH") << "B00A1010" + Reserved;
    QTest::newRow("Normal, all four")
        << 1 << FourFlags{true, true, true, true} << QByteArray("B00GS") << "B00A1111" + Reserved;
    QTest::newRow("Hold, none") << 0 << FourFlags{} << QByteArray("B00GH")
                                << QByteArray("B00A0000000000000000");
    QTest::newRow("Normal, DI4") << 1 << FourFlags{false, false, false, true} << QByteArray("B00GS")
                                 << "B00A0001" + Reserved;
}

void ModuleModeTest::modeAndPolarity()
{
    QFETCH(int, modeIndex);
    QFETCH(FourFlags, boxes);
    QFETCH(QByteArray, modeCommand);
    QFETCH(QByteArray, polarityCommand);
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(4, 9);
    bench.foundAt(4, 9);
    bench.window.mode = modeIndex;
    bench.window.polarityBoxes = boxes;

    SetModuleMode(bench.context);

    QCOMPARE(module.heardCommands(), (QList<QByteArray>{"B00B", modeCommand, polarityCommand}));
    QCOMPARE(module.state().holdMode, modeIndex == 0);
    QCOMPARE(module.state().polarity, polarityCommand.mid(4));
    // No progress text: only the outcome.
    QCOMPARE(bench.window.messages, QStringList{"Set Module Mode Ok"});
    QCOMPARE(bench.window.lamp, LampColour::Yellow);
    QVERIFY(bench.window.events.contains("tone 1000 300"));
}

void ModuleModeTest::polarityFailureRepeatsTheWholeTry()
{
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(4);
    module.addFault(*ParseFault(QStringLiteral("no-reply@B00A*1")));
    bench.foundAt(4, 5);
    bench.window.mode = 1;
    bench.window.polarityBoxes = {false, true, false, false};
    SetModuleMode(bench.context);
    const QByteArray polarity = "B00A0100" + Reserved;
    QCOMPARE(module.heardCommands(),
             (QList<QByteArray>{"B00B", "B00GS", "B00B", "B00GS", polarity}));
    QCOMPARE(bench.window.message, QStringLiteral("Set Module Mode Ok"));
}

void ModuleModeTest::lateAnswerIsNotTakenForTheModeCommand()
{
    // The first "B00B" is answered after its exchange gave up, and the module never
    // answers "B00GH": neither that late answer nor the second "B00B"'s may pass for
    // the mode command's reply.
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(4);
    module.addFault(*ParseFault(QStringLiteral("late=200@B00B*1")));
    module.addFault(*ParseFault(QStringLiteral("no-reply@B00GH*always")));
    bench.foundAt(4, 5);
    bench.window.mode = 0;
    SetModuleMode(bench.context);
    QCOMPARE(module.heardCommands(), (QList<QByteArray>{"B00B", "B00B"}));
    QVERIFY(!module.receivedBytes().contains("B00A"));
    QCOMPARE(bench.window.messages, QStringList{"Set Module Mode Error"});
    QCOMPARE(bench.window.lamp, LampColour::Red);
    QVERIFY(bench.window.events.contains("tone 300 300"));
}

void ModuleModeTest::refusedBeforeAScan_data()
{
    QTest::addColumn<Workflow>("workflow");
    QTest::newRow("mode") << Workflow(SetModuleMode);
    QTest::newRow("factory default") << Workflow(SetFactoryDefault);
}

void ModuleModeTest::refusedBeforeAScan()
{
    QFETCH(Workflow, workflow);
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(4);
    bench.foundAt(4, 5);
    bench.state.ModuleFound = false;
    bench.window.idPosition = 33;
    bench.window.idPanel = QStringLiteral("33");
    bench.window.baudIndex = 2;
    bench.window.mode = 1;
    bench.window.polarityBoxes = {true, true, false, false};
    workflow(bench.context);
    QCOMPARE(bench.window.messages, QStringList{"Start Scan Module!"});
    QCOMPARE(bench.window.lamp, LampColour::Red);
    QVERIFY(bench.window.events.contains("tone 300 300"));
    // Nothing sent, and no control reset.
    QTest::qWait(20);
    QVERIFY(module.receivedBytes().isEmpty());
    QCOMPARE(bench.window.idPanel, QStringLiteral("33"));
    QCOMPARE(bench.window.baudIndex, 2);
    QCOMPARE(bench.window.mode, 1);
    QCOMPARE(bench.window.polarityBoxes, (FourFlags{true, true, false, false}));
}

void ModuleModeTest::portThatDoesNotOpen_data()
{
    QTest::addColumn<Workflow>("workflow");
    QTest::addColumn<QString>("error");
    QTest::newRow("mode") << Workflow(SetModuleMode) << "Set Module Mode Error";
    QTest::newRow("factory default") << Workflow(SetFactoryDefault) << "Set Factory Default Error";
}

void ModuleModeTest::portThatDoesNotOpen()
{
    QFETCH(Workflow, workflow);
    QFETCH(QString, error);
    WorkflowBench bench;
    bench.ports.addModule(4);
    bench.foundAt(12, 5);
    workflow(bench.context);
    QCOMPARE(bench.window.message, error);
    QCOMPARE(bench.window.lamp, LampColour::Red);
    QVERIFY(bench.window.events.contains("tone 300 300"));
}

void ModuleModeTest::factoryDefault_data()
{
    QTest::addColumn<int>("positionBefore");
    QTest::addColumn<QString>("panelBefore");
    QTest::addColumn<QString>("panelAfter");
    QTest::newRow("scroll bar at 37") << 37 << "37"
                                      << "01";
    QTest::newRow("scroll bar already at 1") << 1 << "23"
                                             << "23";
}

void ModuleModeTest::factoryDefault()
{
    QFETCH(int, positionBefore);
    QFETCH(QString, panelBefore);
    QFETCH(QString, panelAfter);
    WorkflowBench bench;
    ModuleState state;
    state.id = "37";
    state.holdMode = false;
    state.polarity = "1011" + Reserved;
    SimulatedModule &module = bench.ports.addModule(4, 5, state);
    bench.foundAt(4, 5);
    bench.window.idPosition = positionBefore;
    bench.window.idPanel = panelBefore;
    bench.window.baudIndex = 10;
    bench.window.mode = 1;
    bench.window.polarityBoxes = {true, false, true, true};

    SetFactoryDefault(bench.context);

    QCOMPARE(bench.window.idPosition, 1);
    QCOMPARE(bench.window.idPanel, panelAfter);
    QCOMPARE(bench.window.baudIndex, 5);
    QCOMPARE(bench.window.mode, 0);
    QCOMPARE(bench.window.polarityBoxes, FourFlags{});
    QCOMPARE(module.heardCommands(), (QList<QByteArray>{"B00B", "B00CTX04000101",
                                                        "B00A0000000000000000", "B00GH", "B00E5"}));
    const ModuleState after = module.state();
    QCOMPARE(after.id, QByteArray("01"));
    QCOMPARE(after.polarity, QByteArray(16, '0'));
    QVERIFY(after.holdMode);
    QCOMPARE(bench.window.messages, (QStringList{"Set Factory Default", "Set Factory Default Ok"}));
    QCOMPARE(bench.window.lamp, LampColour::Yellow);
    QVERIFY(!QFile::exists(bench.settingsPath()));
}

void ModuleModeTest::factoryDefaultKeepsTheSettingInUse()
{
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(4, 7);
    bench.foundAt(4, 7);
    SetFactoryDefault(bench.context);
    QCOMPARE(bench.window.message, QStringLiteral("Set Factory Default Ok"));
    QTRY_COMPARE(module.state().settingIndex, 5);
    QCOMPARE(bench.state.ScanBaudRate, QStringLiteral("38400,e,8,1"));
    QCOMPARE(bench.state.ScanBaudRateNo, 7);
    QCOMPARE(bench.window.baudIndex, 5);

    // The next workflow still talks at the old setting, where the module no longer is.
    module.clearTrace();
    SetModuleMode(bench.context);
    QCOMPARE(WorkflowBench::requestSettings(module), QStringList(2, "38400,e,8,1"));
    QCOMPARE(bench.window.message, QStringLiteral("Set Module Mode Error"));
}

void ModuleModeTest::failedFactoryDefaultKeepsTheControls()
{
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(4);
    module.addFault(*ParseFault(QStringLiteral("no-reply@B00GH*always")));
    bench.foundAt(4, 5);
    bench.window.idPosition = 64;
    bench.window.mode = 1;
    SetFactoryDefault(bench.context);
    QCOMPARE(bench.window.message, QStringLiteral("Set Factory Default Error"));
    QCOMPARE(bench.window.lamp, LampColour::Red);
    QCOMPARE(bench.window.idPosition, 1);
    QCOMPARE(bench.window.idPanel, QStringLiteral("01"));
    QCOMPARE(bench.window.mode, 0);
    // Each try went as far as the mode command, and the module kept what it accepted.
    QCOMPARE(module.heardCommands().count("B00B"), 2);
    QCOMPARE(module.heardCommands().count("B00A0000000000000000"), 2);
    QCOMPARE(module.state().settingIndex, 5);
}

QTEST_GUILESS_MAIN(ModuleModeTest)
#include "test_module_mode.moc"
