#pragma once

#include "work_result.h"
#include "workflow_context.h"

// The scan behind "Scan Module": the remembered place first, then COM1 to COM16 at
// one setting each (list locked) or all twelve, then the module's version, mode and
// input polarity. Remembers where the module answered, and sets ModuleFound.
WorkResult ScanModule(WorkflowContext &context);

// Which ports a scan may touch. The window's scan takes them all; a front end may keep
// it to some ports, or to the remembered place alone.
struct ScanLimits
{
    static constexpr int HighestPort = 16;
    int firstPort = 1;
    int lastPort = HighestPort;
    // False: the remembered place only, no search after it.
    bool search = true;
    // False: the remembered place is tried only where it lies between the two ports.
    bool rememberedPlaceAnywhere = true;

    bool includes(int port) const { return port >= firstPort && port <= lastPort; }
};

WorkResult ScanModule(WorkflowContext &context, const ScanLimits &limits);
