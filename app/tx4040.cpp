// tx4040: the VANTREL TX4040 module from a terminal.

#include "command_line.h"
#include "termination_signals.h"

#include <QCoreApplication>
#include <QLoggingCategory>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tx4040"));
    // The subcommands give every reason on standard error themselves; QT_LOGGING_RULES
    // can still turn the categories on.
    QLoggingCategory::setFilterRules(
        QStringLiteral("tx4040.link.warning=false\ntx4040.scan.warning=false"));
    const int status = RunCommandLine(QCoreApplication::arguments().mid(1));
    EndAsABrokenPipeDoes();
    return status;
}
