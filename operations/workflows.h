#pragma once

#include "module_window.h"
#include "tone_call.h"

#include <memory>

class CommandExchange;
class MessageTable;
class PortAccess;
class PortMap;
class StoredSettings;
struct LinkServices;
struct SharedState;
struct ScanLimits;
struct WorkflowContext;

// What a front end holds: the link to the module and the workflows on it. Each
// workflow runs on the window it is given, with the process-wide state, the texts, the
// stored settings and the tone given here.
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

    void scanModule(ModuleWindow &window);
    void scanModule(ModuleWindow &window, const ScanLimits &limits);
    void setModuleId(ModuleWindow &window);
    void setModuleBaudRate(ModuleWindow &window);
    void setModuleMode(ModuleWindow &window);
    void setFactoryDefault(ModuleWindow &window);
    void processModule(ModuleWindow &window);
    void allOutputs(ModuleWindow &window);

    // What a workflow works with on that window; valid while this object lives.
    WorkflowContext contextFor(ModuleWindow &window);
    PortAccess &port();
    CommandExchange &exchange();

private:
    void run(void (*workflow)(WorkflowContext &), ModuleWindow &window);

    SharedState &m_state;
    const MessageTable &m_messages;
    const StoredSettings &m_settings;
    Tone m_tone;
    std::unique_ptr<PortAccess> m_port;
    std::unique_ptr<CommandExchange> m_exchange;
};
