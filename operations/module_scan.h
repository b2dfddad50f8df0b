#pragma once

#include "workflow_context.h"

// The scan behind "Scan Module": the remembered place first, then COM1 to COM16 at
// one setting each (list locked) or all twelve, then the module's version, mode and
// input polarity. Remembers where the module answered, and sets ModuleFound.
void ScanModule(WorkflowContext &context);
