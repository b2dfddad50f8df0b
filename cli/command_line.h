#pragma once

#include <QStringList>

// Exit statuses of "tx4040".
namespace ExitStatus {
inline constexpr int Done = 0;
inline constexpr int NoAnswer = 1; // the module did not answer, or refused
inline constexpr int Usage = 2;
inline constexpr int PortNotOpened = 3;
} // namespace ExitStatus

// "tx4040 SUBCOMMAND [OPTIONS]": arguments without the program's name. Prints to
// standard output and error; returns the exit status.
int RunCommandLine(const QStringList &arguments);
