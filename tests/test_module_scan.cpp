// The scan against simulated modules and silent ports: which port and setting is tried
// when, what the window shows, what is stored and when, and how it ends.

#include "baud_rate_modes.h"
#include "frame_trace.h"
#include "module_scan.h"
#include "workflow_bench.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

namespace {

QStringList times(int count, const QString &text)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << text;
    return list;
}

// The traced time of the first request the module heard with that command.
qint64 heardAtMicros(const SimulatedModule &module, const QByteArray &command)
{
    for (const TraceEntry &entry : module.trace()) {
        if (entry.event == u"rx" && entry.bytes.mid(1).startsWith(command))
            return entry.monotonicMicros;
    }
    return -1;
}

// A wall-clock moment, such as a file's modification time, on the trace's CLOCK_MONOTONIC
// (to within a millisecond).
qint64 monotonicMicrosOf(const QDateTime &wallClock)
{
    const qint64 offset = QDateTime::currentMSecsSinceEpoch() * 1000 - MonotonicMicrosNow();
    return wallClock.toMSecsSinceEpoch() * 1000 - offset;
}

} // namespace

class ModuleScanTest : public QObject
{
    Q_OBJECT

private slots:
    void firstRunTriesEveryPortAtTheDefault();
    void lockedSearchKeepsToTheRememberedIndex();
    void lockedSearchWithAnIndexOutsideTheList_data();
    void lockedSearchWithAnIndexOutsideTheList();
    void unlockedSearchTriesEverySetting();
    void findAtTheRememberedPlaceWritesNothing();
    void rememberedPlaceFailsButTheSearchFindsIt();
    void noPortOpens();
    void notFoundSaysWhichPortsWouldNotOpen();
    void notFoundInAnEmptyPortsFolder();
    void rememberedPlacePastTheSearch_data();
    void rememberedPlacePastTheSearch();
    void wrongLengthIsNoAnswer();
    void settingTheDriverIgnoresIsNoAnswer();
    void informationRead_data();
    void informationRead();
    void moduleIdAndScrollBar_data();
    void moduleIdAndScrollBar();
    void idThatIsNotDecimal();
    void modeAndPolarity_data();
    void modeAndPolarity();
};

void ModuleScanTest::firstRunTriesEveryPortAtTheDefault()
{
    WorkflowBench bench;
    SimulatedModule &com1 = bench.ports.addSilentPort(1);
    SimulatedModule &com5 = bench.ports.addSilentPort(5);
    SimulatedModule &com16 = bench.ports.addSilentPort(16);
    QCOMPARE(bench.state.ScanCommNo, 0);

    ScanModule(bench.context);

    for (const SimulatedModule *silent : {&com1, &com5, &com16})
        QCOMPARE(WorkflowBench::requestSettings(*silent), times(2, "19200,e,8,1"));
    // Only the ports that opened were announced.
    QCOMPARE(bench.window.messages,
             (QStringList{"Scan Module ....", "Scan COM : #1", "Scan COM : #5", "Scan COM : #16",
                          "Module Not Find"}));
    QCOMPARE(bench.window.baudSelections.mid(0, 16), QList<int>(16, 5));
    QCOMPARE(bench.window.baudIndex, 5);
    QCOMPARE(bench.window.lamp, LampColour::Red);
    QVERIFY(bench.window.events.contains("tone 300 300"));
    QVERIFY(!bench.state.ModuleFound);
    QVERIFY(!QFile::exists(bench.settingsPath()));
    // Busy mode is over, the tone follows the outcome, the cursor comes back last.
    const QStringList &events = bench.window.events;
    QVERIFY(events.indexOf("busy off") < events.indexOf("lamp red"));
    QVERIFY(events.indexOf("message Module Not Find") < events.indexOf("tone 300 300"));
    QCOMPARE(events.last(), QStringLiteral("hourglass off"));
    QVERIFY(!bench.window.busy && !bench.window.hourglass);
}

