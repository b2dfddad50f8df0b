#include "live_io.h"

#include "message_table.h"
#include "work.h"

namespace {

constexpr int RoundsPerCycle = 30;

// The flag that tells the window a loop runs, up for as long as the loop's work lasts.
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
    while (!c.liveStop.requested()) {
        // A second press, btnAll and the output boxes take effect here. Each round's
        // sleep ends 1 ms after the one before it, so that the rounds last 30 ms in
        // all, whatever the message processing took and however late a sleep woke.
        const qint64 start = services.clockUs();
        for (int i = 1; i <= RoundsPerCycle; ++i) {
            c.window.processMessages();
            services.sleepUntilUs(start + i * 1000LL);
        }
        const QByteArray command = SetOutputsCommand(c.choices.controls().outputs);
        if (!c.exchange.SendCommand(command))
            return;
        // Other lengths are exchanges all the same, whose inputs are not read.
        if (c.exchange.ReplyLength() == CommandRowOf(command)->replyLength)
            c.window.showInputs(FlagsFromField(ReplyInputStates(c.exchange.LastReply())));
    }
}

} // namespace

WorkResult ProcessModule(WorkflowContext &c)
{
    if (!c.state.ModuleFound)
        return ShowOutcome(c, Outcome::Refusal, MessageRow::StartScanModule);
    if (c.state.ProcessRunning) {
        // The second press: the loop below, further up this thread, ends after its cycle.
        c.state.ProcessRunning = false;
        c.liveStop.request();
        return {};
    }

    const RunningFlag running(c.state);
    c.liveStop.clear();
    Work work(c, Activity::LiveReady);
    const OpenedPort opened(c.port, c.state.ScanCommNo, c.state.ScanBaudRate);
    if (!opened.isOpen()) {
        work.addReason(Reason::Kind::PortNotOpened, c.port.LastOpenFailure());
        work.finish(Outcome::Failure, MessageRow::OpenCom,
                    c.text(MessageRow::OpenCom) + QStringLiteral(" : ") +
                        QString::number(c.state.ScanCommNo) + u' ' + c.text(MessageRow::Error));
        return work.result();
    }
    work.facts().port = c.state.ScanCommNo;
    work.facts().device = c.port.DevicePath();
    work.facts().setting = c.state.ScanBaudRate;
    // The lamp blinks while the operator can still click.
    work.switchTo(Activity::Live);
    runCycles(c);
    // The operator's stop counts even when it came during an exchange that failed.
    const bool lost = !c.liveStop.requested();
    if (lost)
        work.addLinkFailure();
    work.showOutcome(lost ? Outcome::Failure : Outcome::Stopped);
    c.window.showInputs({});
    // No command for this: the module keeps the outputs it was last given.
    c.window.setOutputs({});
    work.backToIdle();
    return work.result();
}

void AllOutputs(WorkflowContext &c)
{
    const bool on = !c.choices.controls().outputs[0];
    c.window.setOutputs({on, on, on, on});
}
