#include "live_io.h"

#include "message_table.h"
#include "operation_frame.h"

namespace {

constexpr int RoundsPerCycle = 30;

// Whatever way the loop ends, the flag drops, the other controls come back and the
// button gets its caption back.
class LoopStart
{
public:
    explicit LoopStart(WorkflowContext &c) : m_c(c), m_caption(c.window.processCaption())
    {
        m_c.state.ProcessRunning = true;
        m_c.window.setProcessCaption(m_c.window.text(MessageRow::CancelProcessModule));
        m_c.window.enableOtherWork(false);
    }
    ~LoopStart()
    {
        m_c.state.ProcessRunning = false;
        m_c.window.enableOtherWork(true);
        m_c.window.setProcessCaption(m_caption);
    }
    LoopStart(const LoopStart &) = delete;
    LoopStart &operator=(const LoopStart &) = delete;

private:
    WorkflowContext &m_c;
    QString m_caption;
};

// Cycles until a stop is asked for or an exchange fails.
void runCycles(WorkflowContext &c)
{
    while (c.state.ProcessRunning) {
        // A second press, btnAll and the output boxes take effect here.
        for (int i = 0; i < RoundsPerCycle; ++i) {
            c.window.processMessages();
            c.sleepMs(1);
        }
        if (!c.exchange.SendCommand(SetOutputsCommand(c.window.outputs())))
            return;
        if (c.exchange.ReplyLength() == OutputsReplyLength)
            c.window.showInputs(FlagsFromField(ReplyInputStates(c.exchange.LastReply())));
    }
}

} // namespace

void ProcessModule(WorkflowContext &c)
{
    if (!c.state.ModuleFound) {
        c.window.showMessage(c.window.text(MessageRow::StartScanModule));
        c.window.beep(300, 300);
        return;
    }
    if (c.state.ProcessRunning) {
        c.state.ProcessRunning = false;
        return;
    }

    const LoopStart start(c);
    const OpenedPort opened(c.port, c.state.ScanCommNo, c.state.ScanBaudRate);
    if (!opened.isOpen()) {
        c.window.setLamp(LampColour::Red);
        c.window.showMessage(c.window.text(MessageRow::OpenCom) + QStringLiteral(" : ") +
                             QString::number(c.state.ScanCommNo) + u' ' +
                             c.window.text(MessageRow::Error));
        c.window.beep(300, 300);
        return;
    }
    BusyMode busy(c.window);
    // The lamp blinks while the operator can still click.
    c.window.enableWindow();
    runCycles(c);
    busy.end();
    // The operator's stop counts even when it came during an exchange that failed.
    if (!c.state.ProcessRunning) {
        c.window.setLamp(LampColour::Yellow);
        c.window.beep(1000, 300);
    } else {
        c.window.setLamp(LampColour::Red);
        c.window.beep(300, 300);
    }
    c.window.showInputs({});
    // No command for this: the module keeps the outputs it was last given.
    c.window.setOutputs({});
}

void AllOutputs(WorkflowContext &c)
{
    const bool on = !c.window.outputs()[0];
    c.window.setOutputs({on, on, on, on});
}
