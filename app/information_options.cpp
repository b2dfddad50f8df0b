#include "information_options.h"

#include "program_version.h"

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
            std::printf("Usage: tx4040-config [Qt options]\n"
                        "The configuration utility for the VANTREL TX4040 module.\n\n"
                        "  --version  print the version and exit\n"
                        "  --help     print this help and exit\n\n"
                        "COM port n is the device that $XDG_CONFIG_HOME/VANTREL/ports/COM<n> "
                        "links to, where that folder exists.\n");
            return 0;
        }
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
