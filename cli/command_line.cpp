#include "command_line.h"

#include "config_folder.h"
#include "port_inventory.h"
#include "ports_report.h"
#include "program_version.h"

#include <QCommandLineParser>

#include <cstdio>

namespace {

const char Usage[] = "Usage: tx4040 SUBCOMMAND [OPTIONS]\n"
                     "The VANTREL TX4040 module from a terminal.\n\n"
                     "Subcommands:\n"
                     "  ports [--json]   each COM number, its device, and whether you can open "
                     "it now\n\n"
                     "Options: --help, --version\n\n"
                     "Exit status: 0 done; 1 the module did not answer or refused; 2 usage;\n"
                     "3 the port cannot be opened (the reason on standard error).\n";

void print(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int usageError(const QString &message)
{
    print(stderr, "tx4040: " + message.toLocal8Bit() + "\n(tx4040 --help tells more)\n");
    return ExitStatus::Usage;
}

int ports(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption json(QStringLiteral("json"));
    parser.addOption(json);
    if (!parser.parse(QStringList{QStringLiteral("tx4040 ports")} + arguments))
        return usageError(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("ports takes no arguments"));
    const PortMap map(PortsFolder());
    const QList<PortEntry> entries = ListPorts(map);
    const QString warning = map.emptyFolderWarning();
    if (!warning.isEmpty())
        print(stderr, "tx4040: " + warning.toLocal8Bit() + '\n');
    print(stdout, parser.isSet(json) ? PortsJson(entries, map) : PortsText(entries));
    return ExitStatus::Done;
}

} // namespace

int RunCommandLine(const QStringList &arguments)
{
    const QString subcommand = arguments.value(0);
    if (subcommand == u"--help" || subcommand == u"-h") {
        print(stdout, Usage);
        return ExitStatus::Done;
    }
    if (subcommand == u"--version") {
        print(stdout, QByteArray("tx4040 ") + ProgramVersion + '\n');
        return ExitStatus::Done;
    }
    if (subcommand == u"ports")
        return ports(arguments.mid(1));
    if (subcommand.isEmpty())
        return usageError(QStringLiteral("a subcommand is missing"));
    return usageError(QStringLiteral("unknown subcommand: %1").arg(subcommand));
}
