#pragma once

// A pseudo-terminal carries a baud rate but no parity and no character size: the
// Linux pty driver forces 8 data bits and drops the parity bit on every settings
// change. So the line setting that a program asks of a pty slave is reported
// beside it, in a small file that the simulated module creates for its own pty and
// reads when a request arrives. The same file tells the program's side which adapter
// the module plays (a latency timer, settings its driver refuses), and tells the
// module what the program asked of that adapter's driver.
//
// One `key=value` a line. Each side replaces only its own keys, under flock, keeping
// every other line. The program's side writes the file only when it exists, is a
// regular file and belongs to the same user; it never creates one.

#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace ptyline {

// The program's side: the mode string it set last ("19200,e,8,1").
inline constexpr std::string_view SettingKey = "setting";
// The program's side: 1 once it asked the driver for ASYNC_LOW_LATENCY, 0 once it took
// it back.
inline constexpr std::string_view LowLatencyKey = "low-latency";
// The module's side: the adapter's latency timer in ms; absent or 0, none.
inline constexpr std::string_view LatencyKey = "latency";
// The module's side: what the adapter's driver will not do, a comma list of
// `parity` and `low-latency`.
inline constexpr std::string_view RefuseKey = "refuse";

// ${TMPDIR:-/tmp}/tx4040-line-<major>.<minor>
std::string reportPath(dev_t device);

// Unix98 pseudo-terminal slaves (/dev/pts/N).
bool isPtySlave(dev_t device);

// Creates an empty line file for a pty, replacing a stale one. False on failure.
bool createReport(dev_t device);
void removeReport(dev_t device);

// Sets one key of an existing line file, keeping the others. False when there is no
// such file of ours, or it cannot be written.
bool writeValue(dev_t device, std::string_view key, std::string_view value);
// The value of one key; nothing when the file or the key is absent.
std::optional<std::string> readValue(dev_t device, std::string_view key);

// The program's setting, as a mode string ("19200,e,8,1").
void writeReport(dev_t device, const std::string &modeString);
// The last reported mode string, or empty when none has been reported.
std::string readReport(dev_t device);

// The adapter that a simulated module plays on its pty.
struct Adapter
{
    int latencyMs = 0; // 0: no latency timer
    bool refusesParity = false;
    bool refusesLowLatency = false;
};
bool writeAdapter(dev_t device, const Adapter &adapter);
Adapter readAdapter(dev_t device);

void writeLowLatency(dev_t device, bool on);
bool readLowLatency(dev_t device);

} // namespace ptyline
