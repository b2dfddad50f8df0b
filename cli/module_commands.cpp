#include "module_commands.h"

#include "baud_rate_modes.h"
#include "cli_session.h"
#include "command_arguments.h"
#include "exit_status.h"
#include "console_output.h"
#include "module_facts.h"
#include "module_scan.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

// A save that failed, said on standard error; true when there was none.
bool saved(const QString &failure)
{
    if (failure.isEmpty())
        return true;
    WriteTo(stderr, "tx4040: " + failure.toUtf8() + '\n');
    return false;
}

// What a scan or info run prints: the module it read, or the message it ended with.
// saveFailure: why the place found could not be stored.
int reportScan(CliSession &session, int status, bool json, bool stored,
               const QString &saveFailure = {})
{
    const bool found = status == ExitStatus::Done;
    const ModuleFacts facts = ModuleFacts::from(session.window(), session.state(), session.ports());
    if (json) {
        QStringList reasons = found ? QStringList() : session.window().reasons();
        if (!saveFailure.isEmpty())
            reasons << saveFailure;
        QJsonObject report{
            {QStringLiteral("found"), found},
            {QStringLiteral("message"), session.outcomeMessage()},
            {QStringLiteral("modules"), found ? QJsonArray{facts.json()} : QJsonArray{}},
            {QStringLiteral("stored"), found && stored && saveFailure.isEmpty()},
            {QStringLiteral("reasons"), QJsonArray::fromStringList(reasons)}};
        WriteTo(stdout, QJsonDocument(report).toJson(QJsonDocument::Indented));
    } else if (found) {
        WriteTo(stdout, facts.text());
    } else {
        session.printOutcome();
    }
    if (found) {
        saved(saveFailure);
        return status;
    }
    session.tellReasons();
    if (session.window().explanation().isEmpty() && !session.portOpened() && !session.stopped())
        WriteTo(stderr, NoPortOpenedHint);
    return status;
}

bool placeRemembered(const CliSession &session)
{
    if (session.state().ScanCommNo > 0)
        return true;
    WriteTo(stderr, "tx4040: no place is remembered yet: run tx4040 scan first\n");
    return false;
}

// The remembered place read first; false (with what was said) when nothing answered.
bool moduleReadFirst(CliSession &session, int &status)
{
    status = ExitStatus::NoAnswer;
    if (!placeRemembered(session))
        return false;
    status = session.readAtRememberedPlace();
    if (status == ExitStatus::Done)
        return true;
    session.printOutcome();
    session.tellReasons();
    return false;
}

int reportSetting(CliSession &session, int status)
{
    session.printOutcome();
    if (status != ExitStatus::Done)
        session.tellReasons();
    return status;
}

// From now on the program talks to the module at this setting; kept for the next run,
// which is another process.
void rememberSetting(CliSession &session, int settingIndex)
{
    session.state().ScanBaudRateNo = settingIndex;
    session.state().ScanBaudRate = BaudRateModes().at(settingIndex);
    saved(session.settings().SaveScanSettings(session.state()));
}

QString timestamp()
{
    return QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
}

// One line of a watch: "<time> <what> <value>", or as JSON {"time", what: value}.
void printWatchLine(bool json, const QString &what, const QString &value)
{
    const QString line =
        json ? QString::fromUtf8(
                   QJsonDocument(QJsonObject{{QStringLiteral("time"), timestamp()}, {what, value}})
                       .toJson(QJsonDocument::Compact))
             : timestamp() + u' ' + what + u' ' + value;
    WriteTo(stdout, line.toUtf8() + '\n');
}

// Waits until port n names a terminal device again: the ports folder's link resolving
// to one (an adapter back under another name is found through its stable link), or,
// from the system's list, the same device back at the same number. Its device; empty
// when a stop from outside came first. It checks ten times a second and sleeps between.
QString waitForReturn(CliSession &session, int port, const QString &lostDevice)
{
    constexpr int CheckEveryMs = 100;
    for (;;) {
        QCoreApplication::processEvents();
        if (session.stopped())
            return {};
        const QString device = session.ports().devicePath(port);
        if (!device.isEmpty() && (session.ports().usesPortsFolder() || device == lostDevice))
            return device;
        session.services().sleepMs(CheckEveryMs);
    }
}

} // namespace

