#include "cli_session.h"

#include "config_folder.h"
#include "console_output.h"
#include "exit_status.h"
#include "language.h"
#include "module_scan.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace {

// A device that no COM number names is a place nobody can remember.
bool storesFor(const SessionOptions &options, const PortMap &ports)
{
    return options.store && (options.device.isEmpty() || ports.numberOf(options.device) != 0);
}

StoredSettings settingsFor(bool store)
{
    const StoredSettings stored;
    return store ? stored : stored.readOnly();
}

// A device given on the command line is reached at GivenDeviceNumber; one that a COM
// number names is reached at that number, and none given changes nothing.
PortMap portsFor(const SessionOptions &options)
{
    return PortMap(PortsFolder()).withGivenDevice(options.device);
}

} // namespace

CliSession::CliSession(const SessionOptions &options)
    : m_settings(settingsFor(storesFor(options, PortMap(PortsFolder())))),
      m_ports(portsFor(options)), m_services(options.services), m_window(options.showProgress),
      m_workflows(m_state, m_messages, m_settings, m_ports, m_services, [](int, int) {}),
      m_stores(storesFor(options, m_ports))
{
    if (!options.device.isEmpty()) {
        const int number = m_ports.numberOf(options.device);
        m_target = number != 0 ? number : PortMap::GivenDeviceNumber;
        if (number == 0 && options.store)
            WriteTo(stderr, "tx4040: " + options.device.toUtf8() +
                                " has no COM number, so nothing is remembered of it (tx4040 "
                                "map N DEVICE gives it one)\n");
    } else {
        m_target = options.port;
    }
    m_settings.LoadSettings(m_state);
    if (options.language) {
        m_state.LanguageIndex = *options.language;
    } else if (!m_settings.HoldsLanguage()) {
        // No choice made: the locale's, as the environment says it (LC_ALL, then
        // LC_MESSAGES, then LANG).
        for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const QString locale = qEnvironmentVariable(variable);
            if (locale.isEmpty())
                continue;
            if (const std::optional<Language> language = LanguageOfLocale(locale))
                m_state.LanguageIndex = language->index;
            break;
        }
    }
    m_window.onMessages = [] { QCoreApplication::processEvents(); };
    QObject::connect(&m_signals, &TerminationSignals::terminationRequested, [this] {
        m_stopped = true;
        if (m_state.ProcessRunning)
            m_workflows.stopLiveLoop();
        else
            m_state.StopRequested = true;
    });
}

void CliSession::pauseUnlessStopped(int ms)
{
    constexpr qint64 StepUs = 100'000;
    const qint64 endUs = m_services.clockUs() + ms * 1000LL;
    while (!m_stopped && m_services.clockUs() < endUs) {
        m_services.sleepUntilUs(std::min(endUs, m_services.clockUs() + StepUs));
        QCoreApplication::processEvents();
    }
}

WorkResult CliSession::scan(const ScanLimits &limits)
{
    return m_workflows.scanModule(m_window, m_choices, limits);
}

WorkResult CliSession::readAtRememberedPlace()
{
    ScanLimits limits;
    limits.search = false;
    return scan(limits);
}

WorkResult CliSession::run(Workflows::Workflow workflow)
{
    return m_workflows.run(workflow, m_window, m_choices);
}

int CliSession::statusOf(const WorkResult &result)
{
    if (result.outcome == Outcome::Success)
        return ExitStatus::Done;
    // A port's fault only where no port opened at all; a port that opened and then went
    // away, or whose driver did not take the setting, is a module that did not answer.
    if (!result.portOpened && result.has(Reason::Kind::PortNotOpened))
        return ExitStatus::PortNotOpened;
    return ExitStatus::NoAnswer;
}

void CliSession::printOutcome(const WorkResult &result)
{
    if (result.message.isEmpty())
        return;
    // A result on standard output; a failure, with its reasons, on standard error.
    const bool done = result.outcome == Outcome::Success || result.outcome == Outcome::Stopped;
    WriteTo(done ? stdout : stderr, result.message.toUtf8() + '\n');
}

void CliSession::tellReasons(const WorkResult &result) const
{
    if (m_stopped)
        std::fputs("tx4040: stopped\n", stderr);
    for (const Reason &reason : result.reasons)
        WriteTo(stderr, "tx4040: " + reason.text.toUtf8() + '\n');
}