void ModuleScanTest::lockedSearchKeepsToTheRememberedIndex()
{
    WorkflowBench bench;
    bench.state.ScanBaudRateNo = 7;
    SimulatedModule &com2 = bench.ports.addSilentPort(2);
    SimulatedModule &com9 = bench.ports.addSilentPort(9);
    ScanModule(bench.context);
    QCOMPARE(WorkflowBench::requestSettings(com2), times(2, "38400,e,8,1"));
    QCOMPARE(WorkflowBench::requestSettings(com9), times(2, "38400,e,8,1"));
    // The list shows index 7 throughout, and the default once nothing was found.
    QCOMPARE(bench.window.baudSelections.size(), 17);
    QCOMPARE(bench.window.baudSelections.mid(0, 16), QList<int>(16, 7));
    QCOMPARE(bench.window.baudSelections.last(), 5);
    QCOMPARE(bench.state.ScanBaudRateNo, 7);
}

void ModuleScanTest::lockedSearchWithAnIndexOutsideTheList_data()
{
    QTest::addColumn<int>("storedIndex");
    QTest::addColumn<QString>("storedMode");
    QTest::addColumn<int>("tried");
    QTest::newRow("index 42, mode string of the list") << 42 << "38400,e,8,1" << 7;
    QTest::newRow("index -1, mode string of the list") << -1 << "9600,n,8,1" << 2;
    QTest::newRow("index 12, mode string not of the list") << 12 << "38400,o,8,1" << 5;
}

void ModuleScanTest::lockedSearchWithAnIndexOutsideTheList()
{
    // The list and the locked search follow one rule: the list never jumps.
    QFETCH(int, storedIndex);
    QFETCH(QString, storedMode);
    QFETCH(int, tried);
    WorkflowBench bench;
    bench.state.ScanBaudRateNo = storedIndex;
    bench.state.ScanBaudRate = storedMode;
    SimulatedModule &module = bench.ports.addModule(6, tried);
    ScanModule(bench.context);
    QVERIFY(bench.state.ModuleFound);
    QCOMPARE(WorkflowBench::requestSettings(module).first(), BaudRateModes().at(tried));
    QCOMPARE(bench.window.baudSelections, QList<int>(bench.window.baudSelections.size(), tried));
    QCOMPARE(bench.state.ScanBaudRateNo, tried);
    QCOMPARE(bench.storedState().ScanBaudRateNo, tried);
}

void ModuleScanTest::unlockedSearchTriesEverySetting()
{
    WorkflowBench bench;
    bench.window.locked = false;
    SimulatedModule &com1 = bench.ports.addSilentPort(1);
    SimulatedModule &module = bench.ports.addModule(2, 3);

    ScanModule(bench.context);

    QStringList everySetting;
    for (const QString &mode : BaudRateModes())
        everySetting << mode << mode;
    QCOMPARE(WorkflowBench::requestSettings(com1), everySetting);
    QCOMPARE(WorkflowBench::requestSettings(module).mid(0, 7), everySetting.mid(0, 7));
    QCOMPARE(WorkflowBench::requestSettings(module).at(6), QStringLiteral("9600,e,8,1"));

    QCOMPARE(bench.state.ScanCommNo, 2);
    QCOMPARE(bench.state.ScanBaudRateNo, 3);
    QCOMPARE(bench.state.ScanBaudRate, QStringLiteral("9600,e,8,1"));
    const SharedState stored = bench.storedState();
    QCOMPARE(stored.ScanCommNo, 2);
    QCOMPARE(stored.ScanBaudRateNo, 3);
    QCOMPARE(stored.ScanBaudRate, QStringLiteral("9600,e,8,1"));
    // Stored at the moment of the answer: before the module was asked its version.
    const QDateTime storedAt = QFileInfo(bench.settingsPath()).lastModified();
    const qint64 versionAsked = heardAtMicros(module, "B00V");
    QVERIFY(versionAsked > 0);
    QVERIFY(monotonicMicrosOf(storedAt) <= versionAsked);

    QVERIFY(bench.state.ModuleFound);
    QCOMPARE(bench.window.message, QStringLiteral("Get Module Info Ok. (COM : #2)"));
    QCOMPARE(bench.window.lamp, LampColour::Yellow);
    QVERIFY(bench.window.events.contains("tone 1000 300"));
    QCOMPARE(bench.window.baudIndex, 3);
    QCOMPARE(bench.window.serial, QStringLiteral("S/N : TX040001"));
    QCOMPARE(bench.window.version, QStringLiteral("VER : 01.05-03"));
    QCOMPARE(bench.window.idPanel, QStringLiteral("01"));
}

