#pragma once

#include "work_result.h"
#include "workflow_context.h"

// "Process Module": writes the output boxes to the module and shows its inputs, cycle
// after cycle, until the button is pressed again or the module stops answering. A
// press while the loop runs reaches this same function from inside the loop's
// message processing, and only asks the loop to stop.
WorkResult ProcessModule(WorkflowContext &context);

// The small button beside it: all four output boxes off when DO1 is on, else all on.
void AllOutputs(WorkflowContext &context);
