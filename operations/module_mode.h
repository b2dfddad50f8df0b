#pragma once

#include "work_result.h"
#include "workflow_context.h"

// "Set Module Mode": the output mode of the mode list and the input polarity of the
// DI boxes become the module's.
WorkResult SetModuleMode(WorkflowContext &context);

// "Factory Default": the window's setting controls, then the module, back to the
// factory settings: ID 01, no input inverted, mode Hold, 19200,e,8,1.
WorkResult SetFactoryDefault(WorkflowContext &context);
