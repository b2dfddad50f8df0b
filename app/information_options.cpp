#include "information_options.h"

#include "frame_trace.h"
#include "program_version.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>

std::optional<int> AnswerInformationOptions(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tx4040-config %s\n", ProgramVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: tx4040-config [--trace FILE|-] [Qt options]\n"
                        "The configuration utility for the VANTREL TX4040 module.\n\n"
                        "  --trace FILE  append every frame on the line, and each open and\n"
                        "                close of a port, to FILE (- for standard error),\n"
                        "                one line each\n"
                        "  --version     print the version and exit\n"
                        "  --help        print this help and exit\n\n"
                        "COM port n is the device that $XDG_CONFIG_HOME/VANTREL/ports/COM<n> "
                        "links to, where that folder exists.\n");
            return 0;
        }
    }
    return std::nullopt;
}

std::optional<int> TakeTraceOption(int &argc, char *argv[], std::shared_ptr<FrameTrace> &trace)
{
    static constexpr char Option[] = "--trace";
    static constexpr std::size_t OptionLength = sizeof Option - 1;
    const char *target = nullptr;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], Option) == 0) {
            if (i + 1 == argc) {
                std::fprintf(stderr, "tx4040-config: --trace needs a file, or - for standard "
                                     "error\n");
                return 2;
            }
            target = argv[++i];
        } else if (std::strncmp(argv[i], Option, OptionLength) == 0 &&
                   argv[i][OptionLength] == '=') {
            target = argv[i] + OptionLength + 1;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    if (!target)
        return std::nullopt;

    QString error;
    trace = FrameTrace::open(QFile::decodeName(target), error);
    if (!trace) {
        std::fprintf(stderr, "tx4040-config: cannot write the trace to %s\n", qPrintable(error));
        return 2;
    }
    return std::nullopt;
}

std::optional<int> RefuseWithoutDisplay()
{
    for (const char *variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char *value = std::getenv(variable);
        if (value && *value)
            return std::nullopt;
    }
    std::fprintf(stderr, "tx4040-config: no display to open the window on (DISPLAY and "
                         "WAYLAND_DISPLAY are not set)\n");
    return 1;
}
