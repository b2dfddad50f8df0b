// How close a scan comes to the least time its own steps allow, against simulated
// modules and silent ports: the pauses, the tries, every request's writes with their
// wire time and pauses, the reply bound for every unanswered "B00B", the wire time of
// every reply, and the final tone (least_time.h).
//
//  (a) found at the remembered place;
//  (b) first run, list locked: fifteen silent ports, the module on COM16;
//  (c) list not locked: the module on COM2 at 9600,e,8,1 (index 3).

#include "baud_rate_modes.h"
#include "least_time.h"
#include "module_scan.h"
#include "workflow_bench.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Runs = 3;
constexpr double ToneMs = 300;
constexpr double InformationPausesMs = 300;

// "B00B" answered, then "B00V", "B00G", "B00A" with their pauses, then the tone.
double foundAndReadMs(int settingIndex)
{
    return AnsweredMs(settingIndex, 4, 16) + InformationPausesMs + AnsweredMs(settingIndex, 4, 16) +
           AnsweredMs(settingIndex, 4, 9) + AnsweredMs(settingIndex, 4, 24) + ToneMs;
}

double medianScanMs(const std::function<void(WorkflowBench &)> &prepare)
{
    std::vector<double> times;
    for (int run = 0; run < Runs; ++run) {
        WorkflowBench bench;
        bench.window.toneSleepMs = ToneMs;
        prepare(bench);
        QElapsedTimer timer;
        timer.start();
        ScanModule(bench.context);
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (!bench.state.ModuleFound) {
            std::fprintf(stderr, "the scan did not find the module\n");
            std::exit(1);
        }
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void report(const char *name, double measured, double least)
{
    std::printf("%-48s %9.0f %9.0f %7.3f\n", name, measured, least, measured / least);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("%-48s %9s %9s %7s\n", "scan", "ms", "least ms", "ratio");

    report("(a) found at the remembered place", medianScanMs([](WorkflowBench &b) {
               b.remember(5, 5, BaudRateModes().at(5));
               b.ports.addModule(5, 5);
           }),
           foundAndReadMs(5));

    report("(b) first run, locked, 15 silent ports, COM16", medianScanMs([](WorkflowBench &b) {
               for (int port = 1; port <= 15; ++port)
                   b.ports.addSilentPort(port);
               b.ports.addModule(16, 5);
           }),
           15 * 2 * UnansweredMs(5, 4) + foundAndReadMs(5));

    report("(c) unlocked, module on COM2 at index 3", medianScanMs([](WorkflowBench &b) {
               b.window.locked = false;
               b.ports.addModule(2, 3);
           }),
           [] {
               double silent = 0;
               for (int index = 0; index < 3; ++index)
                   silent += 2 * UnansweredMs(index, 4);
               return silent + foundAndReadMs(3);
           }());
    std::printf("goal: within 5 %% of the least time (ratio 1.05 or less)\n");
    return 0;
}
