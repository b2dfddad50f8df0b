#pragma once

// A pseudo-terminal carries a baud rate but no parity and no character size: the
// Linux pty driver forces 8 data bits and drops the parity bit on every settings
// change. So the line setting that a program asks of a pty slave is reported
// beside it, in a small file that the simulated module creates for its own pty and
// reads when a request arrives. The program's side writes the file only when it
// exists and belongs to the same user; it never creates one.

#include <string>

#include <sys/types.h>

namespace ptyline {

// ${TMPDIR:-/tmp}/tx4040-line-<major>.<minor>
std::string reportPath(dev_t device);

// Unix98 pseudo-terminal slaves (/dev/pts/N).
bool isPtySlave(dev_t device);

// Writes the setting as a mode string ("19200,e,8,1") into an existing report file.
void writeReport(dev_t device, const std::string &modeString);

// Creates an empty report file for a pty, replacing a stale one. False on failure.
bool createReport(dev_t device);
// The last reported mode string, or empty when none has been reported.
std::string readReport(dev_t device);
void removeReport(dev_t device);

} // namespace ptyline
