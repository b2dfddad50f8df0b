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
    // The port named on the command line, by its COM number or by its device.
    std::optional<int> port;
    QString device;
};

// One run of a subcommand that talks to the module: the program's state, texts and
// stored settings, the link, the console window and the values the subcommand chose,
// and a stop from outside (Ctrl+C, SIGTERM, a reader that went away) taken the way the
// window takes its own: the live loop ends as after a second press, a scan at its next
// exchange.
class CliSession
{
public:
    explicit CliSession(const SessionOptions &options);
    CliSession(const CliSession &) = delete;
    CliSession &operator=(const CliSession &) = delete;

    // Each runs one workflow and returns what happened.
    WorkResult scan(const ScanLimits &limits);
    // The scan's first phase and its information, at the remembered place only.
    WorkResult readAtRememberedPlace();
    WorkResult run(Workflows::Workflow workflow);
    // What a workflow that takes more than the operator's choices runs with.
    WorkflowContext context() { return m_workflows.contextFor(m_window, m_choices); }
    void stopLiveLoop() { m_workflows.stopLiveLoop(); }

    // The exit status of a workflow's result: done, the module did not answer (or went
    // away, or said no), or no port could be opened at all.
    static int statusOf(const WorkResult &result);
    // The result's message as a line, if it has one: on standard output where the work
    // was done, else on standard error.
    static void printOutcome(const WorkResult &result);
    // Why it failed, one reason a line on standard error, and that a stop from outside
    // cut it short.
    void tellReasons(const WorkResult &result) const;

    SharedState &state() { return m_state; }
    const SharedState &state() const { return m_state; }
    const MessageTable &messages() const { return m_messages; }
    const StoredSettings &settings() const { return m_settings; }
    const PortMap &ports() const { return m_ports; }
    const LinkServices &services() const { return m_services; }
    ConsoleWindow &window() { return m_window; }
    // What the next workflow reads as the operator's choices.
    ControlValues &choices() { return m_choices.values; }
    // The link's port, for what it knows of the last opening.
    const PortAccess &port() { return m_workflows.port(); }
    // False when nothing is to be written to the stored settings.
    bool stores() const { return m_stores; }
    // The port the command line named (--port, or --device's COM number), if any.
    std::optional<int> target() const { return m_target; }
    bool stopped() const { return m_stopped; }
    // Sleeps for ms in short steps, pumping events, so that a stop from outside ends the
    // pause at once.
    void pauseUnlessStopped(int ms);

private:
    SharedState m_state;
    const MessageTable m_messages;
    StoredSettings m_settings;
    PortMap m_ports;
    LinkServices m_services;
    ConsoleWindow m_window;
    ChosenValues m_choices;
    Workflows m_workflows;
    TerminationSignals m_signals;
    bool m_stores;
    bool m_stopped = false;
    std::optional<int> m_target;
};
