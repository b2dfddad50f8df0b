// The live I/O loop against the simulated module.
//
// Speed: cycles per second at a few line settings, against the least a cycle can take:
// 30 rounds of a 1 ms sleep, then one "B00F" exchange at the line's speed (the
// request's writes with their wire time and pauses, then the reply's 12 characters;
// least_time.h). Then behind an FTDI-type adapter with a 16 ms latency timer, whose
// driver takes low latency, and one whose driver refuses it.
//
// Soak: many cycles with a fault now and then; a fault that ends the loop is answered
// as an operator would, by starting it again. Resident memory must not grow, and
// every fault must end in an orderly way.
//
// bench_live_io [--cycles N]   (soak length, 10000 by default)

#include "baud_rate_modes.h"
#include "least_time.h"
#include "live_io.h"
#include "workflow_bench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr int SpeedSeconds = 3;

double threadCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

int outputCommandsHeard(const SimulatedModule &module)
{
    const QList<QByteArray> heard = module.heardCommands();
    return static_cast<int>(std::count_if(
        heard.begin(), heard.end(), [](const QByteArray &c) { return c.startsWith("B00F"); }));
}

// The adapter behind the port: an ideal UART, or an FTDI-type one with a 16 ms latency
// timer whose driver takes low latency or refuses it.
enum class Adapter
{
    Plain,
    LatencyTaken,
    LatencyRefused
};

void speed(int index, Adapter adapter = Adapter::Plain)
{
    WorkflowBench bench;
    SimConfig config;
    config.portNumber = 1;
    config.state.settingIndex = index;
    config.latencyMs = adapter == Adapter::Plain ? 0 : 16;
    config.refusesLowLatency = adapter == Adapter::LatencyRefused;
    SimulatedModule &module = bench.ports.addModule(config);
    bench.foundAt(1, index);
    QTimer::singleShot(SpeedSeconds * 1000, [&] { ProcessModule(bench.context); });
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = threadCpuMs();
    ProcessModule(bench.context);
    const double cpu = threadCpuMs() - cpuBefore;
    const double seconds = timer.nsecsElapsed() / 1e9; // the closing tone takes no time here
    const int cycles = outputCommandsHeard(module);

    const double leastMs = 30 + AnsweredMs(index, 8, OutputsReplyLength);
    const double perSecond = cycles / seconds;
    const char *adapterName = adapter == Adapter::Plain          ? ""
                              : adapter == Adapter::LatencyTaken ? " FTDI, low latency"
                                                                 : " FTDI, refused";
    std::printf("%-32s %8.1f %8.1f %7.3f %10.2f\n",
                qPrintable(BaudRateModes().at(index) + QString::fromLatin1(adapterName)), perSecond,
                1000 / leastMs, (1000 / leastMs) / perSecond, cpu / cycles);
}

Fault occasionalFault(QRandomGenerator &random)
{
    static const FaultKind kinds[] = {FaultKind::NoReply,     FaultKind::BadChecksum,
                                      FaultKind::WrongLength, FaultKind::StrayByte,
                                      FaultKind::LateReply,   FaultKind::ZeroByte,
                                      FaultKind::Babble,      FaultKind::LowercaseChecksum};
    const FaultKind kind = kinds[random.bounded(int(std::size(kinds)))];
    int value = 0;
    if (kind == FaultKind::WrongLength)
        value = random.bounded(2) ? 1 : -1;
    else if (kind == FaultKind::LateReply)
        value = 200;
    else if (kind == FaultKind::StrayByte)
        value = '~';
    else if (kind == FaultKind::ZeroByte)
        value = 7;
    else if (kind == FaultKind::Babble)
        value = 300;
    return Fault{kind, "B00F", 1, value, {}};
}

int soak(int targetCycles)
{
    WorkflowBench bench;
    SimulatedModule &module = bench.ports.addModule(1, 10);
    module.setContactSchedule({"1000", "0100", "0010", "0001"}, 100);
    bench.foundAt(1, 10);
    QRandomGenerator random(4040);

    int cycles = 0;
    int faults = 0;
    int loops = 0;
    int disorderly = 0;
    long rssAfterWarmUp = -1;
    long rssMax = 0;
    QTimer faulter;
    QObject::connect(&faulter, &QTimer::timeout, [&] {
        if (random.bounded(4) == 0) {
            module.addFault(occasionalFault(random));
            ++faults;
        }
    });
    faulter.start(1000);
    while (cycles < targetCycles) {
        ++loops;
        // The loop ends by a fault, or after a while by a second press.
        QTimer stop;
        stop.setSingleShot(true);
        QObject::connect(&stop, &QTimer::timeout, [&] { ProcessModule(bench.context); });
        stop.start(20'000);
        ProcessModule(bench.context);
        stop.stop();
        if (bench.state.ProcessRunning || bench.port.IsOpen() || !bench.window.otherWorkEnabled ||
            bench.window.busy || bench.window.outputBoxes != FourFlags{})
            ++disorderly;
        cycles += outputCommandsHeard(module);
        module.clearTrace();
        module.clearFaults();
        bench.window.events.clear();
        bench.window.messages.clear();
        bench.window.inputHistory.clear();
        const long rss = residentKiB();
        if (rssAfterWarmUp < 0 && cycles >= 500)
            rssAfterWarmUp = rss;
        rssMax = std::max(rssMax, rss);
        std::fprintf(stderr, "\r%d cycles, %d loops, %d faults", cycles, loops, faults);
    }
    const long rssEnd = residentKiB();
    std::fprintf(stderr, "\n");
    std::printf("\nsoak: %d cycles in %d loops, %d faults injected, %d loops ended out of order\n",
                cycles, loops, faults, disorderly);
    std::printf("resident memory: %ld KiB after warm-up, %ld KiB at the end, %ld KiB at most "
                "(growth %ld KiB)\n",
                rssAfterWarmUp, rssEnd, rssMax, rssEnd - rssAfterWarmUp);
    return disorderly == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int soakCycles = 10000;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--cycles"));
        at >= 0 && at + 1 < args.size())
        soakCycles = args.at(at + 1).toInt();

    std::printf("%-32s %8s %8s %7s %10s\n", "setting", "cycles/s", "most/s", "ratio", "cpu ms/cyc");
    for (const int index : {1, 5, 10})
        speed(index);
    speed(10, Adapter::LatencyTaken);
    speed(10, Adapter::LatencyRefused);
    std::printf("goal: within 5 %% of the most cycles a second the line allows (ratio 1.05 or "
                "less); behind an FTDI-type adapter as well, where its driver takes low latency\n");
    return soak(soakCycles);
}
