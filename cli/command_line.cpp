#include "command_line.h"

#include "cli_session.h"
#include "command_arguments.h"
#include "config_folder.h"
#include "console_output.h"
#include "exit_status.h"
#include "every_port_scan.h"
#include "frame_trace.h"
#include "module_commands.h"
#include "port_inventory.h"
#include "port_mapping_commands.h"
#include "ports_report.h"
#include "program_version.h"

#include <QCommandLineParser>

#include <unistd.h>

namespace {

const char Usage[] =
    "Usage: tx4040 SUBCOMMAND [OPTIONS]\n"
    "The VANTREL TX4040 module from a terminal.\n\n"
    "Subcommands:\n"
    "  ports [--json]        each COM number, its device, and whether you can open it now\n"
    "  map N DEVICE          link COM N to DEVICE by its stable name in /dev/serial (the\n"
    "                        first map keeps the system's numbers of the other ports)\n"
    "  unmap N               remove COM N's link (the last one: back to the system's list)\n"
    "  scan [--port N] [--setting S] [--every-port] [--json] [--no-store]\n"
    "                        find the module: the remembered place first, then COM1 to\n"
    "                        COM16 at all twelve settings (--setting: at S only);\n"
    "                        --every-port searches every port at once and lists every\n"
    "                        module found\n"
    "  info [--json]         read the module at the remembered place\n"
    "  set-id NN             set the module's ID (1 to 99)\n"
    "  set-setting MODE      set the module's serial line setting (e.g. 9600,e,8,1, or\n"
    "                        its index 0 to 11)\n"
    "  set-mode hold|normal [--polarity 0101]\n"
    "                        set the output mode and the input polarity (DI1 to DI4)\n"
    "  factory               restore the factory settings\n"
    "  watch [--outputs 1010] [--cycles N] [--json] [--reconnect]\n"
    "                        drive the outputs (DO1 to DO4) and print each change of the\n"
    "                        inputs until Ctrl+C, SIGTERM or N readings; --reconnect\n"
    "                        waits for a device that went away and goes on\n\n"
    "The setting subcommands and watch read the module at the remembered place first.\n\n"
    "Options of the subcommands that talk to the module:\n"
    "  --trace FILE          log every frame to FILE (- for standard error)\n"
    "  --language L          English, ChineseGB or ChineseBIG5 for the messages\n\n"
    "Options: --help, --version\n\n"
    "Exit status: 0 done; 1 the module did not answer or refused; 2 usage;\n"
    "3 the port cannot be opened (the reason on standard error).\n";

int usageError(const QString &message)
{
    WriteTo(stderr, "tx4040: " + message.toUtf8() + "\n(tx4040 --help tells more)\n");
    return ExitStatus::Usage;
}

// A subcommand's options and arguments, with the options every module subcommand takes.
class Arguments
{
public:
    Arguments(const QString &subcommand, const QList<QCommandLineOption> &options,
              bool talksToModule)
        : m_subcommand(subcommand), m_talksToModule(talksToModule)
    {
        m_parser.addOptions(options);
        if (talksToModule)
            m_parser.addOptions({m_trace, m_language});
    }

    // False (having said why) for options or a count of arguments the subcommand does not
    // take.
    bool parse(const QStringList &arguments, int positionalCount)
    {
        if (!m_parser.parse(QStringList{QStringLiteral("tx4040")} + arguments))
            return fail(m_parser.errorText());
        if (m_parser.positionalArguments().size() != positionalCount) {
            return fail(positionalCount == 0
                            ? QStringLiteral("%1 takes no arguments").arg(m_subcommand)
                            : QStringLiteral("%1 takes %2 argument%3")
                                  .arg(m_subcommand)
                                  .arg(positionalCount)
                                  .arg(positionalCount > 1 ? QStringLiteral("s") : QString()));
        }
        return true;
    }

    QString positional(int index) const { return m_parser.positionalArguments().value(index); }
    bool isSet(const QCommandLineOption &option) const { return m_parser.isSet(option); }
    QString value(const QCommandLineOption &option) const { return m_parser.value(option); }

    // The session's options; false (having said why) for a bad language or a trace that
    // cannot be written, before any port is touched.
    bool sessionOptions(SessionOptions &options)
    {
        if (m_parser.isSet(m_language)) {
            options.language = LanguageArgument(m_parser.value(m_language));
            if (!options.language)
                return fail(QStringLiteral("unknown language: %1").arg(m_parser.value(m_language)));
        }
        if (m_parser.isSet(m_trace)) {
            QString error;
            options.services.trace = FrameTrace::open(m_parser.value(m_trace), error);
            if (!options.services.trace)
                return fail(QStringLiteral("cannot write the trace to %1").arg(error));
        }
        options.showProgress = ::isatty(STDERR_FILENO) == 1;
        return true;
    }

