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

WorkResult ShowOutcome(const WorkflowContext &c, Outcome outcome, int messageRow)
{
    const OutcomeLook look = lookOf(outcome);
    WorkResult result;
    result.outcome = outcome;
    result.messageRow = messageRow;
    result.message = c.text(messageRow);
    if (look.lamp)
        c.window.setLamp(*look.lamp);
    c.window.showMessage(result.message);
    c.tone(look.toneHz, ToneMs);
    return result;
}

Work::Work(WorkflowContext &context, Activity activity)
    : m_context(context), m_activity(activity), m_opensBefore(context.port.SuccessfulOpens())
{
    // The reason behind the last ending goes with it. Late answers are looked for only
    // among this work's own unanswered requests.
    m_context.window.explain({});
    m_context.exchange.BeginWork();
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

void Work::addReason(Reason::Kind kind, const QString &text)
{
    const Reason reason{kind, text};
    if (!text.isEmpty() && !m_result.reasons.contains(reason))
        m_result.reasons.append(reason);
}

void Work::addLinkFailure()
{
    const PortAccess &port = m_context.port;
    if (port.DeviceLost())
        addReason(Reason::Kind::DeviceGone, port.LinkFailure());
    else if (port.SettingRefused())
        addReason(Reason::Kind::SettingRefused, port.LinkFailure());
    for (const QByteArray &command : m_context.exchange.RefusedCommands())
        addReason(Reason::Kind::ModuleRejected,
                  QStringLiteral("the module answered no to %1").arg(QString::fromLatin1(command)));
}

void Work::finish(Outcome outcome, const QString &message)
{
    showOutcome(outcome, message);
    backToIdle();
}

void Work::finish(Outcome outcome, int messageRow)
{
    finish(outcome, messageRow, m_context.text(messageRow));
}

void Work::finish(Outcome outcome, int messageRow, const QString &message)
{
    m_result.messageRow = messageRow;
    finish(outcome, message);
}

void Work::showOutcome(Outcome outcome, const QString &message)
{
    m_result.outcome = outcome;
    if (!message.isEmpty())
        m_result.message = message;
    switchTo(settled(m_activity));
    m_context.window.explain(m_result.explanation());
    const OutcomeLook look = lookOf(outcome);
    if (look.lamp)
        m_context.window.setLamp(*look.lamp);
    if (!message.isEmpty())
        m_context.window.showMessage(message);
    m_context.tone(look.toneHz, ToneMs);
}

void Work::backToIdle()
{
    switchTo(Activity::Idle);
}

void Work::endsWithShown(int messageRow, const QString &message)
{
    m_result.messageRow = messageRow;
    m_result.message = message;
}

WorkResult Work::result() const
{
    WorkResult result = m_result;
    result.portOpened = m_context.port.SuccessfulOpens() > m_opensBefore;
    return result;
}
