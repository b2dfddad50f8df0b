#pragma once

#include "command_set.h"

#include <QString>

// The communication lamp's colours, and the input lamps'.
enum class LampColour
{
    Red,
    Yellow,
    White
};

// The panels where a scan shows what it read of the module.
enum class IdentityPanel
{
    SerialNo,
    Version,
    ModuleId
};

// What the window lets the operator do while work runs.
enum class Activity
{
    Idle,      // no work in hand
    Waiting,   // a scan before and after its search
    Operation, // a setting operation
    Busy,      // a scan's search
    LiveReady, // live I/O before and after its cycles
    Live       // live I/O cycling
};

// How a front end shows an activity.
struct ActivityLook
{
    bool hourglass;
    bool windowEnabled;
    bool lampBlinking;
    // The live I/O button offers to cancel the loop; the controls for other work are
    // disabled.
    bool liveLoop;
};

constexpr ActivityLook LookOf(Activity activity)
{
    switch (activity) {
    case Activity::Idle:
        return {false, true, false, false};
    case Activity::Waiting:
        return {true, true, false, false};
    case Activity::Operation:
        return {true, false, false, false};
    case Activity::Busy:
        return {true, false, true, false};
    case Activity::LiveReady:
        return {false, true, false, true};
    case Activity::Live:
        // The window enabled, so that the operator can change the outputs and stop it.
        return {false, true, true, true};
    }
    return {false, true, false, false};
}

// What the workflows see of a front end: what it shows, what the operator may do
// meanwhile, and its message pump. The main window implements it; tests and other
// front ends can too. What the operator chose is read apart (operator_choices.h).
class ModuleWindow
{
public:
    virtual ~ModuleWindow() = default;

    virtual void setActivity(Activity activity) = 0;
    // Runs the pending messages: paints, and the operator's clicks.
    virtual void processMessages() = 0;

    virtual void showMessage(const QString &message) = 0;
    // Why the work ended as it did, where the message's own text cannot say it (the
    // window: the message panel's tooltip); empty takes it away.
    virtual void explain(const QString &reason) = 0;
    virtual void setLamp(LampColour colour) = 0;
    virtual void showIdentity(IdentityPanel panel, const QString &text) = 0;
    // The input lamps DI1 to DI4: yellow for an input that is on, white for off.
    virtual void showInputs(const FourFlags &on) = 0;

    // The ID scroll bar (1 to 99), whose changes rewrite the ID panel.
    virtual void setIdPosition(int position) = 0;
    // An index outside the list leaves the selection as it is.
    virtual void selectBaudRate(int index) = 0;
    virtual void selectMode(OutputMode mode) = 0;
    virtual void setPolarity(const FourFlags &checked) = 0;
    virtual void setOutputs(const FourFlags &on) = 0;
};
