// How close a scan comes to the least time its own steps allow, against simulated
// modules and silent ports: the pauses, the tries, the reply bound for every
// unanswered "B00B", the wire time of every answered exchange, and the final tone.
//
//  (a) found at the remembered place;
//  (b) first run, list locked: fifteen silent ports, the module on COM16;
//  (c) list not locked: the module on COM2 at 9600,e,8,1 (index 3).

#include "baud_rate_modes.h"
#include "line_setting.h"
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
constexpr double WritePausesMs = 9;  // 1 + 5 + 1 + 1 + 1 after the request's writes
constexpr double ReplyBoundMs = 151; // the wait ends at the first idle read past 150 ms
constexpr double ToneMs = 300;
constexpr double InformationPausesMs = 300;

// An answered exchange: the request's pauses or wire time, then the reply's wire time.
double answeredMs(int settingIndex, int replyCharacters)
{
    const double character = ModuleSetting(settingIndex).characterTimeNs() / 1e6;
    return std::max(WritePausesMs, 8 * character) + replyCharacters * character;
}

double unansweredMs()
{
    return WritePausesMs + ReplyBoundMs;
}

// "B00B" answered, then "B00V", "B00G", "B00A" with their pauses, then the tone.
double foundAndReadMs(int settingIndex)
{
    return answeredMs(settingIndex, 16) + InformationPausesMs + answeredMs(settingIndex, 16) +
           answeredMs(settingIndex, 9) + answeredMs(settingIndex, 24) + ToneMs;
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
           15 * 2 * unansweredMs() + foundAndReadMs(5));

    report("(c) unlocked, module on COM2 at index 3", medianScanMs([](WorkflowBench &b) {
               b.window.locked = false;
               b.ports.addModule(2, 3);
           }),
           3 * 2 * unansweredMs() + foundAndReadMs(3));
    std::printf("goal: within 5 %% of the least time (ratio 1.05 or less)\n");
    return 0;
}
