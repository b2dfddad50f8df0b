#include "module_commands.h"

#include "baud_rate_modes.h"
#include "cli_session.h"
#include "command_arguments.h"
#include "console_output.h"
#include "exit_status.h"
#include "module_facts.h"
#include "live_io.h"
#include "module_identity.h"
#include "module_mode.h"
#include "module_scan.h"

#include <QCoreApplication>
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

// Why the place found could not be stored, where it could not.
QString saveFailureOf(const WorkResult &result)
{
    for (const Reason &reason : result.reasons) {
        if (reason.kind == Reason::Kind::SaveFailed)
            return reason.text;
    }
    return {};
}

// What a scan or info run prints: the module it read, or the message it ended with.
// saveFailure: why the place found could not be stored.
int reportScan(const CliSession &session, const WorkResult &result, bool json, bool stored,
               const QString &saveFailure)
{
    const int status = CliSession::statusOf(result);
    const bool found = status == ExitStatus::Done;
    if (json) {
        QStringList reasons;
        for (const Reason &reason : result.reasons)
            reasons << reason.text;
        if (!saveFailure.isEmpty() && !reasons.contains(saveFailure))
            reasons << saveFailure;
        const QJsonObject report{
            {QStringLiteral("found"), found},
            {QStringLiteral("message"), result.message},
            {QStringLiteral("modules"),
             found ? QJsonArray{FactsJson(result.facts, result.message)} : QJsonArray{}},
            {QStringLiteral("stored"), found && stored && saveFailure.isEmpty()},
            {QStringLiteral("reasons"), QJsonArray::fromStringList(reasons)}};
        WriteTo(stdout, JsonReport(report));
    } else if (found) {
        WriteTo(stdout, FactsText(result.facts, result.message));
    } else {
        CliSession::printOutcome(result);
    }
    if (found) {
        saved(saveFailure);
        return status;
    }
    session.tellReasons(result);
    if (result.reasons.isEmpty() && !result.portOpened && !session.stopped())
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

// True when the module is read at the remembered place, not searched for on a port the
// command line named.
bool readsRememberedPlace(const CliSession &session)
{
    const std::optional<int> port = session.target();
    return !port || *port == session.state().ScanCommNo;
}

// The module read where the command line names it: at the remembered place, or, on
// another port it named, at whichever of the twelve settings it answers (and then
// remembered there). A refusal where nothing is remembered and no port named.
WorkResult readModule(CliSession &session)
{
    const std::optional<int> port = session.target();
    if (!readsRememberedPlace(session)) {
        ScanLimits limits;
        limits.firstPort = limits.lastPort = *port;
        limits.rememberedPlaceAnywhere = false;
        session.choices().baudRateLocked = false;
        return session.scan(limits);
    }
    if (!placeRemembered(session)) {
        WorkResult none;
        none.outcome = Outcome::Refusal;
        return none;
    }
    return session.readAtRememberedPlace();
}

// Where a read of the remembered place looked, after nothing answered there.
void sayWhereItLooked(const CliSession &session)
{
    WriteTo(stderr, QStringLiteral("tx4040: nothing answered at COM%1 at %2, where the module was "
                                   "last found; tx4040 scan searches every port and setting\n")
                        .arg(session.state().ScanCommNo)
                        .arg(session.state().ScanBaudRate)
                        .toUtf8());
}

int reportSetting(const CliSession &session, const WorkResult &result)
{
    CliSession::printOutcome(result);
    const int status = CliSession::statusOf(result);
    if (status != ExitStatus::Done)
        session.tellReasons(result);
    return status;
}

// One line of a watch: "<time> <what> <value>", or as JSON {"time", "port", "outputs",
// what: value}, each line an object of its own.
void printWatchLine(const WatchRequest &request, int port, const QString &what,
                    const QString &value)
{
    if (!request.json) {
        WriteTo(stdout, (LocalTimestamp() + u' ' + what + u' ' + value).toUtf8() + '\n');
        return;
    }
    const QJsonObject line{{QStringLiteral("time"), LocalTimestamp()},
                           {QStringLiteral("port"), port},
                           {QStringLiteral("outputs"), FlagsText(request.outputs)},
                           {what, value}};
    WriteTo(stdout, JsonReport(line, QJsonDocument::Compact) + '\n');
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
        session.pauseUnlessStopped(CheckEveryMs);
    }
}

} // namespace

std::optional<ModuleFacts> ReadModuleFirst(CliSession &session, int &status)
{
    status = ExitStatus::NoAnswer;
    const bool remembered = readsRememberedPlace(session);
    const WorkResult read = readModule(session);
    if (read.outcome == Outcome::Refusal)
        return std::nullopt;
    status = CliSession::statusOf(read);
    if (status == ExitStatus::Done)
        return read.facts;
    CliSession::printOutcome(read);
    session.tellReasons(read);
    if (status == ExitStatus::NoAnswer && remembered && !session.stopped())
        sayWhereItLooked(session);
    return std::nullopt;
}

