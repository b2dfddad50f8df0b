#include "workflow_bench.h"

#include "baud_rate_modes.h"

WorkflowBench::WorkflowBench(const LinkServices &services)
    : settings(ports.configFolder() + QStringLiteral("/VANTREL/Morvale.reg")),
      window(state, messages), workflows(state, messages, settings, ports.portMap(), services,
                                         [this](int hz, int ms) { window.beep(hz, ms); }),
      port(workflows.port()), exchange(workflows.exchange()), context(workflows.contextFor(window))
{
    settings.LoadSettings(state);
}

QString WorkflowBench::settingsPath() const
{
    return ports.configFolder() + QStringLiteral("/VANTREL/Morvale.reg");
}

void WorkflowBench::remember(int portNumber, int settingIndex, const QString &modeString)
{
    SharedState stored;
    stored.ScanCommNo = portNumber;
    stored.ScanBaudRateNo = settingIndex;
    stored.ScanBaudRate = modeString;
    settings.SaveScanSettings(stored);
    settings.LoadSettings(state);
}

SharedState WorkflowBench::storedState() const
{
    SharedState stored;
    settings.LoadSettings(stored);
    return stored;
}

void WorkflowBench::foundAt(int portNumber, int settingIndex)
{
    state.ScanCommNo = portNumber;
    state.ScanBaudRateNo = settingIndex;
    state.ScanBaudRate = BaudRateModes().at(settingIndex);
    state.ModuleFound = true;
}

QStringList WorkflowBench::requestSettings(const SimulatedModule &module)
{
    QStringList settings;
    for (const TraceEntry &entry : module.trace()) {
        if (entry.event.startsWith(QStringLiteral("rx")))
            settings << entry.setting;
    }
    return settings;
}
