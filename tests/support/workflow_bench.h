#pragma once

#include "command_exchange.h"
#include "message_table.h"
#include "recording_window.h"
#include "simulated_ports.h"
#include "stored_settings.h"
#include "workflow_context.h"
#include "workflows.h"

// Everything a workflow needs, on simulated ports in a private configuration folder:
// the state as loaded from the stored settings there, a recording window, the link.
class WorkflowBench
{
public:
    // services: the link's clocks, sleeps and message pump; the system's by default.
    explicit WorkflowBench(const LinkServices &services = LinkServices::system());

    QString settingsPath() const;
    // Writes these values as a scan would have, and loads them as a start would.
    void remember(int portNumber, int settingIndex, const QString &modeString);
    // The values a new start of the program would load.
    SharedState storedState() const;
    // The state as after a scan that found the module at that port and setting.
    void foundAt(int portNumber, int settingIndex);

    // The line settings of every request that reached that port, in order.
    static QStringList requestSettings(const SimulatedModule &module);

    SimulatedPorts ports;
    MessageTable messages;
    SharedState state;
    StoredSettings settings;
    RecordingWindow window;
    // The tone sounds in the window's events.
    Workflows workflows;
    PortAccess &port;
    CommandExchange &exchange;
    WorkflowContext context;
};