int RunScan(CliSession &session, const ScanRequest &request)
{
    ScanLimits limits;
    if (request.port) {
        limits.firstPort = limits.lastPort = *request.port;
        limits.rememberedPlaceAnywhere = false;
    }
    // The lock box: one setting on every port, the one the list shows.
    session.window().values().baudRateLocked = request.settingIndex.has_value();
    if (request.settingIndex) {
        session.state().ScanBaudRateNo = *request.settingIndex;
        session.state().ScanBaudRate = BaudRateModes().at(*request.settingIndex);
    }
    const int status = session.scan(limits);
    // A found scan explains nothing but a place it could not store.
    QString saveFailure = status == ExitStatus::Done ? session.window().explanation() : QString();
    // A find at the remembered port with a setting other than the stored one.
    if (status == ExitStatus::Done && request.settingIndex && saveFailure.isEmpty())
        saveFailure = session.settings().SaveScanSettings(session.state());
    return reportScan(session, status, request.json, session.stores(), saveFailure);
}

int RunInfo(CliSession &session, bool json)
{
    if (!placeRemembered(session))
        return ExitStatus::NoAnswer;
    return reportScan(session, session.readAtRememberedPlace(), json, false);
}

int RunSetId(CliSession &session, const QString &moduleId)
{
    int status = 0;
    if (!moduleReadFirst(session, status))
        return status;
    session.window().values().moduleId = moduleId;
    return reportSetting(session, session.run(&Workflows::setModuleId));
}

int RunSetSetting(CliSession &session, int settingIndex)
{
    int status = 0;
    if (!moduleReadFirst(session, status))
        return status;
    session.window().values().baudRateIndex = settingIndex;
    status = session.run(&Workflows::setModuleBaudRate);
    if (status == ExitStatus::Done)
        rememberSetting(session, settingIndex);
    return reportSetting(session, status);
}

int RunSetMode(CliSession &session, OutputMode mode, std::optional<FourFlags> polarity)
{
    int status = 0;
    if (!moduleReadFirst(session, status))
        return status;
    // Without --polarity the module keeps the polarity it was just read with.
    session.window().values().mode = mode;
    if (polarity)
        session.window().values().polarity = *polarity;
    return reportSetting(session, session.run(&Workflows::setModuleMode));
}

int RunFactory(CliSession &session)
{
    int status = 0;
    if (!moduleReadFirst(session, status))
        return status;
    status = session.run(&Workflows::setFactoryDefault);
    // The module now listens at the factory setting.
    if (status == ExitStatus::Done)
        rememberSetting(session, DefaultBaudRateIndex);
    return reportSetting(session, status);
}

int RunWatch(CliSession &session, const WatchRequest &request)
{
    int status = 0;
    if (!moduleReadFirst(session, status))
        return status;
    int readings = 0;
    std::optional<FourFlags> shown;
    session.window().onInputs = [&](const FourFlags &inputs) {
        if (inputs != shown) {
            shown = inputs;
            printWatchLine(request.json, QStringLiteral("inputs"), FlagsText(inputs));
        }
        // The count ends the loop as the window's second press does.
        if (request.cycles && ++readings >= *request.cycles)
            session.state().ProcessRunning = false;
    };
    for (;;) {
        // The loop's end clears the outputs, as the window's boxes are cleared.
        session.window().values().outputs = request.outputs;
        status = session.run(&Workflows::processModule);
        if (!request.reconnect || !session.port().DeviceLost() || session.stopped())
            break;
        const int port = session.state().ScanCommNo;
        const QString device = session.port().DevicePath();
        printWatchLine(request.json, QStringLiteral("lost"),
                       QStringLiteral("COM%1 %2").arg(port).arg(device));
        const QString back = waitForReturn(session, port, device);
        if (back.isEmpty())
            break;
        printWatchLine(request.json, QStringLiteral("back"),
                       QStringLiteral("COM%1 %2").arg(port).arg(back));
        shown.reset();
    }
    session.window().onInputs = nullptr;
    // An operator's stop while the device was away ends the watch as a stop does.
    if (session.stopped())
        return ExitStatus::Done;
    if (status == ExitStatus::NoAnswer && session.window().explanation().isEmpty())
        WriteTo(stderr, "tx4040: the module stopped answering\n");
    else if (status != ExitStatus::Done)
        session.tellReasons();
    return status;
}
