#include "command_line.h"

#include "apply_command.h"
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
#include "provision_command.h"
#include "program_version.h"
#include "subcommand_help.h"
#include "wanted_values.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

int usageError(const QString &message, const QString &subcommand = {})
{
    const QByteArray more = subcommand.isEmpty() ? QByteArray("tx4040 --help")
                                                 : "tx4040 " + subcommand.toUtf8() + " --help";
    WriteTo(stderr, "tx4040: " + message.toUtf8() + "\n(" + more + " tells more)\n");
    return ExitStatus::Usage;
}

// --json and -j, --port and -p, in every subcommand that takes them.
QCommandLineOption jsonOption()
{
    return QCommandLineOption(QStringList{QStringLiteral("j"), QStringLiteral("json")});
}

QCommandLineOption portOption()
{
    return QCommandLineOption(QStringList{QStringLiteral("p"), QStringLiteral("port")}, {},
                              QStringLiteral("N"));
}

// A count of arguments that the subcommand checks itself.
constexpr int AnyCount = -1;

// A subcommand's options and arguments, with the options every module subcommand takes.
class Arguments
{
public:
    Arguments(const QString &subcommand, const QList<QCommandLineOption> &options,
              bool talksToModule)
        : m_subcommand(subcommand)
    {
        m_parser.addOptions(options);
        m_parser.addOption(m_help);
        if (talksToModule)
            m_parser.addOptions({m_trace, m_language, m_port, m_device});
    }

    // The exit status to end with at once: the subcommand's usage printed for --help,
    // or options or a count of arguments it does not take (having said why); none to go
    // on.
    std::optional<int> parse(const QStringList &arguments, int positionalCount)
    {
        if (!m_parser.parse(QStringList{QStringLiteral("tx4040")} + arguments))
            return failWith(m_parser.errorText());
        if (m_parser.isSet(m_help)) {
            WriteTo(stdout, SubcommandUsage(m_subcommand));
            return ExitStatus::Done;
        }
        if (positionalCount != AnyCount &&
            m_parser.positionalArguments().size() != positionalCount) {
            return failWith(positionalCount == 0
                                ? QStringLiteral("%1 takes no arguments").arg(m_subcommand)
                                : QStringLiteral("%1 takes %2 argument%3")
                                      .arg(m_subcommand)
                                      .arg(positionalCount)
                                      .arg(positionalCount > 1 ? QStringLiteral("s") : QString()));
        }
        return std::nullopt;
    }

    qsizetype positionalCount() const { return m_parser.positionalArguments().size(); }
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
        if (m_parser.isSet(m_port) && m_parser.isSet(m_device))
            return fail(QStringLiteral("--port and --device name the port twice"));
        if (m_parser.isSet(m_port)) {
            options.port = PortArgument(m_parser.value(m_port));
            if (!options.port)
                return fail(
                    QStringLiteral("not a COM port number: %1").arg(m_parser.value(m_port)));
        }
        if (m_parser.isSet(m_device)) {
            // Its real device, so that the lock file is named as other serial programs name it.
            options.device = QFileInfo(m_parser.value(m_device)).canonicalFilePath();
            if (options.device.isEmpty())
                return fail(QStringLiteral("no such device: %1").arg(m_parser.value(m_device)));
        }
        return true;
    }

    // True when --port or --device named a port.
    bool namesPort() const { return m_parser.isSet(m_port) || m_parser.isSet(m_device); }

    bool fail(const QString &message)
    {
        m_error = message;
        return false;
    }
    int failWith(const QString &message)
    {
        fail(message);
        return usageError();
    }
    int usageError() const { return ::usageError(m_error, m_subcommand); }

