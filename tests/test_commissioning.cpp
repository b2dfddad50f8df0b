// Commissioning from the terminal: tx4040 apply and tx4040 provision, run as programs
// against simulated modules.

#include "baud_rate_modes.h"
#include "command_set.h"
#include "frame_checksum.h"
#include "program_run.h"
#include "simulated_ports.h"
#include "stored_settings.h"
#include "unique_fd.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int Port = 3;
const QString Plant = QStringLiteral("9600,n,8,1");

ProgramRun tx4040(const QStringList &arguments)
{
    return RunProgram(QStringLiteral("tx4040"), arguments);
}

// Where a scan found the module: COM3, at the factory setting unless told.
void scanOnce(int settingIndex = DefaultBaudRateIndex, int port = Port)
{
    SharedState place;
    place.ScanCommNo = port;
    place.ScanBaudRateNo = settingIndex;
    place.ScanBaudRate = BaudRateModes().at(settingIndex);
    StoredSettings().SaveScanSettings(place);
}

// Takes the module off the line and waits until the run has seen it go: its presence
// asked after three times, and the search for the next begun.
void takeOff(SimulatedModule &module)
{
    module.clearTrace();
    module.takeAway();
    const auto unanswered = [&] {
        int count = 0;
        for (const TraceEntry &entry : module.trace())
            count += entry.event == u"rx-ignored" ? 1 : 0;
        return count;
    };
    QTRY_VERIFY_WITH_TIMEOUT(unanswered() > 3, 10000);
}

// "42 9600,n,8,1 hold 0101": ID, setting, mode and input polarity.
QString summary(const ModuleState &module)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(QString::fromLatin1(module.id), BaudRateModes().at(module.settingIndex),
             module.holdMode ? QStringLiteral("hold") : QStringLiteral("normal"),
             QString::fromLatin1(module.polarity.left(4)));
}

QString storedSetting()
{
    SharedState stored;
    StoredSettings().LoadSettings(stored);
    return stored.ScanBaudRate;
}

// The commands heard that set something in the module.
QList<QByteArray> settingCommandsHeard(const SimulatedModule &module)
{
    QList<QByteArray> setting;
    for (const QByteArray &command : module.heardCommands()) {
        if (IsSettingCommand(command))
            setting << command;
    }
    return setting;
}

// tx4040 provision on the bench's port, logging to `log`, with these options more.
void startProvision(QProcess &provision, const QString &log, const QStringList &options)
{
    StartProgram(provision, QStringLiteral("tx4040"),
                 QStringList{QStringLiteral("provision"), QStringLiteral("-p"),
                             QString::number(Port), QStringLiteral("--log"), log} +
                     options);
}

// Whether the frame log's last opening of a port carried a request before its close.
bool lastOpeningSentAFrame(const QString &trace)
{
    QFile file(trace);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool sent = false;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 4)
            continue;
        if (fields.at(3) == "open")
            sent = false;
        else if (fields.at(3) == "tx")
            sent = true;
    }
    return sent;
}

QString writeFile(const QTemporaryDir &folder, const QByteArray &text)
{
    const QString path = folder.filePath(QStringLiteral("wanted.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    return path;
}

} // namespace

class CommissioningTest : public QObject
{
    Q_OBJECT

private slots:
    void applyGivesAndReadsBack_data();
    void applyGivesAndReadsBack();
    void applyRestoresWhatInfoSaved();
    void badInputSendsNothing_data();
    void badInputSendsNothing();
    void moduleThatDoesNotDoIt_data();
    void moduleThatDoesNotDoIt();
    void anotherModuleAnsweringIsNoReadBack();
    void provisionModuleAfterModule();
    void provisionStoppedWithAModuleInHand();
    void provisionKeepsToTheBenchPort();
    void provisionWithoutABenchPort();
    void provisionOnATerminalSaysWhatItWaitsFor();
    void provisionLogsWhatFailed_data();
    void provisionLogsWhatFailed();
};

void CommissioningTest::applyGivesAndReadsBack_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("after");
    // The values told, in the order they were sent.
    QTest::addColumn<QString>("told");

    const QStringList all{QStringLiteral("--id"),          QStringLiteral("7"),
                          QStringLiteral("--new-setting"), Plant,
                          QStringLiteral("--mode"),        QStringLiteral("normal"),
                          QStringLiteral("--polarity"),    QStringLiteral("0101")};
    QTest::newRow("options") << QByteArray() << all << QStringLiteral("07 9600,n,8,1 normal 0101")
                             << QStringLiteral("id mode polarity setting");
    QTest::newRow("module object")
        << QByteArray(R"({"id": "07", "setting": "9600,n,8,1", "mode": "normal",
                         "polarity": "0101", "serial": "ignored", "port": 9})")
        << QStringList{} << QStringLiteral("07 9600,n,8,1 normal 0101")
        << QStringLiteral("id mode polarity setting");
    QTest::newRow("scan report, options win")
        << QByteArray(R"({"found": true, "modules": [{"id": "07", "mode": "normal"}]})")
        << QStringList{QStringLiteral("--id"), QStringLiteral("12")}
        << QStringLiteral("12 19200,e,8,1 normal 0000") << QStringLiteral("id mode");
    QTest::newRow("polarity alone goes with the mode as it is")
        << QByteArray() << QStringList{QStringLiteral("--polarity"), QStringLiteral("1000")}
        << QStringLiteral("01 19200,e,8,1 hold 1000") << QStringLiteral("polarity");
}