void RememberSetting(CliSession &session, int settingIndex)
{
    session.state().ScanBaudRateNo = settingIndex;
    session.state().ScanBaudRate = BaudRateModes().at(settingIndex);
    saved(session.settings().SaveScanSettings(session.state()));
}

int RunScan(CliSession &session, const ScanRequest &request)
{
    ScanLimits limits;
    if (const std::optional<int> port = session.target()) {
        limits.firstPort = limits.lastPort = *port;
        limits.rememberedPlaceAnywhere = false;
    }
    // The lock box: one setting on every port, the one the list shows.
    session.choices().baudRateLocked = request.settingIndex.has_value();
    if (request.settingIndex) {
        session.state().ScanBaudRateNo = *request.settingIndex;
        session.state().ScanBaudRate = BaudRateModes().at(*request.settingIndex);
    }
    const WorkResult result = session.scan(limits);
    QString saveFailure = saveFailureOf(result);
    // A find at the remembered port with a setting other than the stored one.
    if (result.outcome == Outcome::Success && request.settingIndex && saveFailure.isEmpty())
        saveFailure = session.settings().SaveScanSettings(session.state());
    return reportScan(session, result, request.json, session.stores(), saveFailure);
}

int RunInfo(CliSession &session, bool json)
{
    const bool remembered = readsRememberedPlace(session);
    const WorkResult read = readModule(session);
    if (read.outcome == Outcome::Refusal)
        return ExitStatus::NoAnswer;
    const int status = reportScan(session, read, json, false, {});
    if (status == ExitStatus::NoAnswer && remembered && !session.stopped())
        sayWhereItLooked(session);
    return status;
}

int RunSetId(CliSession &session, const QString &moduleId)
{
    int status = 0;
    if (!ReadModuleFirst(session, status))
        return status;
    session.choices().moduleId = moduleId;
    return reportSetting(session, session.run(SetModuleId));
}

int RunSetSetting(CliSession &session, int settingIndex)
{
    int status = 0;
    if (!ReadModuleFirst(session, status))
        return status;
    session.choices().baudRateIndex = settingIndex;
    const WorkResult result = session.run(SetModuleBaudRate);
    if (result.outcome == Outcome::Success)
        RememberSetting(session, settingIndex);
    return reportSetting(session, result);
}

int RunSetMode(CliSession &session, OutputMode mode, std::optional<FourFlags> polarity)
{
    int status = 0;
    const std::optional<ModuleFacts> read = ReadModuleFirst(session, status);
    if (!read)
        return status;
    // Without --polarity the module keeps the polarity it was just read with.
    session.choices().mode = mode;
    session.choices().polarity = polarity.value_or(read->polarity.value_or(FourFlags{}));
    return reportSetting(session, session.run(SetModuleMode));
}

int RunFactory(CliSession &session)
{
    int status = 0;
    if (!ReadModuleFirst(session, status))
        return status;
    const WorkResult result = session.run(SetFactoryDefault);
    // The module now listens at the factory setting.
    if (result.outcome == Outcome::Success)
        RememberSetting(session, DefaultBaudRateIndex);
    return reportSetting(session, result);
}

int RunWatch(CliSession &session, const WatchRequest &request)
{
    int status = 0;
    if (!ReadModuleFirst(session, status))
        return status;
    int readings = 0;
    std::optional<FourFlags> shown;
    session.window().onInputs = [&](const FourFlags &inputs) {
        if (inputs != shown) {
            shown = inputs;
            printWatchLine(request, session.state().ScanCommNo, QStringLiteral("inputs"),
                           FlagsText(inputs));
        }
        // The count ends the loop as the window's second press does.
        if (request.cycles && ++readings >= *request.cycles)
            session.stopLiveLoop();
    };
    session.choices().outputs = request.outputs;
    WorkResult result;
    for (;;) {
        result = session.run(ProcessModule);
        if (!request.reconnect || !result.has(Reason::Kind::DeviceGone) || session.stopped())
            break;
        const int port = result.facts.port;
        printWatchLine(request, port, QStringLiteral("lost"), result.facts.device);
        const QString back = waitForReturn(session, port, result.facts.device);
        if (back.isEmpty())
            break;
        printWatchLine(request, port, QStringLiteral("back"), back);
        shown.reset();
    }
    session.window().onInputs = nullptr;
    // An operator's stop, also while the device was away, ends the watch as the
    // window's stop ends the loop: done.
    if (session.stopped() || result.outcome == Outcome::Stopped)
        return ExitStatus::Done;
    if (result.reasons.isEmpty())
        WriteTo(stderr, "tx4040: the module stopped answering\n");
    else
        session.tellReasons(result);
    return CliSession::statusOf(result);
}