private:
    QString m_subcommand;
    QCommandLineParser m_parser;
    const QCommandLineOption m_help{QStringList{QStringLiteral("h"), QStringLiteral("help")}};
    const QCommandLineOption m_trace{QStringLiteral("trace"), {}, QStringLiteral("FILE")};
    const QCommandLineOption m_language{QStringLiteral("language"), {}, QStringLiteral("L")};
    const QCommandLineOption m_port = portOption();
    const QCommandLineOption m_device{QStringLiteral("device"), {}, QStringLiteral("PATH")};
    QString m_error;
};

// A module subcommand, once its own arguments are checked: the session, then the work.
// searchProgress: a search's progress on a terminal; provision shows its own.
template <typename Command>
int withSession(Arguments &parsed, Command command, bool store = true, bool searchProgress = true)
{
    SessionOptions options;
    options.store = store;
    if (!parsed.sessionOptions(options))
        return parsed.usageError();
    options.showProgress = options.showProgress && searchProgress;
    CliSession session(options);
    return command(session);
}

int ports(const QStringList &arguments)
{
    const QCommandLineOption json = jsonOption();
    Arguments parsed(QStringLiteral("ports"), {json}, false);
    if (const std::optional<int> done = parsed.parse(arguments, 0))
        return *done;
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
    if (const std::optional<int> done = parsed.parse(arguments, 2))
        return *done;
    const std::optional<int> number = mappedPortArgument(parsed);
    return number ? RunMap(*number, parsed.positional(1)) : parsed.usageError();
}

int unmap(const QStringList &arguments)
{
    Arguments parsed(QStringLiteral("unmap"), {}, false);
    if (const std::optional<int> done = parsed.parse(arguments, 1))
        return *done;
    const std::optional<int> number = mappedPortArgument(parsed);
    return number ? RunUnmap(*number) : parsed.usageError();
}

int scan(const QStringList &arguments)
{
    const QCommandLineOption setting(QStringLiteral("setting"), {}, QStringLiteral("S"));
    const QCommandLineOption everyPort(QStringLiteral("every-port"));
    const QCommandLineOption json = jsonOption();
    const QCommandLineOption noStore(QStringLiteral("no-store"));
    Arguments parsed(QStringLiteral("scan"), {setting, everyPort, json, noStore}, true);
    if (const std::optional<int> done = parsed.parse(arguments, 0))
        return *done;
    ScanRequest request;
    request.json = parsed.isSet(json);
    if (parsed.namesPort() && parsed.isSet(everyPort))
        return usageError(QStringLiteral(
            "--every-port and a port named by --port or --device exclude each other"));
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
    const QCommandLineOption json = jsonOption();
    Arguments parsed(QStringLiteral("info"), {json}, true);
    if (const std::optional<int> done = parsed.parse(arguments, 0))
        return *done;
    return withSession(parsed,
                       [&](CliSession &session) { return RunInfo(session, parsed.isSet(json)); });
}

int setId(const QStringList &arguments)
{
    Arguments parsed(QStringLiteral("set-id"), {}, true);
    if (const std::optional<int> done = parsed.parse(arguments, 1))
        return *done;
    const std::optional<QString> id = ModuleIdArgument(parsed.positional(0));
    if (!id)
        return usageError(
            QStringLiteral("not a module ID from 1 to 99: %1").arg(parsed.positional(0)));
    return withSession(parsed, [&](CliSession &session) { return RunSetId(session, *id); });
}

int setSetting(const QStringList &arguments)
{
    Arguments parsed(QStringLiteral("set-setting"), {}, true);
    if (const std::optional<int> done = parsed.parse(arguments, 1))
        return *done;
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
    if (const std::optional<int> done = parsed.parse(arguments, 1))
        return *done;
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
    if (const std::optional<int> done = parsed.parse(arguments, 0))
        return *done;
    return withSession(parsed, RunFactory);
}

