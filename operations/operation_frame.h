#pragma once

#include "message_table.h"
#include "work.h"

// The common operation frame of the setting workflows: the hourglass over a disabled
// window, the pending messages run so that it shows before the work starts, and one
// ending that always lights the lamp.
class OperationFrame
{
public:
    explicit OperationFrame(WorkflowContext &context) : m_work(context, Activity::Operation)
    {
        context.window.processMessages();
    }

    // The ok row or the error row; what happened.
    WorkResult endWith(bool succeeded, int okRow, int errorRow)
    {
        m_work.finish(succeeded ? Outcome::Success : Outcome::Failure,
                      succeeded ? okRow : errorRow);
        return m_work.result();
    }

    // Nothing is said to the module before a scan has found it: the frame ends in
    // error with "Start Scan Module!", and true tells the workflow to go no further.
    bool refusedBeforeScan(bool moduleFound)
    {
        if (moduleFound)
            return false;
        m_work.finish(Outcome::Failure, MessageRow::StartScanModule);
        m_work.reportAs(Outcome::Refusal);
        return true;
    }

    Work &work() { return m_work; }
    WorkResult result() const { return m_work.result(); }

private:
    Work m_work;
};
