#include "live_io.h"

#include "message_table.h"
#include "work.h"

namespace {

constexpr int RoundsPerCycle = 30;

// The flag that a second press drops, up for as long as the loop's work lasts.
class RunningFlag
{
public:
    explicit RunningFlag(SharedState &state) : m_state(state) { m_state.ProcessRunning = true; }
    ~RunningFlag() { m_state.ProcessRunning = false; }
    RunningFlag(const RunningFlag &) = delete;
    RunningFlag &operator=(const RunningFlag &) = delete;

private:
    SharedState &m_state;
};

// Cycles until a stop is asked for or an exchange fails.
void runCycles(WorkflowContext &c)
{
    const LinkServices &services = c.port.services();
    while (c.state.ProcessRunning) {
        // A second press, btnAll and the output boxes take effect here. Each round's
        // sleep ends 1 ms after the one before it, so that the rounds last 30 ms in
        // all, whatever the message processing took and however late a sleep woke.
        const qint64 start = services.clockUs();
        for (int i = 1; i <= RoundsPerCycle; ++i) {
            c.window.processMessages();
            services.sleepUntilUs(start + i * 1000LL);
        }
        if (!c.exchange.SendCommand(SetOutputsCommand(c.window.controls().outputs)))
            return;
        if (c.exchange.ReplyLength() == OutputsReplyLength)
            c.window.showInputs(FlagsFromField(ReplyInputStates(c.exchange.LastReply())));
    }
}

} // namespace

void ProcessModule(WorkflowContext &c)
{
    if (!c.state.ModuleFound) {
        ShowOutcome(c, Outcome::Refusal, c.text(MessageRow::StartScanModule));
        return;
    }
    if (c.state.ProcessRunning) {
        c.state.ProcessRunning = false;
        return;
    }

    const RunningFlag running(c.state);
    Work work(c, Activity::LiveReady);
    const OpenedPort opened(c.port, c.state.ScanCommNo, c.state.ScanBaudRate);
    if (!opened.isOpen()) {
        c.window.explain(c.port.LastOpenFailure());
        work.finish(Outcome::Failure, c.text(MessageRow::OpenCom) + QStringLiteral(" : ") +
                                          QString::number(c.state.ScanCommNo) + u' ' +
                                          c.text(MessageRow::Error));
        return;
    }
    // The lamp blinks while the operator can still click.
    work.switchTo(Activity::Live);
    runCycles(c);
    // The operator's stop counts even when it came during an exchange that failed.
    const bool lost = c.state.ProcessRunning;
    if (lost)
        c.window.explain(c.port.LinkFailure());
    work.showOutcome(lost ? Outcome::Failure : Outcome::Stopped);
    c.window.showInputs({});
    // No command for this: the module keeps the outputs it was last given.
    c.window.setOutputs({});
    work.backToIdle();
}

void AllOutputs(WorkflowContext &c)
{
    const bool on = !c.window.controls().outputs[0];
    c.window.setOutputs({on, on, on, on});
}
