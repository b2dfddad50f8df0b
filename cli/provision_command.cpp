#include "provision_command.h"

#include "apply_command.h"
#include "cli_session.h"
#include "console_output.h"
#include "exit_status.h"
#include "module_commands.h"
#include "module_presence.h"
#include "module_scan.h"
#include "provision_log.h"

#include <QCoreApplication>
#include <QSet>

namespace {

constexpr int HighestId = 99;
// How often a module on the bench is asked whether it is still there.
constexpr int PresenceCheckEveryMs = 500;

struct Tally
{
    int modules = 0;
    int verified = 0;
};

// What the terminal shows while the run waits: one line, rewritten.
class Progress
{
public:
    explicit Progress(bool shown) : m_shown(shown) {}
    ~Progress() { clear(); }

    void show(const QString &text)
    {
        if (m_shown)
            WriteTo(stderr, "\r\033[K" + text.toUtf8());
    }
    void clear()
    {
        if (m_shown)
            WriteTo(stderr, "\r\033[K");
    }

private:
    bool m_shown;
};

// The result as the log and the terminal tell it: "verified", or what failed first.
QString resultText(const ApplyResult &result)
{
    if (result.work.outcome == Outcome::Success)
        return QStringLiteral("verified");
    for (const AppliedValue &value : result.values) {
        if (value.check == ValueCheck::NotTaken || value.check == ValueCheck::Lost)
            return QStringLiteral("failed: %1 %2").arg(value.name, ValueCheckName(value.check));
        if (value.check == ValueCheck::Failed)
            return QStringLiteral("failed: %1").arg(value.name);
    }
    return QStringLiteral("failed");
}

ProvisionedModule provisioned(const ModuleFacts &found, const ApplyResult &result)
{
    const ModuleFacts &now = result.work.facts;
    return {LocalTimestamp(),
            found.serialNo,
            found.version,
            found.id,
            now.id,
            now.setting,
            now.mode ? OutputModeName(*now.mode) : QString(),
            now.polarity ? FlagsText(*now.polarity) : QString(),
            resultText(result)};
}

void tell(const ProvisionRequest &request, int port, const ProvisionedModule &module,
          const ApplyResult &result)
{
    if (request.json) {
        WriteTo(stdout, JsonReport({{QStringLiteral("kind"), QStringLiteral("module")},
                                    {QStringLiteral("time"), module.time},
                                    {QStringLiteral("port"), port},
                                    {QStringLiteral("serial"), module.serialNo},
                                    {QStringLiteral("version"), module.version},
                                    {QStringLiteral("id_before"), module.idBefore},
                                    {QStringLiteral("id_after"), module.idAfter},
                                    {QStringLiteral("setting"), module.setting},
                                    {QStringLiteral("mode"), module.mode},
                                    {QStringLiteral("polarity"), module.polarity},
                                    {QStringLiteral("result"), module.result},
                                    {QStringLiteral("values"), AppliedValuesJson(result)}},
                                   QJsonDocument::Compact) +
                            '\n');
        return;
    }
    WriteTo(stdout,
            QStringLiteral("%1 %2 %3 id %4 -> %5 setting %6 mode %7 polarity %8 %9\n")
                .arg(module.time, module.serialNo, module.version, module.idBefore, module.idAfter,
                     module.setting, module.mode, module.polarity, module.result)
                .toUtf8());
}

// A module found on the port at any of the twelve settings, its facts read; a scan that
// did not succeed where the run is to end: stopped, or the port cannot be opened.
WorkResult waitForModule(CliSession &session, int port, Progress &progress)
{
    ScanLimits limits;
    limits.firstPort = limits.lastPort = port;
    limits.rememberedPlaceAnywhere = false;
    session.choices().baudRateLocked = false;
    progress.show(QStringLiteral("waiting for a module on COM%1").arg(port));
    for (;;) {
        const WorkResult found = session.scan(limits);
        if (found.outcome == Outcome::Success || session.stopped() || !found.portOpened) {
            progress.clear();
            return found;
        }
    }
}

// Waits until the module with this serial number no longer answers where it was found;
// false when a stop from outside came first.
bool waitUntilTakenOff(CliSession &session, const QString &serialNo, Progress &progress)
{
    progress.show(
        QStringLiteral("take %1 off COM%2").arg(serialNo).arg(session.state().ScanCommNo));
    for (;;) {
        QCoreApplication::processEvents();
        if (session.stopped())
            return false;
        WorkflowContext context = session.context();
        if (SerialAtRememberedPlace(context) != serialNo) {
            progress.clear();
            return true;
        }
        session.pauseUnlessStopped(PresenceCheckEveryMs);
    }
}

void tellSummary(const ProvisionRequest &request, int port, const Tally &tally, bool stopped)
{
    const int failed = tally.modules - tally.verified;
    if (request.json) {
        WriteTo(stdout, JsonReport({{QStringLiteral("kind"), QStringLiteral("summary")},
                                    {QStringLiteral("port"), port},
                                    {QStringLiteral("modules"), tally.modules},
                                    {QStringLiteral("verified"), tally.verified},
                                    {QStringLiteral("failed"), failed},
                                    {QStringLiteral("stopped"), stopped}},
                                   QJsonDocument::Compact) +
                            '\n');
        return;
    }
    WriteTo(stdout, QStringLiteral("%1 module%2 on COM%3: %4 verified, %5 failed%6\n")
                        .arg(tally.modules)
                        .arg(tally.modules == 1 ? QString() : QStringLiteral("s"))
                        .arg(port)
                        .arg(tally.verified)
                        .arg(failed)
                        .arg(stopped ? QStringLiteral(", stopped") : QString())
                        .toUtf8());
}

} // namespace

