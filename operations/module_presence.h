#pragma once

#include "workflow_context.h"

#include <QString>

// The serial number of the module that answers "B00B" at the remembered place now, with
// the remembered place's three tries; empty when none answers there. For a bench where
// one module is taken off and the next put on.
QString SerialAtRememberedPlace(WorkflowContext &context);
