#pragma once

#include "module_window.h"
#include "work_result.h"

#include <optional>

class CliSession;

// The subcommands that talk to the module, each on the window's workflows through the
// session's console window. Each returns its exit status.

struct ScanRequest
{
    std::optional<int> settingIndex; // the lock box checked at this setting; else all twelve
    bool json = false;
};

int RunScan(CliSession &session, const ScanRequest &request);

// The module read where the command line names it, before anything is set: what it
// read, or nothing (having said why, and with status set to the exit status) when
// nothing answered there.
std::optional<ModuleFacts> ReadModuleFirst(CliSession &session, int &status);
// From now on the program talks to the module at this setting; kept for the next run,
// which is another process.
void RememberSetting(CliSession &session, int settingIndex);
int RunInfo(CliSession &session, bool json);
// The setting commands read the module at the remembered place first, as a scan's first
// phase does, or, where --port or --device named another port, search its twelve
// settings; only a module that answered there is acted on.
int RunSetId(CliSession &session, const QString &moduleId);
int RunSetSetting(CliSession &session, int settingIndex);
int RunSetMode(CliSession &session, OutputMode mode, std::optional<FourFlags> polarity);
int RunFactory(CliSession &session);
struct WatchRequest
{
    FourFlags outputs{};
    std::optional<int> cycles; // readings before the loop ends; none: until stopped
    bool json = false;
    // A device that goes away is waited for, and the loop goes on when it is back.
    bool reconnect = false;
};

// The live loop with these outputs; one line per change of the inputs until a stop from
// outside, a failed exchange, or that many readings.
int RunWatch(CliSession &session, const WatchRequest &request);