int RunProvision(CliSession &session, const ProvisionRequest &request)
{
    const int port = session.target().value_or(session.state().ScanCommNo);
    if (port <= 0) {
        WriteTo(stderr, "tx4040: provision needs the bench's port: --port N or --device PATH\n");
        return ExitStatus::Usage;
    }
    ProvisionLog log;
    QString error;
    if (!request.logPath.isEmpty() && !log.open(request.logPath, error)) {
        WriteTo(stderr, "tx4040: " + error.toUtf8() + '\n');
        return ExitStatus::Usage;
    }
    Progress progress(request.showProgress);
    Tally tally;
    QSet<QString> done;
    int status = ExitStatus::Done;
    // Module after module, until the count is done, the IDs run out or a stop.
    for (int id = request.firstId;;) {
        if (id > HighestId) {
            WriteTo(stderr, "tx4040: no module IDs are left after 99\n");
            break;
        }
        const WorkResult found = waitForModule(session, port, progress);
        if (found.outcome != Outcome::Success) {
            if (!session.stopped()) {
                session.tellReasons(found);
                if (found.reasons.isEmpty())
                    WriteTo(stderr, NoPortOpenedHint);
                status = ExitStatus::PortNotOpened;
            }
            break;
        }
        const QString serialNo = found.facts.serialNo;
        if (done.contains(serialNo)) {
            WriteTo(stderr, "tx4040: " + serialNo.toUtf8() +
                                " was done earlier in this run; it is left as it is\n");
        } else {
            WantedConfiguration wanted = request.wanted;
            wanted.id = QStringLiteral("%1").arg(id++, 2, 10, QLatin1Char('0'));
            WorkflowContext context = session.context();
            const ApplyResult result = ApplyConfiguration(context, found.facts, wanted);
            if (result.work.facts.setting != found.facts.setting)
                RememberSetting(session, session.state().ScanBaudRateNo);
            const ProvisionedModule module = provisioned(found.facts, result);
            tell(request, port, module, result);
            if (result.work.outcome != Outcome::Success)
                session.tellReasons(result.work);
            done.insert(serialNo);
            ++tally.modules;
            tally.verified += result.work.outcome == Outcome::Success ? 1 : 0;
            // A run whose log cannot be written ends: what it does next would go untold.
            if (log.isOpen() && !log.append(module, error)) {
                WriteTo(stderr, "tx4040: " + error.toUtf8() + '\n');
                status = ExitStatus::NoAnswer;
                break;
            }
            if (request.count && tally.modules == *request.count)
                break;
        }
        if (!waitUntilTakenOff(session, serialNo, progress))
            break;
    }
    progress.clear();
    tellSummary(request, port, tally, session.stopped());
    if (status != ExitStatus::Done)
        return status;
    return tally.verified == tally.modules ? ExitStatus::Done : ExitStatus::NoAnswer;
}
