#pragma once

#include <QStringList>

#include <csignal>
#include <functional>

// Runs a command beside the simulated module: with the pty line library preloaded (so
// that the module's pseudo-terminal carries parity for it), the same environment, and
// its own signals unblocked and at their defaults. A stop signal that reaches this
// program is passed on to it. Returns its exit status, 128 + the signal's number when a
// signal ended it, or 127 when it could not be started or the pty line library is
// missing (said on standard error). everyPoll runs about every 50 ms while it runs.
int RunCommand(const QStringList &command, const sigset_t &stopSignals,
               const std::function<void()> &everyPoll = {});