void CommissioningTest::applyGivesAndReadsBack()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, options);
    QFETCH(QString, after);
    QFETCH(QString, told);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    scanOnce();
    QTemporaryDir folder;
    QStringList arguments{QStringLiteral("apply")};
    if (!file.isEmpty())
        arguments << writeFile(folder, file);

    const ProgramRun first = tx4040(arguments + options);
    QVERIFY2(first.exitCode == 0, first.errors.constData());
    QCOMPARE(summary(module.state()), after);
    QStringList toldNames;
    for (const QByteArray &line : first.output.trimmed().split('\n')) {
        QVERIFY2(line.endsWith(" verified"), line.constData());
        toldNames << QString::fromUtf8(line.left(line.indexOf(':')));
    }
    QCOMPARE(toldNames.join(u' '), told);
    // The remembered place follows the module's setting.
    QCOMPARE(storedSetting(), after.section(u' ', 1, 1));

    // Again: everything is as wanted, so nothing is set.
    module.clearTrace();
    const ProgramRun again = tx4040(arguments + options + QStringList{QStringLiteral("--json")});
    QCOMPARE(again.exitCode, 0);
    QCOMPARE(settingCommandsHeard(module), QList<QByteArray>{});
    const QJsonObject report = QJsonDocument::fromJson(again.output).object();
    QCOMPARE(report.value(QStringLiteral("sent")).toBool(true), false);
    QCOMPARE(report.value(QStringLiteral("verified")).toBool(), true);
    for (const QJsonValue value : report.value(QStringLiteral("values")).toObject())
        QCOMPARE(value.toObject().value(QStringLiteral("result")).toString(),
                 QStringLiteral("unchanged"));
}

void CommissioningTest::applyRestoresWhatInfoSaved()
{
    SimulatedPorts ports;
    ModuleState configured;
    configured.id = "42";
    configured.holdMode = false;
    configured.polarity = "0110" + QByteArray(12, '0');
    SimulatedModule &module = ports.addModule(Port, 2, configured);
    const QString before = summary(module.state());
    scanOnce(2);
    const ProgramRun saved = tx4040({QStringLiteral("info"), QStringLiteral("--json")});
    QCOMPARE(saved.exitCode, 0);
    QVERIFY(tx4040({QStringLiteral("factory")}).exitCode == 0);
    QCOMPARE(summary(module.state()), QStringLiteral("01 19200,e,8,1 hold 0000"));

    QProcess apply;
    StartProgram(apply, QStringLiteral("tx4040"), {QStringLiteral("apply"), QStringLiteral("-")});
    apply.write(saved.output);
    apply.closeWriteChannel();
    QVERIFY(apply.waitForFinished(30000));
    QVERIFY2(apply.exitCode() == 0, apply.readAllStandardError().constData());
    QCOMPARE(summary(module.state()), before);
    // The line setting goes last: it moves the line.
    QCOMPARE(settingCommandsHeard(module).constLast().left(4), QByteArray("B00E"));
}

