// What each workflow returns: the outcome, the message it ended with, the module's facts,
// whether a port opened, and each reason with its kind. A row per way of ending.

#include "live_io.h"
#include "module_apply.h"
#include "module_identity.h"
#include "module_scan.h"
#include "workflow_bench.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>

namespace {

QList<Reason::Kind> kindsOf(const WorkResult &result)
{
    QList<Reason::Kind> kinds;
    for (const Reason &reason : result.reasons)
        kinds << reason.kind;
    return kinds;
}

// A window on which the adapter is pulled out as the n-th setting operation begins,
// between one exchange and the next.
class PulledOutAtOperation : public RecordingWindow
{
public:
    PulledOutAtOperation(WorkflowBench &bench, SimulatedModule &module, int operation)
        : RecordingWindow(bench.state, bench.messages), m_module(module), m_left(operation)
    {}

    void setActivity(Activity next) override
    {
        if (next == Activity::Operation && --m_left == 0) {
            m_module.hangUp();
            QElapsedTimer waited;
            waited.start();
            while (!gone() && waited.elapsed() < 2000)
                QThread::msleep(5);
        }
        RecordingWindow::setActivity(next);
    }

private:
    bool gone() const
    {
        for (const TraceEntry &entry : m_module.trace()) {
            if (entry.event == u"hang-up")
                return true;
        }
        return false;
    }

    SimulatedModule &m_module;
    int m_left;
};

} // namespace

class WorkResultsTest : public QObject
{
    Q_OBJECT

private slots:
    void endings_data();
    void endings();
    void scanTellsTheModule();
    void applyWhoseReadBackFindsNoPort();
};

void WorkResultsTest::endings_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("messageRow");
    QTest::addColumn<bool>("portOpened");
    QTest::addColumn<QList<Reason::Kind>>("reasons");
    using K = Reason::Kind;
    QTest::newRow("set ID: done") << "set id" << int(Outcome::Success)
                                  << int(MessageRow::SetModuleIdOk) << true << QList<K>{};
    QTest::newRow("set ID before a scan: refused")
        << "before scan" << int(Outcome::Refusal) << int(MessageRow::StartScanModule) << false
        << QList<K>{};
    QTest::newRow("set ID where the port is a file: not opened")
        << "no port" << int(Outcome::Failure) << int(MessageRow::SetModuleIdError) << false
        << QList<K>{K::PortNotOpened};
    QTest::newRow("set ID as the adapter is pulled out: gone")
        << "gone" << int(Outcome::Failure) << int(MessageRow::SetModuleIdError) << true
        << QList<K>{K::DeviceGone};
    QTest::newRow("set ID where the driver keeps no parity: refused setting")
        << "no parity" << int(Outcome::Failure) << int(MessageRow::SetModuleIdError) << true
        << QList<K>{K::SettingRefused};
    QTest::newRow("set ID that the module says no to")
        << "no" << int(Outcome::Failure) << int(MessageRow::SetModuleIdError) << true
        << QList<K>{K::ModuleRejected};
    QTest::newRow("scan whose find cannot be stored: done all the same")
        << "unsaved" << int(Outcome::Success) << int(MessageRow::GetModuleInfoOk) << true
        << QList<K>{K::SaveFailed};
    QTest::newRow("live loop ended by the operator: stopped")
        << "live" << int(Outcome::Stopped) << -1 << true << QList<K>{};
}

