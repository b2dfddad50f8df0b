// "tx4040 scan --every-port" against the slowest single port's search alone: sixteen
// simulated ports, modules on three of them at different settings, thirteen silent.
// Each port's search is the window's scan kept to that port, all twelve settings, so
// the whole search can take no less than the slowest port's. Goal: at most 1.2 times.
// For comparison: the sixteen single-port searches one after another, which is what
// finding every module costs in the window's order.

#include "simulated_ports.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Runs = 3;
constexpr int Ports = 16;
const int ModulePorts[] = {4, 9, 14};
const int ModuleSettings[] = {1, 6, 11};

// Milliseconds that "tx4040 ARGS" took; exits when it did not end as expected.
double runMs(const QStringList &arguments, int expectedExit)
{
    QProcess program;
    program.setProcessEnvironment(WithPtyLine(QProcessEnvironment::systemEnvironment()));
    QElapsedTimer timer;
    timer.start();
    program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tx4040"), arguments);
    if (!program.waitForFinished(300000) || program.exitCode() != expectedExit) {
        std::fprintf(stderr, "tx4040 %s ended with %d\n%s", qPrintable(arguments.join(u' ')),
                     program.exitCode(), program.readAllStandardError().constData());
        std::exit(1);
    }
    return timer.nsecsElapsed() / 1e6;
}

double medianMs(const QStringList &arguments, int expectedExit)
{
    std::vector<double> times;
    for (int run = 0; run < Runs; ++run)
        times.push_back(runMs(arguments, expectedExit));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SimulatedPorts ports;
    for (int port = 1; port <= Ports; ++port) {
        const int *module = std::find(std::begin(ModulePorts), std::end(ModulePorts), port);
        if (module == std::end(ModulePorts))
            ports.addSilentPort(port);
        else
            ports.addModule(port, ModuleSettings[module - std::begin(ModulePorts)]);
    }
    const QStringList scan{QStringLiteral("scan"), QStringLiteral("--no-store")};

    double slowest = 0;
    double sum = 0;
    int slowestPort = 0;
    for (int port = 1; port <= Ports; ++port) {
        const bool module = std::find(std::begin(ModulePorts), std::end(ModulePorts), port) !=
                            std::end(ModulePorts);
        const double ms = medianMs(
            scan + QStringList{QStringLiteral("--port"), QString::number(port)}, module ? 0 : 1);
        sum += ms;
        if (ms > slowest) {
            slowest = ms;
            slowestPort = port;
        }
    }
    const double everyPort = medianMs(scan + QStringList{QStringLiteral("--every-port")}, 0);

    std::printf("%-44s %9s %7s\n", "search (median of 3 runs)", "ms", "ratio");
    std::printf("%-44s %9.0f %7.3f\n",
                qPrintable(QStringLiteral("slowest single port alone (COM%1)").arg(slowestPort)),
                slowest, 1.0);
    std::printf("%-44s %9.0f %7.3f   goal <= 1.2\n", "every port at once", everyPort,
                everyPort / slowest);
    std::printf("%-44s %9.0f %7.3f\n", "every port, one after another", sum, sum / slowest);
    return 0;
}
