#pragma once

#include <QtGlobal>

// The communication lamp's colours, and the input lamps'.
enum class LampColour
{
    Red,
    Yellow,
    White
};

// What the workflows see of the window: what they show and read, the operation frame
// and busy mode. The main window implements it; tests and other front ends can too.
class ModuleWindow
{
public:
    virtual ~ModuleWindow() = default;

    // The common operation frame: hourglass, window disabled, pending messages run ...
    virtual void BeginOperation() = 0;
    // ... then the lamp, the message row, a 300 ms tone, the window enabled, the cursor.
    virtual void EndOperation(LampColour lamp, int messageRow, int frequencyHz) = 0;
    // Busy mode: 1 disables the window and blinks the lamp; anything else ends it.
    virtual void SetBusy(quint8 on) = 0;
    // Back to idle after a workflow that did not reach its end: window enabled, lamp
    // no longer blinking, default cursor. Nothing is shown and no tone sounds.
    virtual void ReturnToIdle() = 0;
};
