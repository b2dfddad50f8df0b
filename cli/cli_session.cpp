#include "cli_session.h"

#include "exit_status.h"
#include "config_folder.h"
#include "console_output.h"
#include "module_scan.h"
#include "work.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

StoredSettings settingsFor(const SessionOptions &options)
{
    const StoredSettings stored;
    return options.store ? stored : stored.readOnly();
}

} // namespace

CliSession::CliSession(const SessionOptions &options)
    : m_settings(settingsFor(options)), m_ports(PortsFolder()), m_services(options.services),
      m_window(options.showProgress),
      m_workflows(m_state, m_messages, m_settings, m_ports, m_services,
                  [this](int frequencyHz, int) { m_toneHz = frequencyHz; }),
      m_stores(options.store)
{
    m_settings.LoadSettings(m_state);
    if (options.language)
        m_state.LanguageIndex = *options.language;
    m_window.onMessages = [] { QCoreApplication::processEvents(); };
    QObject::connect(&m_signals, &TerminationSignals::terminationRequested, [this] {
        m_stopped = true;
        if (m_state.ProcessRunning)
            m_state.ProcessRunning = false;
        else
            m_state.StopRequested = true;
    });
}

template <typename Work> int CliSession::outcomeOf(Work work)
{
    m_toneHz = 0;
    m_window.forgetMessages();
    const int opens = m_workflows.port().SuccessfulOpens();
    work();
    m_portOpened = m_workflows.port().SuccessfulOpens() > opens;
    return outcomeStatus();
}

int CliSession::scan(const ScanLimits &limits)
{
    return outcomeOf([&] { m_workflows.scanModule(m_window, limits); });
}

int CliSession::readAtRememberedPlace()
{
    ScanLimits limits;
    limits.search = false;
    return scan(limits);
}

int CliSession::run(void (Workflows::*workflow)(ModuleWindow &))
{
    return outcomeOf([&] { (m_workflows.*workflow)(m_window); });
}

int CliSession::outcomeStatus() const
{
    if (m_toneHz == ToneHzOf(Outcome::Success))
        return ExitStatus::Done;
    // A reason is the port's fault only when no port opened at all; a port that opened
    // and then went away, or whose driver did not take the setting, is a module that
    // did not answer.
    if (m_window.explanation().isEmpty() || m_portOpened)
        return ExitStatus::NoAnswer;
    return ExitStatus::PortNotOpened;
}

QString CliSession::outcomeMessage() const
{
    // Without its tone the work did not end: its last message is only progress.
    return m_toneHz == 0 ? QString() : m_window.lastMessage();
}

void CliSession::printOutcome() const
{
    const QString message = outcomeMessage();
    if (!message.isEmpty())
        WriteTo(stdout, message.toUtf8() + '\n');
}

void CliSession::tellReasons() const
{
    if (m_stopped)
        std::fputs("tx4040: stopped\n", stderr);
    const QString reasons = m_window.explanation();
    if (reasons.isEmpty())
        return;
    const QByteArray text = "tx4040: " + reasons.toUtf8().replace("\n", "\ntx4040: ") + '\n';
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
}