void ModuleScanTest::findAtTheRememberedPlaceWritesNothing()
{
    WorkflowBench bench;
    // Remembered by an earlier run; a baud-rate change of this run may have moved the
    // setting in use since, and that is not stored either.
    bench.remember(4, 5, QStringLiteral("19200,e,8,1"));
    bench.state.ScanBaudRateNo = 9;
    bench.state.ScanBaudRate = QStringLiteral("57600,e,8,1");
    SimulatedModule &module = bench.ports.addModule(4, 9);
    QFile file(bench.settingsPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    const QDateTime modified = QFileInfo(file).lastModified();

    ScanModule(bench.context);

    QVERIFY(bench.state.ModuleFound);
    QCOMPARE(module.heardCommands().first(), QByteArray("B00B"));
    QCOMPARE(bench.window.messages.at(1), QStringLiteral("Scan COM : #4"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    QCOMPARE(QFileInfo(file).lastModified(), modified);
    QCOMPARE(bench.state.ScanBaudRateNo, 9);
}

void ModuleScanTest::rememberedPlaceFailsButTheSearchFindsIt()
{
    WorkflowBench bench;
    // The stored index and mode string disagree: the remembered place is tried with the
    // mode string, the locked search with the index.
    bench.remember(3, 7, QStringLiteral("19200,e,8,1"));
    SimulatedModule &module = bench.ports.addModule(3, 7);

    ScanModule(bench.context);

    QStringList expected = times(3, "19200,e,8,1");
    expected << "38400,e,8,1";
    QCOMPARE(WorkflowBench::requestSettings(module).mid(0, 4), expected);
    QVERIFY(bench.state.ModuleFound);
    QCOMPARE(bench.storedState().ScanBaudRate, QStringLiteral("38400,e,8,1"));
    QCOMPARE(bench.window.messages.mid(0, 3),
             (QStringList{"Scan Module ....", "Scan COM : #3", "Scan COM : #3"}));
}

void ModuleScanTest::noPortOpens()
{
    WorkflowBench bench;
    QVERIFY(QDir().mkpath(bench.ports.portsFolder()));
    bench.remember(5, 5, QStringLiteral("19200,e,8,1"));
    ScanModule(bench.context);
    QCOMPARE(bench.window.messages, (QStringList{"Scan Module ....", "Module Not Find"}));
    QCOMPARE(bench.storedState().ScanCommNo, 5);
}

void ModuleScanTest::notFoundSaysWhichPortsWouldNotOpen()
{
    // COM2 names a regular file, COM6 a folder; the other numbers name nothing and
    // are not worth a word.
    WorkflowBench bench;
    const QString folder = bench.ports.portsFolder();
    QFile file(bench.ports.configFolder() + QStringLiteral("/notes.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(file.fileName(), folder + QStringLiteral("/COM2")));
    QVERIFY(QFile::link(bench.ports.configFolder(), folder + QStringLiteral("/COM6")));
    ScanModule(bench.context);
    QCOMPARE(bench.window.message, QStringLiteral("Module Not Find"));
    QCOMPARE(
        bench.window.explanation.split(u'\n'),
        (QStringList{QStringLiteral("COM2 (%1): not a terminal").arg(file.fileName()),
                     QStringLiteral("COM6 (%1): not a terminal").arg(bench.ports.configFolder())}));
}

void ModuleScanTest::notFoundInAnEmptyPortsFolder()
{
    WorkflowBench bench;
    ScanModule(bench.context);
    QCOMPARE(bench.window.message, QStringLiteral("Module Not Find"));
    QVERIFY2(bench.window.explanation.contains(bench.ports.portsFolder() +
                                               QStringLiteral(" exists but names no COM port")),
             qPrintable(bench.window.explanation));
}

void ModuleScanTest::rememberedPlacePastTheSearch_data()
{
    QTest::addColumn<bool>("moduleThere");
    QTest::newRow("module on COM17") << true;
    QTest::newRow("nothing on COM17") << false;
}

void ModuleScanTest::rememberedPlacePastTheSearch()
{
    // A ports folder may name COM17 and higher; the search still covers COM1 to COM16.
    QFETCH(bool, moduleThere);
    WorkflowBench bench;
    bench.remember(17, 5, QStringLiteral("19200,e,8,1"));
    if (moduleThere)
        bench.ports.addModule(17, 5);
    else
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("COM17 cannot be opened"));
    bench.ports.addSilentPort(1);
    ScanModule(bench.context);
    QCOMPARE(bench.state.ModuleFound, moduleThere);
    QCOMPARE(bench.window.messages.at(1),
             moduleThere ? QStringLiteral("Scan COM : #17") : QStringLiteral("Scan COM : #1"));
    QCOMPARE(bench.window.messages.last(), moduleThere
                                               ? QStringLiteral("Get Module Info Ok. (COM : #17)")
                                               : QStringLiteral("Module Not Find"));
    QCOMPARE(bench.storedState().ScanCommNo, 17);
}

void ModuleScanTest::wrongLengthIsNoAnswer()
{
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(2);
    module.addFault(Fault{FaultKind::WrongLength, "B00B", Fault::Always, 1, {}});
    ScanModule(bench.context);
    QCOMPARE(module.heardCommands(), QList<QByteArray>(2, "B00B"));
    QCOMPARE(bench.window.message, QStringLiteral("Module Not Find"));
}

void ModuleScanTest::settingTheDriverIgnoresIsNoAnswer()
{
    // An adapter whose driver takes even parity without a word and keeps none: the module,
    // at 9600,e,8,1, is never heard, but the search goes on through the settings without
    // parity, and the ending says why.
    WorkflowBench bench;
    bench.window.locked = false;
    SimConfig config;
    config.portNumber = 4;
    config.state.settingIndex = 3;
    config.refusesParity = true;
    SimulatedModule &module = bench.ports.addModule(config);

    ScanModule(bench.context);

    QCOMPARE(bench.window.message, QStringLiteral("Module Not Find"));
    QCOMPARE(bench.window.explanation,
             QStringLiteral("COM4 (%1): the driver did not accept even parity")
                 .arg(module.devicePath()));
    // Nothing went out at a setting the driver did not take.
    QStringList withoutParity;
    for (int index = 0; index < BaudRateModeCount; index += 2)
        withoutParity << BaudRateModes().at(index) << BaudRateModes().at(index);
    QCOMPARE(WorkflowBench::requestSettings(module), withoutParity);
}

void ModuleScanTest::informationRead_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QList<QByteArray>>("heard"); // after the search's "B00B"
    QTest::addColumn<QString>("version");
    QTest::newRow("all answered") << "" << true << QList<QByteArray>{"B00V", "B00G", "B00A"}
                                  << "VER : 01.05-03";
    QTest::newRow("version missing once")
        << "no-reply@B00V*1" << true << QList<QByteArray>{"B00V", "B00G", "B00A"}
        << "VER : 01.05-03";
    QTest::newRow("version missing twice")
        << "no-reply@B00V*2" << false << QList<QByteArray>{} << "VER : __.__-__";
    QTest::newRow("mode fails: no second try")
        << "no-reply@B00G*1" << false << QList<QByteArray>{"B00V"} << "VER : 01.05-03";
    QTest::newRow("polarity fails: no second try")
        << "bad-checksum@B00A*1" << false << QList<QByteArray>{"B00V", "B00G", "B00A"}
        << "VER : 01.05-03";
}

void ModuleScanTest::informationRead()
{
    QFETCH(QString, fault);
    QFETCH(bool, found);
    QFETCH(QList<QByteArray>, heard);
    QFETCH(QString, version);
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(7);
    if (!fault.isEmpty())
        module.addFault(*ParseFault(fault));

    ScanModule(bench.context);

    QCOMPARE(module.heardCommands(), QList<QByteArray>{"B00B"} + heard);
    QCOMPARE(bench.state.ModuleFound, found);
    QCOMPARE(bench.window.message, found ? QStringLiteral("Get Module Info Ok. (COM : #7)")
                                         : QStringLiteral("Get Module Info Error. (COM : #7)"));
    QCOMPARE(bench.window.lamp, found ? LampColour::Yellow : LampColour::Red);
    QVERIFY(bench.window.events.contains(found ? "tone 1000 300" : "tone 300 300"));
    // What was read stays on the window, whatever the outcome.
    QCOMPARE(bench.window.serial, QStringLiteral("S/N : TX040001"));
    QCOMPARE(bench.window.idPanel, QStringLiteral("01"));
    QCOMPARE(bench.window.version, version);
    // The search found it, so its place is stored whatever the information read brought.
    QCOMPARE(bench.storedState().ScanCommNo, 7);
}

void ModuleScanTest::moduleIdAndScrollBar_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<int>("positionBefore");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("panel");
    QTest::newRow("07") << QByteArray("07") << 1 << 7 << "07";
    QTest::newRow("99") << QByteArray("99") << 1 << 99 << "99";
    QTest::newRow("00, scroll bar already at 1") << QByteArray("00") << 1 << 1 << "00";
    QTest::newRow("00, scroll bar elsewhere") << QByteArray("00") << 50 << 1 << "01";
    QTest::newRow("the position it already has") << QByteArray("42") << 42 << 42 << "42";
}

void ModuleScanTest::moduleIdAndScrollBar()
{
    QFETCH(QByteArray, id);
    QFETCH(int, positionBefore);
    QFETCH(int, position);
    QFETCH(QString, panel);
    WorkflowBench bench;
    ModuleState state;
    state.id = id;
    bench.ports.addModule(1, 5, state);
    bench.window.idPosition = positionBefore;
    ScanModule(bench.context);
    QVERIFY(bench.state.ModuleFound);
    QCOMPARE(bench.window.idPosition, position);
    QCOMPARE(bench.window.idPanel, panel);
}

void ModuleScanTest::idThatIsNotDecimal()
{
    WorkflowBench bench;
    ModuleState state;
    state.id = "1A";
    SimulatedModule &module = bench.ports.addModule(3, 5, state);
    ScanModule(bench.context);
    QVERIFY(!bench.state.ModuleFound);
    QCOMPARE(module.heardCommands(), QList<QByteArray>{"B00B"});
    QCOMPARE(bench.window.message, QStringLiteral("Get Module Info Error. (COM : #3)"));
    QCOMPARE(bench.window.lamp, LampColour::Red);
    QVERIFY(bench.window.events.contains("tone 300 300"));
    QVERIFY(!bench.window.busy && !bench.window.hourglass);
}

void ModuleScanTest::modeAndPolarity_data()
{
    QTest::addColumn<bool>("hold");
    QTest::addColumn<QByteArray>("polarity");
    QTest::addColumn<int>("modeIndex");
    QTest::addColumn<FourFlags>("boxes");
    QTest::newRow("Hold, DI1 and DI3")
        << true << QByteArray("1010") << 0 << FourFlags{true, false, true, false};
    QTest::newRow("Normal, DI4") << false << QByteArray("0001") << 1
                                 << FourFlags{false, false, false, true};
}

void ModuleScanTest::modeAndPolarity()
{
    QFETCH(bool, hold);
    QFETCH(QByteArray, polarity);
    QFETCH(int, modeIndex);
    QFETCH(FourFlags, boxes);
    WorkflowBench bench;
    ModuleState state;
    state.holdMode = hold;
    state.polarity = polarity + QByteArray(12, '0');
    bench.ports.addModule(2, 5, state);
    bench.window.mode = 1 - modeIndex;
    bench.window.polarityBoxes = {!boxes[0], !boxes[1], !boxes[2], !boxes[3]};
    ScanModule(bench.context);
    QCOMPARE(bench.window.mode, modeIndex);
    QCOMPARE(bench.window.polarityBoxes, boxes);
}

QTEST_GUILESS_MAIN(ModuleScanTest)
#include "test_module_scan.moc"
