// tx4040-sim: the TX4040 module on a pseudo-terminal, linked as COM<n> in the ports
// folder of $XDG_CONFIG_HOME/VANTREL. Prints the device path and runs until
// SIGINT or SIGTERM, or until a hang-up fault makes the device vanish. With --serials,
// modules are taken off and put on in turn: at SIGUSR1, or every --swap-every ms.

#include "config_folder.h"
#include "fault_plan.h"
#include "line_setting.h"
#include "run_command.h"
#include "simulated_module.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <optional>

namespace {

constexpr int MaxPortNumber = 9999;

// Printable ASCII, exactly as long as the module's field.
bool isFieldText(const QString &text, int length)
{
    if (text.size() != length)
        return false;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    return true;
}

// One or two decimal digits.
std::optional<QByteArray> moduleIdOf(const QString &text)
{
    if (text.isEmpty() || text.size() > 2)
        return std::nullopt;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    return QByteArray::number(text.toInt()).rightJustified(2, '0');
}

bool isFlags(const QString &text, int length)
{
    if (text.size() != length)
        return false;
    for (const QChar c : text) {
        if (c != u'0' && c != u'1')
            return false;
    }
    return true;
}

// The modules of a bench, one after another on the same line: each put on as the options
// describe it, with the next serial number; each step takes the one on the line off, or
// puts the next one on.
class ModuleSwaps
{
public:
    ModuleSwaps(SimulatedModule &module, const ModuleState &first, const QStringList &serials)
        : m_module(module), m_first(first), m_serials(serials)
    {}