void CommissioningTest::badInputSendsNothing_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("error");

    QTest::newRow("not JSON") << QByteArray("{\"id\": ") << QStringList{} << QByteArray("not JSON");
    QTest::newRow("unknown mode") << QByteArray(R"({"mode": "toggle"})") << QStringList{}
                                  << QByteArray("\"mode\"");
    QTest::newRow("ID out of range")
        << QByteArray(R"({"id": 100})") << QStringList{} << QByteArray("\"id\"");
    QTest::newRow("report of two modules")
        << QByteArray(R"({"modules": [{"id": "02"}, {"id": "03"}]})") << QStringList{}
        << QByteArray("2 modules");
    QTest::newRow("empty object") << QByteArray("{}") << QStringList{}
                                  << QByteArray("nothing to apply");
    QTest::newRow("no want at all")
        << QByteArray() << QStringList{} << QByteArray("nothing to apply");
    QTest::newRow("unknown setting in an option")
        << QByteArray(R"({"id": "05"})")
        << QStringList{QStringLiteral("--new-setting"), QStringLiteral("300,n,8,1")}
        << QByteArray("--new-setting");
}

void CommissioningTest::badInputSendsNothing()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, error);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    scanOnce();
    module.clearTrace();
    QTemporaryDir folder;
    QStringList arguments{QStringLiteral("apply")};
    if (!file.isEmpty())
        arguments << writeFile(folder, file);

    const ProgramRun run = tx4040(arguments + options);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.errors.contains(error), run.errors.constData());
    QCOMPARE(module.heardCommands(), QList<QByteArray>{});
}

void CommissioningTest::moduleThatDoesNotDoIt_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("ID acknowledged, not done")
        << QStringLiteral("pretend@B00C")
        << QStringList{QStringLiteral("--id"), QStringLiteral("9")}
        << QByteArray("id: 01 -> 01 failed (wanted 09)\n");
    QTest::newRow("mode acknowledged, not done")
        << QStringLiteral("pretend@B00GS")
        << QStringList{QStringLiteral("--mode"), QStringLiteral("normal")}
        << QByteArray("mode: hold -> hold failed (wanted normal)\n");
    QTest::newRow("setting acknowledged, module stays")
        << QStringLiteral("pretend@B00E")
        << QStringList{QStringLiteral("--new-setting"), Plant, QStringLiteral("--id"),
                       QStringLiteral("4")}
        << QByteArray("setting: 19200,e,8,1 -> 19200,e,8,1 not taken (wanted 9600,n,8,1)\n");
    QTest::newRow("setting taken, module gone")
        << QStringLiteral("leave@B00E") << QStringList{QStringLiteral("--new-setting"), Plant}
        << QByteArray("setting: 19200,e,8,1 -> 9600,n,8,1 lost\n");
    QTest::newRow("ID refused, nothing after it sent")
        << QStringLiteral("raw=0a3f30314337370d@B00C*always")
        << QStringList{QStringLiteral("--id"), QStringLiteral("9"), QStringLiteral("--new-setting"),
                       Plant}
        << QByteArray("setting: 19200,e,8,1 -> 9600,n,8,1 not tried\n");
}

void CommissioningTest::moduleThatDoesNotDoIt()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, line);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    scanOnce();
    module.addFault(*ParseFault(fault));

    const ProgramRun run = tx4040(QStringList{QStringLiteral("apply")} + options);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains(line), run.output.constData());
    QVERIFY(!run.errors.isEmpty());
    const bool lost = line.endsWith("lost\n");
    // Where the module still answers is where it is looked for next time.
    QCOMPARE(storedSetting(), lost ? Plant : BaudRateModes().at(5));
}

void CommissioningTest::anotherModuleAnsweringIsNoReadBack()
{
    // The new ID is acknowledged, and then a module with another serial number answers
    // where the changed one was, with the ID that was wanted: no read-back of the module
    // that was changed.
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port, 5, ModuleWithSerial("TX040001"));
    scanOnce();
    const auto identity = [](const QByteArray &body) {
        const QByteArray head = "\n!" + body;
        return head + ChecksumDigits(FrameChecksum(head)) + '\r';
    };
    // The read first and the change's own "B00B" are the module's answers.
    module.addFault(Fault{FaultKind::RawReply, "B00B", 2, 0, identity("01BTX040001")});
    module.addFault(Fault{FaultKind::RawReply, "B00B", Fault::Always, 0, identity("09BTX099999")});

    const ProgramRun run =
        tx4040({QStringLiteral("apply"), QStringLiteral("--id"), QStringLiteral("9")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains("id: 01 -> "), run.output.constData());
    QVERIFY2(run.errors.contains("did not answer when its id was read back"),
             run.errors.constData());
    QCOMPARE(module.state().id, QByteArray("09"));
}

