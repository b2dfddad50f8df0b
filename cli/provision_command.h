#pragma once

#include "module_apply.h"

#include <QString>

#include <optional>

class CliSession;

struct ProvisionRequest
{
    int firstId = 1;
    std::optional<int> count;   // modules before the run ends; none: until stopped
    WantedConfiguration wanted; // each module's, but for its ID
    QString logPath;            // CSV appended to; none: no log
    bool json = false;
    bool showProgress = false; // what it waits for, on standard error
};

// tx4040 provision: on the bench's port, module after module: wait for one to answer at
// any setting, give it the wanted values with the next ID and read them back, tell it on
// standard output and in the log, then wait until it is taken off. A serial number done
// earlier in the run is told and left alone. A stop from outside ends the run after the
// module in hand. Ends with a summary: 0 when every module was verified, 1 when one was
// not, 2 when the log cannot be written, 3 when the port cannot be opened.
int RunProvision(CliSession &session, const ProvisionRequest &request);
