// tx4040: the VANTREL TX4040 module from a terminal.

#include "command_line.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tx4040"));
    return RunCommandLine(QCoreApplication::arguments().mid(1));
}