void CommissioningTest::provisionModuleAfterModule()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port, 5, ModuleWithSerial("TX040001"));
    QTemporaryDir folder;
    const QString log = folder.filePath(QStringLiteral("bench.csv"));
    QProcess provision;
    startProvision(provision, log,
                   {QStringLiteral("--first-id"), QStringLiteral("20"), QStringLiteral("--count"),
                    QStringLiteral("2"), QStringLiteral("--new-setting"), Plant,
                    QStringLiteral("--mode"), QStringLiteral("normal")});
    QTRY_COMPARE_WITH_TIMEOUT(module.state().id, QByteArray("20"), 20000);
    // The module in hand is not given up before its line is out.
    QTRY_VERIFY_WITH_TIMEOUT(provision.bytesAvailable() > 0, 10000);
    takeOff(module);
    // The same module back again is left alone.
    module.putOn(module.state());
    QByteArray errors;
    QTRY_VERIFY_WITH_TIMEOUT(
        (errors += provision.readAllStandardError()).contains("TX040001 was done earlier"), 20000);
    QCOMPARE(module.state().id, QByteArray("20"));
    takeOff(module);
    module.putOn(ModuleWithSerial("TX040002"));
    QVERIFY(provision.waitForFinished(30000));
    QCOMPARE(provision.exitCode(), 0);
    QCOMPARE(summary(module.state()), QStringLiteral("21 9600,n,8,1 normal 0000"));

    QFile csv(log);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csv.readAll().split('\n');
    QCOMPARE(rows.size(), 4); // the header, two modules, and the end of the last line
    QCOMPARE(rows.at(0), QByteArray("time,serial,version,id_before,id_after,setting,mode,"
                                    "polarity,result"));
    QVERIFY2(rows.at(1).endsWith(",TX040001,01.05-03,01,20,\"9600,n,8,1\",normal,0000,verified"),
             rows.at(1).constData());
    QVERIFY2(rows.at(2).endsWith(",TX040002,01.05-03,01,21,\"9600,n,8,1\",normal,0000,verified"),
             rows.at(2).constData());
    QVERIFY(
        provision.readAllStandardOutput().endsWith("2 modules on COM3: 2 verified, 0 failed\n"));
}

void CommissioningTest::provisionStoppedWithAModuleInHand()
{
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port, 5, ModuleWithSerial("TX040007"));
    QTemporaryDir folder;
    const QString log = folder.filePath(QStringLiteral("bench.csv"));
    const QString trace = folder.filePath(QStringLiteral("trace.txt"));
    QProcess provision;
    startProvision(provision, log,
                   {QStringLiteral("--first-id"), QStringLiteral("5"), QStringLiteral("--mode"),
                    QStringLiteral("normal"), QStringLiteral("--trace"), trace});
    // The stop comes with the module in hand: its ID set, its mode not yet.
    QTRY_VERIFY_WITH_TIMEOUT(module.state().id == "05", 20000);
    ::kill(pid_t(provision.processId()), SIGINT);
    QVERIFY(provision.waitForFinished(30000));
    QCOMPARE(provision.exitStatus(), QProcess::NormalExit);
    // Finished, read back and logged before the run ended.
    QCOMPARE(provision.exitCode(), 0);
    QCOMPARE(summary(module.state()), QStringLiteral("05 19200,e,8,1 normal 0000"));
    const QByteArray output = provision.readAllStandardOutput();
    QVERIFY2(output.contains(" TX040007 01.05-03 id 01 -> 05 setting 19200,e,8,1 mode normal "
                             "polarity 0000 verified\n"),
             output.constData());
    QVERIFY(output.endsWith("1 module on COM3: 1 verified, 0 failed, stopped\n"));
    QFile csv(log);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count('\n'), 2);
    // After the module in hand the port is not opened again: a reopening would raise DTR
    // and RTS on the bench's line once more, with nothing to say.
    QCOMPARE(lastOpeningSentAFrame(trace), true);
}

