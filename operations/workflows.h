#pragma once

#include "module_window.h"
#include "operator_choices.h"
#include "stop_request.h"
#include "tone_call.h"
#include "work_result.h"
#include "workflow_context.h"

#include <memory>

class CommandExchange;
class MessageTable;
class PortAccess;
class PortMap;
class StoredSettings;
struct LinkServices;
struct SharedState;
struct ScanLimits;

// What a front end holds: the link to the module and the workflows on it. Each
// workflow runs on the window it is given, reads what the operator chose where it is
// told, works with the process-wide state, the texts, the stored settings and the tone
// given here, and returns what happened.
class Workflows
{
public:
    // ports, services: which device a COM port number names, and the link's clock, sleep
    // and message pump.
    Workflows(SharedState &state, const MessageTable &messages, const StoredSettings &settings,
              const PortMap &ports, const LinkServices &services, Tone tone);
    ~Workflows();
    Workflows(const Workflows &) = delete;
    Workflows &operator=(const Workflows &) = delete;

    // Runs one of the workflows (ScanModule, SetModuleId, ProcessModule ...) on that
    // window, and returns what happened.
    using Workflow = WorkResult (*)(WorkflowContext &);
    WorkResult run(Workflow workflow, ModuleWindow &window, const OperatorChoices &choices);
    // The scan kept to some ports, or to the remembered place.
    WorkResult scanModule(ModuleWindow &window, const OperatorChoices &choices,
                          const ScanLimits &limits);
    void allOutputs(ModuleWindow &window, const OperatorChoices &choices);

    // Asks a running live loop to end after its cycle, as a second press does.
    void stopLiveLoop() { m_liveStop.request(); }

    // What a workflow works with on that window; valid while this object lives.
    WorkflowContext contextFor(ModuleWindow &window, const OperatorChoices &choices);
    // For a front end that is both.
    template <typename Window> WorkflowContext contextFor(Window &window)
    {
        return contextFor(window, window);
    }
    PortAccess &port();
    CommandExchange &exchange();

private:
    SharedState &m_state;
    const MessageTable &m_messages;
    const StoredSettings &m_settings;
    Tone m_tone;
    StopRequest m_liveStop;
    std::unique_ptr<PortAccess> m_port;
    std::unique_ptr<CommandExchange> m_exchange;
};
