#pragma once

#include <QString>

// Who made a COM<n> link in the ports folder: a small record beside it, ".COM<n>.owner",
// holding the process ID and that process's start time (so that a reused ID does not
// pass for the owner). A link left by a simulator that was killed can then be told
// from a link that is still in use, or one that a user made for a real adapter.
namespace LinkOwner {

// Records this process as the owner of the link. False on failure.
bool record(const QString &linkPath);
// True when a record exists and the process it names no longer runs.
bool isGone(const QString &linkPath);
void forget(const QString &linkPath);

} // namespace LinkOwner
