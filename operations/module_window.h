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

    // A message row in the current language.
    virtual QString text(int messageRow) const = 0;
    // The message panel.
    virtual void showMessage(const QString &message) = 0;
    // The serial-number and version panels.
    virtual void showSerial(const QString &text) = 0;
    virtual void showVersion(const QString &text) = 0;
    // The ID panel, and the ID scroll bar (1 to 99) whose changes rewrite the panel.
    virtual QString moduleId() const = 0;
    virtual void showModuleId(const QString &id) = 0;
    virtual void setIdPosition(int position) = 0;
    // The baud-rate list (indexes of BaudRateModes()) and the lock box beside it.
    virtual int baudRateIndex() const = 0;
    virtual void selectBaudRate(int index) = 0;
    virtual bool baudRateLocked() const = 0;
    // The mode list: 0 Hold, 1 Normal.
    virtual int modeIndex() const = 0;
    virtual void selectMode(int index) = 0;
    // The input polarity boxes, DI1 to DI4.
    virtual FourFlags polarity() const = 0;
    virtual void setPolarity(const FourFlags &checked) = 0;

    // The output boxes, DO1 to DO4.
    virtual FourFlags outputs() const = 0;
    virtual void setOutputs(const FourFlags &on) = 0;
    // The input lamps DI1 to DI4: yellow for an input that is on, white for off.
    virtual void showInputs(const FourFlags &on) = 0;
    // The caption of the live I/O button.
    virtual QString processCaption() const = 0;
    virtual void setProcessCaption(const QString &caption) = 0;
    // The controls that would start other work while the live loop runs.
    virtual void enableOtherWork(bool enabled) = 0;
    // The whole window, as the live loop wants it after switching busy mode on.
    virtual void enableWindow() = 0;

    virtual void setLamp(LampColour colour) = 0;
    virtual void setHourglass(bool on) = 0;
    virtual void processMessages() = 0;
    virtual void beep(int frequencyHz, int durationMs) = 0;
};