int watch(const QStringList &arguments)
{
    const QCommandLineOption outputs(QStringLiteral("outputs"), {}, QStringLiteral("1010"));
    const QCommandLineOption cycles(QStringLiteral("cycles"), {}, QStringLiteral("N"));
    const QCommandLineOption json = jsonOption();
    const QCommandLineOption reconnect(QStringLiteral("reconnect"));
    Arguments parsed(QStringLiteral("watch"), {outputs, cycles, json, reconnect}, true);
    if (const std::optional<int> done = parsed.parse(arguments, 0))
        return *done;
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

// The wanted values of apply and provision: --id, --new-setting, --mode and --polarity.
class WantedOptions
{
public:
    // withId: --id too (provision gives each module the next ID itself).
    explicit WantedOptions(bool withId) : m_withId(withId) {}

    QList<QCommandLineOption> options() const
    {
        QList<QCommandLineOption> all{m_setting, m_mode, m_polarity};
        if (m_withId)
            all.prepend(m_id);
        return all;
    }

    // The options' values over `wanted`; false, having said why, for one it cannot take.
    bool readInto(const Arguments &parsed, WantedConfiguration &wanted, QString &error) const
    {
        return (!m_withId || take(parsed, m_id, ModuleIdArgument, wanted.id, error)) &&
               take(parsed, m_setting, SettingArgument, wanted.settingIndex, error) &&
               take(parsed, m_mode, ModeArgument, wanted.mode, error) &&
               take(parsed, m_polarity, FlagsArgument, wanted.polarity, error);
    }

private:
    template <typename Value>
    static bool take(const Arguments &parsed, const QCommandLineOption &option,
                     std::optional<Value> (*argument)(const QString &),
                     std::optional<Value> &wanted, QString &error)
    {
        if (!parsed.isSet(option))
            return true;
        const std::optional<Value> value = argument(parsed.value(option));
        if (!value) {
            error = QStringLiteral("--%1 cannot take %2")
                        .arg(option.names().constLast(), parsed.value(option));
            return false;
        }
        wanted = value;
        return true;
    }

    bool m_withId;
    const QCommandLineOption m_id{QStringLiteral("id"), {}, QStringLiteral("NN")};
    const QCommandLineOption m_setting{QStringLiteral("new-setting"), {}, QStringLiteral("S")};
    const QCommandLineOption m_mode{QStringLiteral("mode"), {}, QStringLiteral("M")};
    const QCommandLineOption m_polarity{QStringLiteral("polarity"), {}, QStringLiteral("0101")};
};

// The JSON text of a file, or of standard input for "-".
std::optional<QByteArray> readInput(const QString &path, QString &error)
{
    QFile file;
    const bool opened = path == u"-" ? file.open(stdin, QIODevice::ReadOnly)
                                     : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

int apply(const QStringList &arguments)
{
    const WantedOptions wantedOptions(true);
    const QCommandLineOption json = jsonOption();
    Arguments parsed(QStringLiteral("apply"), wantedOptions.options() << json, true);
    // The file is optional: none, or one.
    if (const std::optional<int> done = parsed.parse(arguments, AnyCount))
        return *done;
    if (parsed.positionalCount() > 1)
        return usageError(QStringLiteral("apply takes one file at most"), QStringLiteral("apply"));
    WantedConfiguration wanted;
    QString error;
    if (parsed.positionalCount() == 1) {
        const QString path = parsed.positional(0);
        const std::optional<QByteArray> text = readInput(path, error);
        std::optional<WantedConfiguration> fromFile;
        if (text)
            fromFile = WantedOfJson(*text, error);
        if (!fromFile)
            return usageError(text ? path + QStringLiteral(": ") + error : error,
                              QStringLiteral("apply"));
        wanted = *fromFile;
    }
    if (!wantedOptions.readInto(parsed, wanted, error))
        return usageError(error, QStringLiteral("apply"));
    if (wanted.isEmpty())
        return usageError(QStringLiteral("nothing to apply: give a file or --id, --new-setting, "
                                         "--mode or --polarity"),
                          QStringLiteral("apply"));
    return withSession(
        parsed, [&](CliSession &session) { return RunApply(session, wanted, parsed.isSet(json)); });
}

int provision(const QStringList &arguments)
{
    const WantedOptions wantedOptions(false);
    const QCommandLineOption firstId(QStringLiteral("first-id"), {}, QStringLiteral("N"));
    const QCommandLineOption count(QStringLiteral("count"), {}, QStringLiteral("K"));
    const QCommandLineOption log(QStringLiteral("log"), {}, QStringLiteral("FILE"));
    const QCommandLineOption json = jsonOption();
    Arguments parsed(QStringLiteral("provision"),
                     wantedOptions.options() << firstId << count << log << json, true);
    if (const std::optional<int> done = parsed.parse(arguments, 0))
        return *done;
    ProvisionRequest request;
    const std::optional<QString> first = ModuleIdArgument(parsed.value(firstId));
    if (!first)
        return usageError(
            parsed.isSet(firstId)
                ? QStringLiteral("--first-id cannot take %1").arg(parsed.value(firstId))
                : QStringLiteral("provision needs --first-id N, the first ID to give"),
            QStringLiteral("provision"));
    request.firstId = first->toInt();
    if (parsed.isSet(count)) {
        bool ok = false;
        request.count = parsed.value(count).toInt(&ok);
        if (!ok || *request.count < 1 || request.firstId + *request.count - 1 > 99)
            return usageError(QStringLiteral("--count takes 1 to %1 from ID %2, not %3")
                                  .arg(100 - request.firstId)
                                  .arg(request.firstId)
                                  .arg(parsed.value(count)),
                              QStringLiteral("provision"));
    }
    QString error;
    if (!wantedOptions.readInto(parsed, request.wanted, error))
        return usageError(error, QStringLiteral("provision"));
    request.logPath = parsed.value(log);
    request.json = parsed.isSet(json);
    request.showProgress = ::isatty(STDERR_FILENO) == 1;
    return withSession(
        parsed, [&](CliSession &session) { return RunProvision(session, request); }, true, false);
}

} // namespace

int RunCommandLine(const QStringList &arguments)
{
    // Options before the subcommand: the program's own, and the shared ones, which go
    // on to the subcommand.
    QStringList carried;
    qsizetype at = 0;
    for (; at < arguments.size() && arguments.at(at).startsWith(u'-'); ++at) {
        const QString option = arguments.at(at);
        if (option == u"--help" || option == u"-h") {
            WriteTo(stdout, ProgramUsage());
            return ExitStatus::Done;
        }
        if (option == u"--version" || option == u"-V") {
            WriteTo(stdout, QByteArray("tx4040 ") + ProgramVersion + '\n');
            return ExitStatus::Done;
        }
        if (option.startsWith(QStringLiteral("--trace=")) ||
            option.startsWith(QStringLiteral("--language="))) {
            carried << option;
        } else if ((option == u"--trace" || option == u"--language") && at + 1 < arguments.size()) {
            carried << option << arguments.at(at + 1);
            ++at;
        } else {
            return usageError(
                QStringLiteral("unknown option before the subcommand: %1").arg(option));
        }
    }
    const QString subcommand = arguments.value(at);
    const QStringList rest = arguments.mid(at + 1) + carried;
    if (subcommand == u"help") {
        if (rest.isEmpty()) {
            WriteTo(stdout, ProgramUsage());
            return ExitStatus::Done;
        }
        const QByteArray usage = SubcommandUsage(rest.first());
        if (usage.isEmpty())
            return usageError(QStringLiteral("unknown subcommand: %1").arg(rest.first()));
        WriteTo(stdout, usage);
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
                       {u"apply", apply},
                       {u"provision", provision},
                       {u"watch", watch}};
    for (const auto &entry : subcommands) {
        if (subcommand == entry.name)
            return entry.run(rest);
    }
    if (subcommand.isEmpty())
        return usageError(QStringLiteral("a subcommand is missing"));
    return usageError(QStringLiteral("unknown subcommand: %1").arg(subcommand));
}