    bool fail(const QString &message)
    {
        m_error = message;
        return false;
    }
    int usageError() const { return ::usageError(m_error); }

private:
    QString m_subcommand;
    bool m_talksToModule;
    QCommandLineParser m_parser;
    const QCommandLineOption m_trace{QStringLiteral("trace"), {}, QStringLiteral("FILE")};
    const QCommandLineOption m_language{QStringLiteral("language"), {}, QStringLiteral("L")};
    QString m_error;
};

// A module subcommand, once its own arguments are checked: the session, then the work.
template <typename Command> int withSession(Arguments &parsed, Command command, bool store = true)
{
    SessionOptions options;
    options.store = store;
    if (!parsed.sessionOptions(options))
        return parsed.usageError();
    CliSession session(options);
    return command(session);
}

int ports(const QStringList &arguments)
{
    const QCommandLineOption json(QStringLiteral("json"));
    Arguments parsed(QStringLiteral("ports"), {json}, false);
    if (!parsed.parse(arguments, 0))
        return parsed.usageError();
    const PortMap map(PortsFolder());
    const QList<PortEntry> entries = ListPorts(map);
    const QString warning = map.emptyFolderWarning();
    if (!warning.isEmpty())
        WriteTo(stderr, "tx4040: " + warning.toUtf8() + '\n');
    WriteTo(stdout, parsed.isSet(json) ? PortsJson(entries, map) : PortsText(entries));
    return ExitStatus::Done;
}

std::optional<int> mappedPortArgument(Arguments &parsed)
{
    const std::optional<int> number = PortArgument(parsed.positional(0));
    if (!number)
        parsed.fail(
            QStringLiteral("not a COM port number from 1 to 9999: %1").arg(parsed.positional(0)));
    return number;
}

int map(const QStringList &arguments)
{
    Arguments parsed(QStringLiteral("map"), {}, false);
    if (!parsed.parse(arguments, 2))
        return parsed.usageError();
    const std::optional<int> number = mappedPortArgument(parsed);
    return number ? RunMap(*number, parsed.positional(1)) : parsed.usageError();
}

int unmap(const QStringList &arguments)
{
    Arguments parsed(QStringLiteral("unmap"), {}, false);
    if (!parsed.parse(arguments, 1))
        return parsed.usageError();
    const std::optional<int> number = mappedPortArgument(parsed);
    return number ? RunUnmap(*number) : parsed.usageError();
}

int scan(const QStringList &arguments)
{
    const QCommandLineOption port(QStringLiteral("port"), {}, QStringLiteral("N"));
    const QCommandLineOption setting(QStringLiteral("setting"), {}, QStringLiteral("S"));
    const QCommandLineOption everyPort(QStringLiteral("every-port"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption noStore(QStringLiteral("no-store"));
    Arguments parsed(QStringLiteral("scan"), {port, setting, everyPort, json, noStore}, true);
    if (!parsed.parse(arguments, 0))
        return parsed.usageError();
    ScanRequest request;
    request.json = parsed.isSet(json);
    if (parsed.isSet(port)) {
        request.port = PortArgument(parsed.value(port));
        if (!request.port)
            return usageError(QStringLiteral("not a COM port number: %1").arg(parsed.value(port)));
        if (parsed.isSet(everyPort))
            return usageError(QStringLiteral("--port and --every-port exclude each other"));
    }
    if (parsed.isSet(setting)) {
        request.settingIndex = SettingArgument(parsed.value(setting));
        if (!request.settingIndex)
            return usageError(
                QStringLiteral("not a serial line setting: %1").arg(parsed.value(setting)));
    }
    return withSession(
        parsed,
        [&](CliSession &session) {
            return parsed.isSet(everyPort) ? RunEveryPortScan(session, request)
                                           : RunScan(session, request);
        },
        !parsed.isSet(noStore));
}

int info(const QStringList &arguments)
{
    const QCommandLineOption json(QStringLiteral("json"));
    Arguments parsed(QStringLiteral("info"), {json}, true);
    if (!parsed.parse(arguments, 0))
        return parsed.usageError();
    return withSession(parsed,
                       [&](CliSession &session) { return RunInfo(session, parsed.isSet(json)); });
}

int setId(const QStringList &arguments)
{
    Arguments parsed(QStringLiteral("set-id"), {}, true);
    if (!parsed.parse(arguments, 1))
        return parsed.usageError();
    const std::optional<QString> id = ModuleIdArgument(parsed.positional(0));
    if (!id)
        return usageError(
            QStringLiteral("not a module ID from 1 to 99: %1").arg(parsed.positional(0)));
    return withSession(parsed, [&](CliSession &session) { return RunSetId(session, *id); });
}

int setSetting(const QStringList &arguments)
{
    Arguments parsed(QStringLiteral("set-setting"), {}, true);
    if (!parsed.parse(arguments, 1))
        return parsed.usageError();
    const std::optional<int> index = SettingArgument(parsed.positional(0));
    if (!index)
        return usageError(
            QStringLiteral("not a serial line setting: %1").arg(parsed.positional(0)));
    return withSession(parsed, [&](CliSession &session) { return RunSetSetting(session, *index); });
}

int setMode(const QStringList &arguments)
{
    const QCommandLineOption polarity(QStringLiteral("polarity"), {}, QStringLiteral("0101"));
    Arguments parsed(QStringLiteral("set-mode"), {polarity}, true);
    if (!parsed.parse(arguments, 1))
        return parsed.usageError();
    const std::optional<OutputMode> mode = ModeArgument(parsed.positional(0));
    if (!mode)
        return usageError(
            QStringLiteral("the mode is hold or normal, not %1").arg(parsed.positional(0)));
    std::optional<FourFlags> flags;
    if (parsed.isSet(polarity)) {
        flags = FlagsArgument(parsed.value(polarity));
        if (!flags)
            return usageError(
                QStringLiteral("the polarity is four 0 or 1, not %1").arg(parsed.value(polarity)));
    }
    return withSession(parsed,
                       [&](CliSession &session) { return RunSetMode(session, *mode, flags); });
}

int factory(const QStringList &arguments)
{
    Arguments parsed(QStringLiteral("factory"), {}, true);
    if (!parsed.parse(arguments, 0))
        return parsed.usageError();
    return withSession(parsed, RunFactory);
}

int watch(const QStringList &arguments)
{
    const QCommandLineOption outputs(QStringLiteral("outputs"), {}, QStringLiteral("1010"));
    const QCommandLineOption cycles(QStringLiteral("cycles"), {}, QStringLiteral("N"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption reconnect(QStringLiteral("reconnect"));
    Arguments parsed(QStringLiteral("watch"), {outputs, cycles, json, reconnect}, true);
    if (!parsed.parse(arguments, 0))
        return parsed.usageError();
    WatchRequest request;
    if (parsed.isSet(outputs)) {
        const std::optional<FourFlags> flags = FlagsArgument(parsed.value(outputs));
        if (!flags)
            return usageError(
                QStringLiteral("the outputs are four 0 or 1, not %1").arg(parsed.value(outputs)));
        request.outputs = *flags;
    }
    if (parsed.isSet(cycles)) {
        bool ok = false;
        request.cycles = parsed.value(cycles).toInt(&ok);
        if (!ok || *request.cycles < 1)
            return usageError(
                QStringLiteral("not a count of cycles: %1").arg(parsed.value(cycles)));
    }
    request.json = parsed.isSet(json);
    request.reconnect = parsed.isSet(reconnect);
    return withSession(parsed, [&](CliSession &session) { return RunWatch(session, request); });
}

} // namespace

int RunCommandLine(const QStringList &arguments)
{
    const QString subcommand = arguments.value(0);
    if (subcommand == u"--help" || subcommand == u"-h") {
        WriteTo(stdout, Usage);
        return ExitStatus::Done;
    }
    if (subcommand == u"--version") {
        WriteTo(stdout, QByteArray("tx4040 ") + ProgramVersion + '\n');
        return ExitStatus::Done;
    }
    const struct
    {
        const char16_t *name;
        int (*run)(const QStringList &);
    } subcommands[] = {{u"ports", ports},
                       {u"map", map},
                       {u"unmap", unmap},
                       {u"scan", scan},
                       {u"info", info},
                       {u"set-id", setId},
                       {u"set-setting", setSetting},
                       {u"set-mode", setMode},
                       {u"factory", factory},
                       {u"watch", watch}};
    for (const auto &entry : subcommands) {
        if (subcommand == entry.name)
            return entry.run(arguments.mid(1));
    }
    if (subcommand.isEmpty())
        return usageError(QStringLiteral("a subcommand is missing"));
    return usageError(QStringLiteral("unknown subcommand: %1").arg(subcommand));
}
