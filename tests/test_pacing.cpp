// The pauses each workflow makes between its requests, which the module needs to take
// them: every pause of the workflows is written into the frame log beside the frames,
// so the log shows each pause's length in its place, whatever the machine's load.

#include "frame_trace.h"
#include "module_identity.h"
#include "module_mode.h"
#include "module_scan.h"
#include "workflow_bench.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Workflow = WorkResult (*)(WorkflowContext &);

// The link's own services, with each workflow pause noted in the frame log. The link's
// pauses after each written byte and block (a few milliseconds) are left out.
LinkServices notingPauses(const QString &logPath)
{
    LinkServices services = LinkServices::system();
    QString error;
    services.trace = FrameTrace::open(logPath, error);
    const std::function<void(int)> sleep = services.sleepMs;
    const std::shared_ptr<FrameTrace> trace = services.trace;
    services.sleepMs = [sleep, trace](int ms) {
        constexpr int LinkPausesBelowMs = 10;
        if (trace && ms >= LinkPausesBelowMs)
            trace->writeLine("pause " + QByteArray::number(ms));
        sleep(ms);
    };
    return services;
}

// "B00B 100 B00V": the requests sent (their command text) and the pauses, in order.
QString requestsAndPauses(const QString &logPath)
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return QStringLiteral("no frame log");
    QStringList seen;
    for (const QByteArray &line : log.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.value(0) == "pause") {
            seen << QString::fromLatin1(fields.value(1));
        } else if (fields.value(3) == "tx") {
            // "\tB00V4A\r" as the log writes it: a tab, the command, two digits, a return.
            const QByteArray text = fields.value(4);
            seen << QString::fromLatin1(text.mid(2, text.size() - 6));
        }
    }
    return seen.join(u' ');
}

} // namespace

class PacingTest : public QObject
{
    Q_OBJECT

private slots:
    void pausesBetweenRequests_data();
    void pausesBetweenRequests();
};

void PacingTest::pausesBetweenRequests_data()
{
    QTest::addColumn<Workflow>("workflow");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("expected");
    QTest::newRow("scan at the remembered place")
        << Workflow(ScanModule) << QString() << "B00B 100 B00V 100 B00G 100 B00A";
    QTest::newRow("scan whose version is missed once")
        << Workflow(ScanModule) << "no-reply@B00V"
        << "B00B 100 B00V 100 B00V 100 B00G 100 B00A";
    QTest::newRow("set ID") << Workflow(SetModuleId) << QString() << "100 B00B 100 B00CTX04000107";
    QTest::newRow("set ID whose first identity is missed")
        << Workflow(SetModuleId) << "no-reply@B00B"
        << "100 B00B 100 B00B 100 B00CTX04000107";
    QTest::newRow("set setting") << Workflow(SetModuleBaudRate) << QString()
                                 << "100 B00B 100 B00E7";
    QTest::newRow("set mode") << Workflow(SetModuleMode) << QString()
                              << "100 B00B 100 B00GS 100 B00A0000000000000000";
    QTest::newRow("factory default")
        << Workflow(SetFactoryDefault) << QString()
        << "100 B00B 100 B00CTX04000101 100 B00A0000000000000000 100 B00GH 100 B00E5";
}

void PacingTest::pausesBetweenRequests()
{
    QFETCH(Workflow, workflow);
    QFETCH(QString, fault);
    QFETCH(QString, expected);
    const QTemporaryDir logFolder;
    const QString logPath = logFolder.filePath(QStringLiteral("frames.log"));
    WorkflowBench bench(notingPauses(logPath));
    SimulatedModule &module = bench.ports.addModule(3, 5, ModuleWithSerial("TX040001"));
    bench.remember(3, 5, QStringLiteral("19200,e,8,1"));
    bench.foundAt(3, 5);
    bench.window.idPanel = QStringLiteral("07");
    bench.window.baudIndex = 7;
    bench.window.mode = 1;
    if (!fault.isEmpty())
        module.addFault(*ParseFault(fault));

    const WorkResult result = workflow(bench.context);
    QCOMPARE(int(result.outcome), int(Outcome::Success));
    QCOMPARE(requestsAndPauses(logPath), expected);
}

QTEST_GUILESS_MAIN(PacingTest)
#include "test_pacing.moc"