void CommissioningTest::provisionKeepsToTheBenchPort()
{
    // The module last found on another port is no module on the bench.
    SimulatedPorts ports;
    SimulatedModule &bench = ports.addModule(Port, 5, ModuleWithSerial("TX040003"));
    SimulatedModule &elsewhere = ports.addModule(6, 5, ModuleWithSerial("TX040006"));
    scanOnce(DefaultBaudRateIndex, 6);
    const ProgramRun run =
        tx4040({QStringLiteral("provision"), QStringLiteral("-p"), QString::number(Port),
                QStringLiteral("--first-id"), QStringLiteral("30"), QStringLiteral("--count"),
                QStringLiteral("1")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(bench.state().id, QByteArray("30"));
    QCOMPARE(elsewhere.heardCommands(), QList<QByteArray>{});
}

void CommissioningTest::provisionOnATerminalSaysWhatItWaitsFor()
{
    // Standard error on a terminal: what the run waits for, on one line that is cleared
    // once it comes.
    SimulatedPorts ports;
    ports.addModule(Port);
    QTemporaryDir folder;
    UniqueFd terminal(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    QVERIFY(terminal.isValid() && ::grantpt(terminal.get()) == 0 &&
            ::unlockpt(terminal.get()) == 0);
    QProcess provision;
    provision.setStandardErrorFile(QString::fromLocal8Bit(::ptsname(terminal.get())));
    startProvision(provision, folder.filePath(QStringLiteral("bench.csv")),
                   {QStringLiteral("--first-id"), QStringLiteral("20"), QStringLiteral("--count"),
                    QStringLiteral("1")});
    QVERIFY(provision.waitForFinished(30000));
    QCOMPARE(provision.exitCode(), 0);
    QByteArray shown;
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal.get(), buffer, sizeof buffer)) > 0;)
        shown.append(buffer, n);
    QVERIFY2(shown.startsWith("\r\033[Kwaiting for a module on COM3\r\033[K"), shown.constData());
    QVERIFY2(shown.endsWith("\r\033[K"), shown.constData());
}

void CommissioningTest::provisionWithoutABenchPort()
{
    // No --port and no module found before: there is no bench to wait on. The count is
    // the most the IDs left allow.
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port);
    const ProgramRun run =
        tx4040({QStringLiteral("provision"), QStringLiteral("--first-id"), QStringLiteral("98"),
                QStringLiteral("--count"), QStringLiteral("2")});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.errors.contains("provision needs the bench's port"), run.errors.constData());
    QCOMPARE(module.heardCommands(), QList<QByteArray>{});
}

void CommissioningTest::provisionLogsWhatFailed_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("setting acknowledged, module stays")
        << QStringLiteral("pretend@B00E") << QByteArray(",failed: setting not taken");
    QTest::newRow("setting taken, module gone")
        << QStringLiteral("leave@B00E") << QByteArray(",failed: setting lost");
    QTest::newRow("ID refused") << QStringLiteral("raw=0a3f30314337370d@B00C*always")
                                << QByteArray(",failed: id");
}

void CommissioningTest::provisionLogsWhatFailed()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, result);
    SimulatedPorts ports;
    SimulatedModule &module = ports.addModule(Port, 5, ModuleWithSerial("TX040009"));
    module.addFault(*ParseFault(fault));
    QTemporaryDir folder;
    const QString log = folder.filePath(QStringLiteral("bench.csv"));
    const ProgramRun run = tx4040(
        {QStringLiteral("provision"), QStringLiteral("-p"), QString::number(Port),
         QStringLiteral("--log"), log, QStringLiteral("--first-id"), QStringLiteral("8"),
         QStringLiteral("--count"), QStringLiteral("1"), QStringLiteral("--new-setting"), Plant});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains("1 module on COM3: 0 verified, 1 failed\n"),
             run.output.constData());
    QFile csv(log);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csv.readAll().trimmed().split('\n');
    QCOMPARE(rows.size(), 2);
    QVERIFY2(rows.at(1).contains(",TX040009,") && rows.at(1).endsWith(result),
             rows.at(1).constData());
}

QTEST_GUILESS_MAIN(CommissioningTest)
#include "test_commissioning.moc"
