#include "subcommand_help.h"

#include <QByteArrayList>

namespace {

struct Help
{
    const char *name;
    const char *synopsis;
    const char *text; // what it does, lines of at most 60 characters
    bool talksToModule;
};

const Help Subcommands[] = {
    {"ports", "ports [-j|--json]", "each COM number, its device, and whether you can open it now\n",
     false},
    {"map", "map N DEVICE",
     "link COM N to DEVICE by its stable name in /dev/serial (the\n"
     "first map keeps the system's numbers of the other ports)\n",
     false},
    {"unmap", "unmap N", "remove COM N's link (the last one: back to the system's list)\n", false},
    {"scan", "scan [--setting S] [--every-port] [-j|--json] [--no-store]",
     "find the module: the remembered place first, then COM1 to\n"
     "COM16 at all twelve settings (--setting: at S only);\n"
     "--every-port searches every port at once and lists every\n"
     "module found; --port or --device: that port only\n",
     true},
    {"info", "info [-j|--json]",
     "read the module at the remembered place, or at whichever\n"
     "setting it answers on the port --port or --device names\n",
     true},
    {"set-id", "set-id NN", "set the module's ID (1 to 99)\n", true},
    {"set-setting", "set-setting MODE",
     "set the module's serial line setting (e.g. 9600,e,8,1, or\n"
     "its index 0 to 11)\n",
     true},
    {"set-mode", "set-mode hold|normal [--polarity 0101]",
     "set the output mode and the input polarity (DI1 to DI4)\n", true},
    {"factory", "factory", "restore the factory settings\n", true},
    {"apply",
     "apply [FILE|-] [--id NN] [--new-setting S] [--mode M]\n"
     "             [--polarity 0101] [-j|--json]",
     "give the module the values in FILE (an info --json report,\n"
     "or an object with id, setting, mode, polarity) and in the\n"
     "options, which win; only what differs is sent, the line\n"
     "setting last, and each value is read back: 0 when every\n"
     "one reads back as wanted, 1 when one does not\n",
     true},
    {"provision",
     "provision --first-id N [--count K] [--new-setting S] [--mode M]\n"
     "             [--polarity 0101] [--log FILE] [-j|--json]",
     "on a bench port, module after module: wait for one at any\n"
     "setting, apply the values with the next ID (N, N+1 ...)\n"
     "and read them back, print it and append it to the CSV log,\n"
     "then wait until it is taken off; ends after K modules or\n"
     "on Ctrl+C, finishing the module in hand: 0 when every\n"
     "module was verified, 1 when one was not\n",
     true},
    {"watch", "watch [--outputs 1010] [--cycles N] [-j|--json] [--reconnect]",
     "drive the outputs (DO1 to DO4) and print each change of the\n"
     "inputs until Ctrl+C, SIGTERM or N readings; --reconnect\n"
     "waits for a device that went away and goes on\n",
     true},
};

const char SharedOptions[] =
    "Options of the subcommands that talk to the module (also before the\n"
    "subcommand):\n"
    "  --trace FILE          log every frame to FILE (- for standard error)\n"
    "  --language L          English, ChineseGB or ChineseBIG5 for the messages\n"
    "  -p, --port N          the port, by its COM number\n"
    "  --device PATH         the port, by its device (/dev/ttyUSB0, a\n"
    "                        /dev/serial name); remembered only where a\n"
    "                        COM number names it\n";

const char ExitStatuses[] =
    "Exit status: 0 done; 1 the module did not answer, refused, or its device\n"
    "went away; 2 usage; 3 the port cannot be opened (the reason on standard\n"
    "error).\n";

// The text indented under its synopsis.
QByteArray indented(const char *text, const QByteArray &indent)
{
    QByteArray out;
    for (const QByteArray &line : QByteArray(text).split('\n')) {
        if (!line.isEmpty())
            out += indent + line + '\n';
    }
    return out;
}

} // namespace

QByteArray ProgramUsage()
{
    QByteArray usage = "Usage: tx4040 [--trace FILE] [--language L] SUBCOMMAND [OPTIONS]\n"
                       "The VANTREL TX4040 module from a terminal.\n\nSubcommands:\n";
    for (const Help &help : Subcommands)
        usage += QByteArray("  ") + help.synopsis + '\n' + indented(help.text, "      ");
    usage += "\nThe setting subcommands and watch read the module at the remembered place "
             "first.\n\n";
    usage += SharedOptions;
    usage += "\nOptions: -h, --help; -V, --version. tx4040 help SUBCOMMAND, or\n"
             "tx4040 SUBCOMMAND --help, tells of one subcommand.\n\n";
    usage += ExitStatuses;
    return usage;
}

QByteArray SubcommandUsage(const QString &name)
{
    for (const Help &help : Subcommands) {
        if (name != QLatin1String(help.name))
            continue;
        QByteArray usage =
            QByteArray("Usage: tx4040 ") + help.synopsis + "\n" + indented(help.text, "") + "\n";
        if (help.talksToModule)
            usage += QByteArray(SharedOptions) + '\n';
        return usage + ExitStatuses;
    }
    return {};
}
