#pragma once

#include "module_window.h"
#include "operator_choices.h"

#include <functional>

// The command line's window: it shows nothing of what a workflow paints, but, on a
// terminal, a search's progress on standard error (the port and the setting being
// tried), and hands the live loop's readings and the message pump to the subcommand.
class ConsoleWindow : public ModuleWindow
{
public:
    explicit ConsoleWindow(bool showProgress);
    ~ConsoleWindow() override;

    void setActivity(Activity activity) override;
    void processMessages() override;
    void showMessage(const QString &message) override;
    void explain(const QString &) override {}
    void setLamp(LampColour) override {}
    void showIdentity(IdentityPanel, const QString &) override {}
    void showInputs(const FourFlags &on) override;
    void setIdPosition(int) override {}
    void selectBaudRate(int index) override { m_settingIndex = index; }
    void selectMode(OutputMode) override {}
    void setPolarity(const FourFlags &) override {}
    void setOutputs(const FourFlags &) override {}

    // Runs with each pass of processMessages(): the front end's own events.
    std::function<void()> onMessages;
    // Runs with each reading of the inputs while the live loop cycles.
    std::function<void(const FourFlags &on)> onInputs;

private:
    void clearProgress();

    bool m_showProgress;
    bool m_progressShown = false;
    Activity m_activity = Activity::Idle;
    int m_settingIndex = -1;
};

// What a subcommand chose for the work: fixed values, where the window has controls.
class ChosenValues : public OperatorChoices
{
public:
    ControlValues controls() const override { return values; }

    ControlValues values;
};