void WorkResultsTest::endings()
{
    QFETCH(QString, how);
    QFETCH(int, outcome);
    QFETCH(int, messageRow);
    QFETCH(bool, portOpened);
    QFETCH(QList<Reason::Kind>, reasons);
    WorkflowBench bench;
    SimConfig config;
    config.portNumber = 3;
    config.state.settingIndex = 5; // 19200,e,8,1
    config.refusesParity = how == u"no parity";
    SimulatedModule &module = bench.ports.addModule(config);
    bench.foundAt(3, 5);
    bench.window.idPanel = QStringLiteral("07");
    if (how == u"before scan")
        bench.state.ModuleFound = false;
    if (how == u"no port")
        bench.state.ScanCommNo = 9;
    if (how == u"gone")
        module.addFault(*ParseFault(QStringLiteral("hang-up@B00C")));
    if (how == u"no") // "?01C"
        module.addFault(*ParseFault(QStringLiteral("raw=0a3f30314337370d@B00C*always")));

    WorkResult result;
    if (how == u"unsaved") {
        // A folder stands where the settings file goes.
        QVERIFY(QDir().mkpath(bench.settingsPath()));
        bench.state.ScanCommNo = 0;
        result = ScanModule(bench.context);
    } else if (how == u"live") {
        QTimer::singleShot(200, [&] { ProcessModule(bench.context); });
        result = ProcessModule(bench.context);
    } else {
        result = SetModuleId(bench.context);
    }

    QCOMPARE(int(result.outcome), outcome);
    QCOMPARE(result.messageRow, messageRow);
    if (messageRow >= 0)
        QVERIFY2(result.message.startsWith(bench.messages.text(messageRow, 0)),
                 qPrintable(result.message));
    QCOMPARE(result.portOpened, portOpened);
    QCOMPARE(kindsOf(result), reasons);
    // The window's tooltip says the same reasons.
    QCOMPARE(bench.window.explanation, result.explanation());
}

void WorkResultsTest::scanTellsTheModule()
{
    WorkflowBench bench;
    ModuleState state = ModuleWithSerial("AB123456");
    state.id = "23";
    state.version = "02.10-07";
    state.holdMode = false;
    state.polarity = "0110" + QByteArray(12, '0');
    SimulatedModule &module = bench.ports.addModule(4, 7, state);
    bench.window.locked = false;

    const WorkResult result = ScanModule(bench.context);

    QCOMPARE(int(result.outcome), int(Outcome::Success));
    QCOMPARE(result.message, QStringLiteral("Get Module Info Ok. (COM : #4)"));
    const ModuleFacts &facts = result.facts;
    QCOMPARE(facts.port, 4);
    QCOMPARE(facts.device, module.devicePath());
    QCOMPARE(facts.setting, QStringLiteral("38400,e,8,1"));
    QCOMPARE(facts.id, QStringLiteral("23"));
    QCOMPARE(facts.serialNo, QStringLiteral("AB123456"));
    QCOMPARE(facts.version, QStringLiteral("02.10-07"));
    QCOMPARE(facts.mode, std::optional<OutputMode>(OutputMode::Normal));
    QCOMPARE(facts.polarity, std::optional<FourFlags>(FourFlags{false, true, true, false}));
}

void WorkResultsTest::applyWhoseReadBackFindsNoPort()
{
    // The new ID is acknowledged, and the adapter is pulled out before it is read back:
    // a port did open, and the one that did not says why.
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(3, 5);
    bench.remember(3, 5, QStringLiteral("19200,e,8,1"));
    const WorkResult found = ScanModule(bench.context);
    QCOMPARE(int(found.outcome), int(Outcome::Success));
    PulledOutAtOperation window(bench, module, 2);
    WorkflowContext context = bench.workflows.contextFor(window);
    WantedConfiguration wanted;
    wanted.id = QStringLiteral("09");

    const ApplyResult result = ApplyConfiguration(context, found.facts, wanted);
    QCOMPARE(int(result.work.outcome), int(Outcome::Failure));
    QVERIFY(result.sentAnything);
    QVERIFY(result.work.portOpened);
    QCOMPARE(kindsOf(result.work).first(), Reason::Kind::PortNotOpened);
    QVERIFY2(result.work.reasons.first().text.contains(QStringLiteral("COM3")),
             qPrintable(result.work.reasons.first().text));
    QCOMPARE(module.state().id, QByteArray("09"));
}

QTEST_GUILESS_MAIN(WorkResultsTest)
#include "test_work_results.moc"
