#include "workflows.h"

#include "live_io.h"
#include "module_scan.h"

Workflows::Workflows(SharedState &state, const MessageTable &messages,
                     const StoredSettings &settings, const PortMap &ports,
                     const LinkServices &services, Tone tone)
    : m_state(state), m_messages(messages), m_settings(settings), m_tone(std::move(tone)),
      m_port(std::make_unique<PortAccess>(ports, services)),
      m_exchange(std::make_unique<CommandExchange>(*m_port))
{}

Workflows::~Workflows() = default;

WorkflowContext Workflows::contextFor(ModuleWindow &window, const OperatorChoices &choices)
{
    return {window,  choices,     m_liveStop, m_state, m_messages,
            *m_port, *m_exchange, m_settings, m_tone};
}

PortAccess &Workflows::port()
{
    return *m_port;
}

CommandExchange &Workflows::exchange()
{
    return *m_exchange;
}

WorkResult Workflows::run(Workflow workflow, ModuleWindow &window, const OperatorChoices &choices)
{
    WorkflowContext context = contextFor(window, choices);
    return workflow(context);
}

WorkResult Workflows::scanModule(ModuleWindow &window, const OperatorChoices &choices,
                                 const ScanLimits &limits)
{
    WorkflowContext context = contextFor(window, choices);
    return ScanModule(context, limits);
}

void Workflows::allOutputs(ModuleWindow &window, const OperatorChoices &choices)
{
    WorkflowContext context = contextFor(window, choices);
    AllOutputs(context);
}
