#include "workflows.h"

#include "live_io.h"
#include "module_identity.h"
#include "module_mode.h"
#include "module_scan.h"
#include "workflow_context.h"

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

WorkResult Workflows::run(WorkResult (*workflow)(WorkflowContext &), ModuleWindow &window,
                          const OperatorChoices &choices)
{
    WorkflowContext context = contextFor(window, choices);
    return workflow(context);
}

WorkResult Workflows::scanModule(ModuleWindow &window, const OperatorChoices &choices)
{
    return run(ScanModule, window, choices);
}

WorkResult Workflows::scanModule(ModuleWindow &window, const OperatorChoices &choices,
                                 const ScanLimits &limits)
{
    WorkflowContext context = contextFor(window, choices);
    return ScanModule(context, limits);
}

WorkResult Workflows::setModuleId(ModuleWindow &window, const OperatorChoices &choices)
{
    return run(SetModuleId, window, choices);
}

WorkResult Workflows::setModuleBaudRate(ModuleWindow &window, const OperatorChoices &choices)
{
    return run(SetModuleBaudRate, window, choices);
}

WorkResult Workflows::setModuleMode(ModuleWindow &window, const OperatorChoices &choices)
{
    return run(SetModuleMode, window, choices);
}

WorkResult Workflows::setFactoryDefault(ModuleWindow &window, const OperatorChoices &choices)
{
    return run(SetFactoryDefault, window, choices);
}

WorkResult Workflows::processModule(ModuleWindow &window, const OperatorChoices &choices)
{
    return run(ProcessModule, window, choices);
}

void Workflows::allOutputs(ModuleWindow &window, const OperatorChoices &choices)
{
    WorkflowContext context = contextFor(window, choices);
    AllOutputs(context);
}
