#pragma once

#include "work_result.h"
#include "workflow_context.h"

// "Set Module ID": the two characters of the ID panel become the module's ID.
WorkResult SetModuleId(WorkflowContext &context);

// "Set Module Baud Rate (Reset)": the setting chosen in the list becomes the module's,
// and the one the program talks to it at from then on (not stored).
WorkResult SetModuleBaudRate(WorkflowContext &context);
