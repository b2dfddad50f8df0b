#pragma once

#include <QStringList>

// "tx4040 SUBCOMMAND [OPTIONS]": arguments without the program's name. Prints to
// standard output and error; returns the exit status.
int RunCommandLine(const QStringList &arguments);
