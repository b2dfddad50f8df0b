#pragma once

#include "work_result.h"
#include "workflow_context.h"

// A workflow's hold on the window and its account of what happened: the activity it
// shows while it runs, the reasons and facts it gathers, and its one ending. Whatever
// way the workflow leaves (an early return, an exception), the window goes back to idle.
class Work
{
public:
    Work(WorkflowContext &context, Activity activity);
    ~Work();
    Work(const Work &) = delete;
    Work &operator=(const Work &) = delete;

    void switchTo(Activity activity);

    // A reason the ending gives (the window: the message panel's tooltip); once each.
    void addReason(Reason::Kind kind, const QString &text);
    // The link's own reason after exchanges failed: the device went away, or its driver
    // did not take the line setting; the module's no.
    void addLinkFailure();
    // What the work read of the module.
    ModuleFacts &facts() { return m_result.facts; }

    // The ending: the lamp stops blinking, then the outcome's lamp, the message (none
    // when empty), the outcome's 300 ms tone, and only then the window back to idle.
    void finish(Outcome outcome, const QString &message = {});
    void finish(Outcome outcome, int messageRow);
    // The row's message with more to it ("Get Module Info Error. (COM : #3)").
    void finish(Outcome outcome, int messageRow, const QString &message);

    // The ending in two steps, for work that clears more of the window in between.
    void showOutcome(Outcome outcome, const QString &message = {});
    void backToIdle();

    // The message the work ends with where it was shown before the ending.
    void endsWithShown(int messageRow, const QString &message);
    // The outcome to report where it differs from the one shown (a refusal drawn as a
    // failure), or an ending without one (stopped from outside).
    void reportAs(Outcome outcome) { m_result.outcome = outcome; }

    WorkResult result() const;

private:
    WorkflowContext &m_context;
    Activity m_activity;
    WorkResult m_result;
    int m_opensBefore;
};

// The outcome's tone.
int ToneHzOf(Outcome outcome);

// An outcome that needs no work on the window: its lamp, if it has one, the message
// and its tone. What happened, as a result.
WorkResult ShowOutcome(const WorkflowContext &context, Outcome outcome, int messageRow);
