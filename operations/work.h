#pragma once

#include "workflow_context.h"

// How a piece of work ended. Each has its lamp and its tone (see work.cpp):
// Success      yellow, 1000 Hz
// Failure      red, 300 Hz
// Refusal      the lamp as it is, 300 Hz: work that may not start yet
// Stopped      yellow, 1000 Hz: the live loop ended by the operator
enum class Outcome
{
    Success,
    Failure,
    Refusal,
    Stopped
};

// A workflow's hold on the window: the activity it shows while it runs, and its one
// ending. Whatever way the workflow leaves (an early return, an exception), the window
// goes back to idle.
class Work
{
public:
    Work(WorkflowContext &context, Activity activity);
    ~Work();
    Work(const Work &) = delete;
    Work &operator=(const Work &) = delete;

    void switchTo(Activity activity);

    // The ending: the lamp stops blinking, then the outcome's lamp, the message (none
    // when empty), the outcome's 300 ms tone, and only then the window back to idle.
    void finish(Outcome outcome, const QString &message = {});
    void finish(Outcome outcome, int messageRow);

    // The ending in two steps, for work that clears more of the window in between.
    void showOutcome(Outcome outcome, const QString &message = {});
    void backToIdle();

private:
    WorkflowContext &m_context;
    Activity m_activity;
};

// The outcome's tone, by which a front end without a lamp can tell a success.
int ToneHzOf(Outcome outcome);

// An outcome that needs no work on the window: its lamp, if it has one, the message
// and its tone.
void ShowOutcome(const WorkflowContext &context, Outcome outcome, const QString &message);
