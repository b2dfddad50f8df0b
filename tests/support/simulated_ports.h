#pragma once

#include "link_services.h"
#include "port_access.h"
#include "port_map.h"
#include "simulated_module.h"

#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <limits>
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
    // A module as config says (the adapter it plays, say), behind port config.portNumber
    // in this ports folder.
    SimulatedModule &addModule(SimConfig config);
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

// The environment for another program run beside simulated modules: the pty line
// library preloaded, so that their pseudo-terminals carry parity, as tx4040-sim --
// runs a command. An AddressSanitizer build would refuse a library loaded ahead of its
// own runtime, so that check is turned off.
QProcessEnvironment WithPtyLine(QProcessEnvironment environment);

// Closes a simulated module's device to an unprivileged user, as a serial adapter of
// group dialout is closed to a user outside that group. As root: the device becomes
// root:dialout 0660 and the configuration folders readable by all, for a program run as
// Unprivileged() says. Anyone else closes it to its own owner. False when a step fails.
bool CloseToUnprivileged(const SimulatedPorts &ports, const QString &device);

// The command that runs program with arguments as nobody, in no group, when this
// process is root; as it stands otherwise.
QStringList Unprivileged(const QString &program, const QStringList &arguments);

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

// The shortest of a few runs: a busy machine stalls one run now and then, while a
// fault in what is timed shows in every run.
template <typename Work> double ShortestMs(int runs, Work work)
{
    double shortest = std::numeric_limits<double>::max();
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        shortest = std::min(shortest, timer.nsecsElapsed() / 1e6);
    }
    return shortest;
}