    void step()
    {
        if (!m_module.isAway()) {
            m_module.takeAway();
            std::fprintf(stderr, "tx4040-sim: %s taken off\n", qPrintable(m_serials.value(m_on)));
        } else if (m_on + 1 < m_serials.size()) {
            ModuleState next = m_first;
            next.serialNo = m_serials.at(++m_on).toLatin1();
            m_module.putOn(next);
            std::fprintf(stderr, "tx4040-sim: %s put on\n", qPrintable(m_serials.at(m_on)));
        }
        std::fflush(stderr);
    }

private:
    SimulatedModule &m_module;
    ModuleState m_first;
    QStringList m_serials;
    int m_on = 0;
};

qint64 nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

int usageError(const QString &message)
{
    std::fprintf(stderr, "tx4040-sim: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    // Signals are taken by sigtimedwait() below, never by a handler on another thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigset_t blocked = stopSignals;
    sigaddset(&blocked, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);

    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated VANTREL TX4040 module"));
    parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("command"),
        QStringLiteral("After --: a command to run beside the module, with the pty line library "
                       "preloaded; the module ends when it ends, with its exit status."),
        QStringLiteral("[-- COMMAND [ARGS...]]"));
    const QCommandLineOption port(
        {QStringLiteral("p"), QStringLiteral("port")},
        QStringLiteral("COM port number to appear as (from 1; the scan searches 1-16)."),
        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption setting(
        {QStringLiteral("s"), QStringLiteral("setting")},
        QStringLiteral("Line setting: index 0-11 or a mode string such as 19200,e,8,1."),
        QStringLiteral("setting"), QStringLiteral("5"));
    const QCommandLineOption id(QStringLiteral("id"), QStringLiteral("Module ID, 00-99."),
                                QStringLiteral("id"), QStringLiteral("01"));
    const QCommandLineOption serial(QStringLiteral("serial"),
                                    QStringLiteral("Serial number, 8 characters."),
                                    QStringLiteral("text"), QStringLiteral("TX040001"));
    const QCommandLineOption version(QStringLiteral("firmware"),
                                     QStringLiteral("Version text, 8 characters."),
                                     QStringLiteral("text"), QStringLiteral("01.05-03"));
    const QCommandLineOption mode(QStringLiteral("mode"), QStringLiteral("hold or normal."),
                                  QStringLiteral("mode"), QStringLiteral("hold"));
    const QCommandLineOption polarity(QStringLiteral("polarity"),
                                      QStringLiteral("Input polarity flags DI1-DI4, e.g. 0101."),
                                      QStringLiteral("flags"), QStringLiteral("0000"));
    const QCommandLineOption inputs(
        QStringLiteral("inputs"),
        QStringLiteral("Input contacts DI1-DI4; several, comma-separated, are stepped "
                       "through every --inputs-period ms."),
        QStringLiteral("flags"), QStringLiteral("0000"));
    const QCommandLineOption period(QStringLiteral("inputs-period"),
                                    QStringLiteral("Milliseconds per input pattern."),
                                    QStringLiteral("ms"), QStringLiteral("1000"));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("A port with no module behind it."));
    const QCommandLineOption echo(
        QStringLiteral("echo"),
        QStringLiteral("A two-wire RS-485 adapter: the program hears every byte it writes."));
    const QCommandLineOption latency(
        QStringLiteral("latency"),
        QStringLiteral("An FTDI-type adapter's latency timer: the program receives bytes only "
                       "at ticks of MS ms (1 ms once it asks for low latency)."),
        QStringLiteral("MS"));
    const QCommandLineOption refuse(
        QStringLiteral("refuse"),
        QStringLiteral("What the adapter's driver will not do: parity (ignored without a word) "
                       "or low-latency (TIOCSSERIAL fails, with --latency). May be repeated."),
        QStringLiteral("what"));
    const QCommandLineOption serials(
        QStringLiteral("serials"),
        QStringLiteral("Serial numbers of modules that follow each other on the line, the first "
                       "put on at the start; SIGUSR1 takes the one on the line off, or puts the "
                       "next one on, each as the other options describe it."),
        QStringLiteral("A,B,..."));
    const QCommandLineOption swapEvery(QStringLiteral("swap-every"),
                                       QStringLiteral("With --serials: a swap step every MS ms."),
                                       QStringLiteral("MS"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Write every frame heard and sent to FILE."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption fault(
        QStringLiteral("fault"),
        QStringLiteral(
            "KIND[=VALUE][@COMMAND][*COUNT|*always]; KIND: no-reply, late, "
            "bad-checksum, lowercase-checksum, wrong-length, stray-byte, babble, "
            "zero-byte, hang-up, raw=HEX, pretend (acknowledged, not done), leave (done, then "
            "nothing more answered). May be repeated."),
        QStringLiteral("fault"));
    parser.addOptions({port, setting, id, serial, version, mode, polarity, inputs, period, silent,
                       echo, latency, refuse, serials, swapEvery, trace, fault});
    parser.process(app);

    if (!parser.positionalArguments().isEmpty() && !app.arguments().contains(QStringLiteral("--")))
        return usageError(QStringLiteral("a command to run goes after --"));

    SimConfig config;
    config.portsFolder = PortsFolder();
    bool ok = false;
    config.portNumber = parser.value(port).toInt(&ok);
    if (!ok || config.portNumber < 1 || config.portNumber > MaxPortNumber)
        return usageError(QStringLiteral("--port takes 1 to %1").arg(MaxPortNumber));

    const QString settingText = parser.value(setting);
    const int index = settingText.toInt(&ok);
    if (ok && index >= 0 && index < SimSettingCount) {
        config.state.settingIndex = index;
    } else {
        config.state.settingIndex = -1;
        for (int i = 0; i < SimSettingCount; ++i) {
            if (SimLineSetting::fromModeString(settingText) == ModuleSetting(i))
                config.state.settingIndex = i;
        }
        if (config.state.settingIndex < 0)
            return usageError(QStringLiteral("unknown setting: %1").arg(settingText));
    }

    const std::optional<QByteArray> moduleId = moduleIdOf(parser.value(id));
    if (!moduleId)
        return usageError(QStringLiteral("--id takes two decimal digits, 00 to 99"));
    config.state.id = *moduleId;
    if (!isFieldText(parser.value(serial), 8))
        return usageError(QStringLiteral("--serial takes 8 printable ASCII characters"));
    config.state.serialNo = parser.value(serial).toLatin1();
    const QStringList serialList =
        parser.isSet(serials) ? parser.value(serials).split(u',') : QStringList{};
    for (const QString &text : serialList) {
        if (!isFieldText(text, 8))
            return usageError(QStringLiteral("--serials takes serial numbers of 8 printable ASCII "
                                             "characters, comma-separated"));
    }
    if (!serialList.isEmpty())
        config.state.serialNo = serialList.first().toLatin1();
    int swapEveryMs = 0;
    if (parser.isSet(swapEvery)) {
        swapEveryMs = parser.value(swapEvery).toInt(&ok);
        if (!ok || swapEveryMs < 1 || serialList.isEmpty())
            return usageError(QStringLiteral("--swap-every takes milliseconds, with --serials"));
    }
    if (!isFieldText(parser.value(version), 8))
        return usageError(QStringLiteral("--firmware takes 8 printable ASCII characters"));
    config.state.version = parser.value(version).toLatin1();
    const QString modeName = parser.value(mode).toLower();
    if (modeName != u"hold" && modeName != u"normal")
        return usageError(QStringLiteral("--mode takes hold or normal"));
    config.state.holdMode = modeName == u"hold";
    if (!isFlags(parser.value(polarity), 4))
        return usageError(QStringLiteral("--polarity takes four 0/1 characters"));
    config.state.polarity = parser.value(polarity).toLatin1() + QByteArray(12, '0');
    const QStringList patterns = parser.value(inputs).split(u',');
    for (const QString &p : patterns) {
        if (!isFlags(p, 4))
            return usageError(QStringLiteral("--inputs takes four 0/1 characters"));
    }
    config.state.contacts = patterns.first().toLatin1();
    const int periodMs = parser.value(period).toInt(&ok);
    if (!ok || periodMs < 1 || periodMs > 3'600'000)
        return usageError(QStringLiteral("--inputs-period takes 1 to 3600000 ms"));
    config.silent = parser.isSet(silent);
    config.echo = parser.isSet(echo);
    if (parser.isSet(latency)) {
        config.latencyMs = parser.value(latency).toInt(&ok);
        if (!ok || config.latencyMs < 1 || config.latencyMs > 255)
            return usageError(QStringLiteral("--latency takes 1 to 255 ms"));
    }
    for (const QString &what : parser.values(refuse)) {
        if (what == u"parity")
            config.refusesParity = true;
        else if (what == u"low-latency")
            config.refusesLowLatency = true;
        else
            return usageError(QStringLiteral("--refuse takes parity or low-latency"));
    }
    config.tracePath = parser.value(trace);

    SimulatedModule module(config);
    for (const QString &text : parser.values(fault)) {
        QString error;
        const auto parsed = ParseFault(text, &error);
        if (!parsed)
            return usageError(error);
        module.addFault(*parsed);
    }
    QString error;
    if (!module.start(&error))
        return usageError(error);
    if (patterns.size() > 1) {
        QList<QByteArray> schedule;
        for (const QString &p : patterns)
            schedule.append(p.toLatin1());
        module.setContactSchedule(schedule, periodMs);
    }

    // A swap step at SIGUSR1, or when the next timed one is due.
    ModuleSwaps swaps(module, config.state, serialList);
    qint64 nextSwapMs = nowMs() + swapEveryMs;
    sigset_t swapSignal;
    sigemptyset(&swapSignal);
    sigaddset(&swapSignal, SIGUSR1);
    const auto swapWhenDue = [&] {
        const timespec now{0, 0};
        const bool asked = sigtimedwait(&swapSignal, nullptr, &now) == SIGUSR1;
        const bool due = swapEveryMs > 0 && nowMs() >= nextSwapMs;
        if (due)
            nextSwapMs += swapEveryMs;
        if ((asked || due) && !serialList.isEmpty())
            swaps.step();
    };

    // With a command to run, standard output is the command's alone.
    const QStringList command = parser.positionalArguments();
    if (!command.isEmpty()) {
        std::fprintf(stderr, "tx4040-sim: COM%d is %s\n", config.portNumber,
                     qPrintable(module.devicePath()));
        const int status = RunCommand(command, stopSignals, swapWhenDue);
        module.stop();
        return status;
    }
    std::printf("%s\n", qPrintable(module.devicePath()));
    std::fflush(stdout);

    const timespec poll{0, 10'000'000};
    while (!module.hasVanished()) {
        if (sigtimedwait(&stopSignals, nullptr, &poll) > 0)
            break;
        swapWhenDue();
    }
    module.stop();
    return 0;
}
