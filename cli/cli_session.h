#pragma once

#include "console_window.h"
#include "link_services.h"
#include "message_table.h"
#include "port_access.h"
#include "port_map.h"
#include "shared_state.h"
#include "stored_settings.h"
#include "termination_signals.h"
#include "workflows.h"

#include <optional>

struct ScanLimits;

struct SessionOptions
{
    LinkServices services = LinkServices::system();
    // A language column that overrides the stored one.
    std::optional<int> language;
    // False: nothing the run finds or changes is written to the stored settings.
    bool store = true;
    // A search's progress on standard error.
    bool showProgress = false;
};

// One run of a subcommand that talks to the module: the program's state, texts and
// stored settings, the link, the console window, and a stop from outside (Ctrl+C,
// SIGTERM) taken the way the window takes its own: the live loop ends as after a
// second press, a scan at its next exchange.
class CliSession
{
public:
    explicit CliSession(const SessionOptions &options);
    CliSession(const CliSession &) = delete;
    CliSession &operator=(const CliSession &) = delete;

    // Each runs one workflow on the console window and returns its exit status.
    int scan(const ScanLimits &limits);
    // The scan's first phase and its information, at the remembered place only.
    int readAtRememberedPlace();
    int run(void (Workflows::*workflow)(ModuleWindow &));

    // The last workflow's closing message, in the session's language; none when a stop
    // from outside cut it short.
    QString outcomeMessage() const;
    // That message as a line on standard output, if there is one.
    void printOutcome() const;
    // Why the last workflow failed, where the window would say it in a tooltip: on
    // standard error.
    void tellReasons() const;

    SharedState &state() { return m_state; }
    const SharedState &state() const { return m_state; }
    const MessageTable &messages() const { return m_messages; }
    const StoredSettings &settings() const { return m_settings; }
    const PortMap &ports() const { return m_ports; }
    const LinkServices &services() const { return m_services; }
    ConsoleWindow &window() { return m_window; }
    // The link's port, for what it knows of the last opening.
    const PortAccess &port() { return m_workflows.port(); }
    const ConsoleWindow &window() const { return m_window; }
    // False when nothing is to be written to the stored settings.
    bool stores() const { return m_stores; }
    bool stopped() const { return m_stopped; }
    // True when the last workflow opened a port.
    bool portOpened() const { return m_portOpened; }

private:
    // Runs one piece of work and keeps whether it opened a port.
    template <typename Work> int outcomeOf(Work work);
    int outcomeStatus() const;

    SharedState m_state;
    const MessageTable m_messages;
    StoredSettings m_settings;
    const PortMap m_ports;
    LinkServices m_services;
    ConsoleWindow m_window;
    int m_toneHz = 0;
    Workflows m_workflows;
    TerminationSignals m_signals;
    bool m_stores;
    bool m_stopped = false;
    bool m_portOpened = false;
};
