#pragma once

#include "message_table.h"
#include "module_window.h"

// Brackets a setting workflow with BeginOperation ... EndOperation. Should the
// workflow leave early (an early return, an exception), the window still goes back
// to idle.
class OperationFrame
{
public:
    explicit OperationFrame(ModuleWindow &window) : m_window(window) { m_window.BeginOperation(); }
    ~OperationFrame()
    {
        if (!m_ended)
            m_window.ReturnToIdle();
    }
    OperationFrame(const OperationFrame &) = delete;
    OperationFrame &operator=(const OperationFrame &) = delete;

    void end(LampColour lamp, int messageRow, int frequencyHz)
    {
        m_ended = true;
        m_window.EndOperation(lamp, messageRow, frequencyHz);
    }

    // Success: yellow lamp, the ok row, 1000 Hz; failure: red lamp, the error row, 300 Hz.
    void endWith(bool succeeded, int okRow, int errorRow)
    {
        if (succeeded)
            end(LampColour::Yellow, okRow, 1000);
        else
            end(LampColour::Red, errorRow, 300);
    }

    // Nothing is said to the module before a scan has found it: the frame ends with
    // the refusal, and true tells the workflow to go no further.
    bool refusedBeforeScan(bool moduleFound)
    {
        if (moduleFound)
            return false;
        end(LampColour::Red, MessageRow::StartScanModule, 300);
        return true;
    }

private:
    ModuleWindow &m_window;
    bool m_ended = false;
};

// Busy mode for as long as it lives, unless ended earlier; on an early way out the
// window goes back to idle as well.
class BusyMode
{
public:
    explicit BusyMode(ModuleWindow &window) : m_window(window) { m_window.SetBusy(1); }
    ~BusyMode()
    {
        if (!m_ended)
            m_window.ReturnToIdle();
    }
    BusyMode(const BusyMode &) = delete;
    BusyMode &operator=(const BusyMode &) = delete;

    void end()
    {
        if (!m_ended)
            m_window.SetBusy(0);
        m_ended = true;
    }

private:
    ModuleWindow &m_window;
    bool m_ended = false;
};
