#pragma once

#include "link_services.h"
#include "port_access.h"
#include "port_map.h"
#include "simulated_module.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// A private configuration folder ($XDG_CONFIG_HOME for the whole test process) whose
// ports folder holds simulated modules and silent ports, each on a pseudo-terminal
// linked as COM<n>.
class SimulatedPorts
{
public:
    SimulatedPorts();
    ~SimulatedPorts();

    // A module at the line setting with that index (0-11), behind port n.
    SimulatedModule &addModule(int portNumber, int settingIndex = 5, ModuleState state = {});
    // A port that opens but where nothing ever answers.
    SimulatedModule &addSilentPort(int portNumber);

    QString configFolder() const { return m_config.path(); }
    QString portsFolder() const;
    PortMap portMap() const { return PortMap(portsFolder()); }

private:
    QTemporaryDir m_config;
    QByteArray m_previousConfigHome;
    std::vector<std::unique_ptr<SimulatedModule>> m_modules;
};

// The factory state of a module, but for its serial number.
ModuleState ModuleWithSerial(const QByteArray &serialNo);

// Wall-clock milliseconds that `work` took.
template <typename Work> qint64 MeasureMs(Work work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.elapsed();
}
