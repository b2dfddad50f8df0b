#include "work.h"

#include <optional>

namespace {

constexpr int ToneMs = 300;

struct OutcomeLook
{
    std::optional<LampColour> lamp;
    int toneHz;
};

OutcomeLook lookOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Success:
    case Outcome::Stopped:
        return {LampColour::Yellow, 1000};
    case Outcome::Failure:
        return {LampColour::Red, 300};
    case Outcome::Refusal:
        return {std::nullopt, 300};
    }
    return {LampColour::Red, 300};
}

// The same activity without the blinking lamp, which would paint over the outcome's.
Activity settled(Activity activity)
{
    switch (activity) {
    case Activity::Busy:
        return Activity::Waiting;
    case Activity::Live:
        return Activity::LiveReady;
    default:
        return activity;
    }
}

} // namespace

int ToneHzOf(Outcome outcome)
{
    return lookOf(outcome).toneHz;
}

void ShowOutcome(const WorkflowContext &c, Outcome outcome, const QString &message)
{
    const OutcomeLook look = lookOf(outcome);
    if (look.lamp)
        c.window.setLamp(*look.lamp);
    if (!message.isEmpty())
        c.window.showMessage(message);
    c.tone(look.toneHz, ToneMs);
}

Work::Work(WorkflowContext &context, Activity activity) : m_context(context), m_activity(activity)
{
    // The reason behind the last ending goes with it. Late answers are looked for only
    // among this work's own unanswered requests.
    m_context.window.explain({});
    m_context.exchange.forgetUnansweredRequests();
    m_context.window.setActivity(activity);
}

Work::~Work()
{
    backToIdle();
}

void Work::switchTo(Activity activity)
{
    if (activity == m_activity)
        return;
    m_activity = activity;
    m_context.window.setActivity(activity);
}

void Work::finish(Outcome outcome, const QString &message)
{
    showOutcome(outcome, message);
    backToIdle();
}

void Work::finish(Outcome outcome, int messageRow)
{
    finish(outcome, m_context.text(messageRow));
}

void Work::showOutcome(Outcome outcome, const QString &message)
{
    switchTo(settled(m_activity));
    ShowOutcome(m_context, outcome, message);
}

void Work::backToIdle()
{
    switchTo(Activity::Idle);
}
