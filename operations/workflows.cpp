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

WorkflowContext Workflows::contextFor(ModuleWindow &window)
{
    return {window, m_state, m_messages, *m_port, *m_exchange, m_settings, m_tone};
}

PortAccess &Workflows::port()
{
    return *m_port;
}

CommandExchange &Workflows::exchange()
{
    return *m_exchange;
}

void Workflows::run(void (*workflow)(WorkflowContext &), ModuleWindow &window)
{
    WorkflowContext context = contextFor(window);
    workflow(context);
}

void Workflows::scanModule(ModuleWindow &window)
{
    run(ScanModule, window);
}

void Workflows::scanModule(ModuleWindow &window, const ScanLimits &limits)
{
    WorkflowContext context = contextFor(window);
    ScanModule(context, limits);
}

void Workflows::setModuleId(ModuleWindow &window)
{
    run(SetModuleId, window);
}

void Workflows::setModuleBaudRate(ModuleWindow &window)
{
    run(SetModuleBaudRate, window);
}

void Workflows::setModuleMode(ModuleWindow &window)
{
    run(SetModuleMode, window);
}

void Workflows::setFactoryDefault(ModuleWindow &window)
{
    run(SetFactoryDefault, window);
}

void Workflows::processModule(ModuleWindow &window)
{
    run(ProcessModule, window);
}

void Workflows::allOutputs(ModuleWindow &window)
{
    run(AllOutputs, window);
}
