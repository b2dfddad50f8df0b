// How close provisioning one module comes to the least time of the exchanges it needs,
// against a simulated module found at the remembered place and given a new ID, output
// mode and line setting: the pauses, every request's writes with their wire time, the
// wire time of every reply (least_time.h). No tone: the command line has none.
//
//  (a) the workflows: the module found on its port and read, then the values applied
//      and read back;
//  (b) the program: tx4040 provision --count 1, from its start to its end.

#include "baud_rate_modes.h"
#include "least_time.h"
#include "module_apply.h"
#include "module_scan.h"
#include "program_run.h"
#include "workflow_bench.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Runs = 5;
constexpr int Port = 3;
constexpr int Factory = DefaultBaudRateIndex; // 19200,e,8,1
constexpr int Plant = 2;                      // 9600,n,8,1
constexpr double PauseMs = 100;

// "B00B", then "B00V", "B00G", "B00A" with their pauses.
double foundAndReadMs(int s)
{
    return AnsweredMs(s, 4, 16) + 3 * PauseMs + AnsweredMs(s, 4, 16) + AnsweredMs(s, 4, 9) +
           AnsweredMs(s, 4, 24);
}

// Each change as the window sends it: a pause and "B00B", then a pause before each
// command, acknowledged in eight characters.
double changeMs(int s, std::initializer_list<int> commandLengths)
{
    double ms = PauseMs + AnsweredMs(s, 4, 16);
    for (const int length : commandLengths)
        ms += PauseMs + AnsweredMs(s, length, 8);
    return ms;
}

double leastMs()
{
    const int s = Factory;
    return foundAndReadMs(s) + changeMs(s, {14}) + PauseMs + AnsweredMs(s, 4, 16) + // ID, read back
           changeMs(s, {5, 20}) + 2 * PauseMs + AnsweredMs(s, 4, 9) + // mode, polarity
           AnsweredMs(s, 4, 24) +                                     // read back
           changeMs(s, {5}) + PauseMs + AnsweredMs(Plant, 4, 16);     // setting, at the new
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double workflowsMs()
{
    std::vector<double> times;
    for (int run = 0; run < Runs; ++run) {
        WorkflowBench bench;
        bench.window.toneSleepMs = 0;
        bench.remember(Port, Factory, BaudRateModes().at(Factory));
        bench.ports.addModule(Port, Factory);
        ScanLimits limits;
        limits.firstPort = limits.lastPort = Port;
        limits.rememberedPlaceAnywhere = false;
        WantedConfiguration wanted;
        wanted.id = QStringLiteral("10");
        wanted.mode = OutputMode::Normal;
        wanted.settingIndex = Plant;
        QElapsedTimer timer;
        timer.start();
        const WorkResult found = ScanModule(bench.context, limits);
        const ApplyResult applied = ApplyConfiguration(bench.context, found.facts, wanted);
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (applied.work.outcome != Outcome::Success) {
            std::fprintf(stderr, "the module was not provisioned\n");
            std::exit(1);
        }
    }
    return median(times);
}

double programMs()
{
    std::vector<double> times;
    for (int run = 0; run < Runs; ++run) {
        WorkflowBench bench;
        bench.remember(Port, Factory, BaudRateModes().at(Factory));
        bench.ports.addModule(Port, Factory);
        QElapsedTimer timer;
        timer.start();
        const ProgramRun provision = RunProgram(
            QStringLiteral("tx4040"),
            {QStringLiteral("provision"), QStringLiteral("-p"), QString::number(Port),
             QStringLiteral("--first-id"), QStringLiteral("10"), QStringLiteral("--count"),
             QStringLiteral("1"), QStringLiteral("--mode"), QStringLiteral("normal"),
             QStringLiteral("--new-setting"), BaudRateModes().at(Plant)});
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (provision.exitCode != 0) {
            std::fprintf(stderr, "tx4040 provision failed: %s\n", provision.errors.constData());
            std::exit(1);
        }
    }
    return median(times);
}

void report(const char *name, double measured, double least)
{
    std::printf("%-44s %9.0f %9.0f %7.3f\n", name, measured, least, measured / least);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("%-44s %9s %9s %7s\n", "provision one module", "ms", "least ms", "ratio");
    report("(a) the workflows: found, applied, read back", workflowsMs(), leastMs());
    report("(b) the program, start to end", programMs(), leastMs());
    std::printf("goal: ratio 1.10 or less\n");
    return 0;
}
