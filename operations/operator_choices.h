#pragma once

#include "command_set.h"

#include <QString>

// What the operator has chosen for the work: the values of the setting controls.
struct ControlValues
{
    QString moduleId;            // the ID panel's characters
    int baudRateIndex = -1;      // in BaudRateModes(); -1 for no selection
    bool baudRateLocked = false; // the lock box beside the list
    OutputMode mode = OutputMode::Hold;
    FourFlags polarity{}; // the boxes DI1 to DI4
    FourFlags outputs{};  // the boxes DO1 to DO4
};

// Where the workflows read the operator's choices, apart from what a front end shows:
// the window's controls as they are now, or the values a command line was given. The
// live loop reads the outputs again for every cycle.
class OperatorChoices
{
public:
    virtual ~OperatorChoices() = default;
    virtual ControlValues controls() const = 0;
};
