// How close a "B00B" exchange comes to the least time the line allows, at each of the
// twelve settings, against the simulated module; and what an unanswered reply wait
// costs the processor.
//
// The least time: the request's writes, each with its wire time and then its pause,
// then the reply's 16 characters, which run alongside the request's last pause
// (least_time.h).

#include "baud_rate_modes.h"
#include "command_exchange.h"
#include "command_set.h"
#include "least_time.h"
#include "pty_line.h"
#include "simulated_module.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int Exchanges = 41;
constexpr int Port = 1;

double threadCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!tx4040_ptyline_interposed()) {
        std::fprintf(stderr, "the pty line library is not in use\n");
        return 1;
    }
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString portsFolder = config.path() + QStringLiteral("/VANTREL/ports");

    std::printf("%-14s %10s %10s %8s\n", "setting", "median ms", "least ms", "ratio");
    double worst = 0;
    for (int index = 0; index < BaudRateModeCount; ++index) {
        ModuleState state;
        state.settingIndex = index;
        SimulatedModule module(SimConfig{portsFolder, Port, state, false, {}});
        if (!module.start())
            return 1;
        PortAccess port(PortMap(portsFolder), LinkServices::system());
        OpenedPort opened(port, Port, BaudRateModes().at(index));
        CommandExchange exchange(port);
        std::vector<double> times;
        for (int i = 0; i < Exchanges; ++i) {
            QElapsedTimer timer;
            timer.start();
            const bool ok = exchange.SendCommand(Command::ReadIdentity);
            times.push_back(timer.nsecsElapsed() / 1e6);
            if (!ok || exchange.ReplyLength() != IdentityReplyLength) {
                std::fprintf(stderr, "exchange failed at %s\n",
                             qPrintable(BaudRateModes().at(index)));
                return 1;
            }
        }
        const double least = AnsweredMs(index, 4, IdentityReplyLength);
        const double ratio = median(times) / least;
        worst = std::max(worst, ratio);
        std::printf("%-14s %10.2f %10.2f %8.3f\n", qPrintable(BaudRateModes().at(index)),
                    median(times), least, ratio);
    }
    std::printf("worst ratio %.3f (goal 1.05 or less)\n\n", worst);

    SimulatedModule silent(SimConfig{portsFolder, Port, {}, true, {}});
    if (!silent.start())
        return 1;
    PortAccess port(PortMap(portsFolder), LinkServices::system());
    OpenedPort opened(port, Port, BaudRateModes().at(DefaultBaudRateIndex));
    CommandExchange exchange(port);
    constexpr int waits = 10;
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = threadCpuMs();
    for (int i = 0; i < waits; ++i)
        exchange.SendCommand(Command::ReadIdentity);
    const double cpu = (threadCpuMs() - cpuBefore) / waits;
    const double wall = timer.nsecsElapsed() / 1e6 / waits;
    std::printf("unanswered exchange: %.1f ms wall, %.2f ms processor (%.1f %%)\n", wall, cpu,
                100 * cpu / wall);
    return 0;
}
