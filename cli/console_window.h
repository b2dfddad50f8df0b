#pragma once

#include "module_window.h"

#include <QStringList>

#include <functional>

// The command line's window: it keeps what a workflow shows instead of painting it,
// holds the control values a command sets, and, on a terminal, shows a search's
// progress on standard error.
class ConsoleWindow : public ModuleWindow
{
public:
    explicit ConsoleWindow(bool showProgress);
    ~ConsoleWindow() override;

    void setActivity(Activity activity) override;
    void processMessages() override;
    void showMessage(const QString &message) override;
    void explain(const QString &reason) override { m_explanation = reason; }
    void setLamp(LampColour) override {}
    void showIdentity(IdentityPanel panel, const QString &text) override;
    void showInputs(const FourFlags &on) override;
    ControlValues controls() const override { return m_values; }
    void setIdPosition(int position) override;
    void selectBaudRate(int index) override { m_values.baudRateIndex = index; }
    void selectMode(OutputMode mode) override { m_values.mode = mode; }
    void setPolarity(const FourFlags &checked) override { m_values.polarity = checked; }
    void setOutputs(const FourFlags &on) override { m_values.outputs = on; }

    // What the controls hold, for a command to set before its workflow runs.
    ControlValues &values() { return m_values; }
    // The messages shown since the last forgetMessages(), oldest first.
    const QStringList &messages() const { return m_messages; }
    void forgetMessages() { m_messages.clear(); }
    QString lastMessage() const { return m_messages.value(m_messages.size() - 1); }
    const QString &explanation() const { return m_explanation; }
    // The explanation's reasons, one a line.
    QStringList reasons() const { return m_explanation.split(u'\n', Qt::SkipEmptyParts); }
    // The value part of a panel's "label : value".
    QString identity(IdentityPanel panel) const;
    Activity activity() const { return m_activity; }

    // Runs with each pass of processMessages(): the front end's own events.
    std::function<void()> onMessages;
    // Runs with each reading of the inputs while the live loop cycles.
    std::function<void(const FourFlags &on)> onInputs;

private:
    void clearProgress();

    bool m_showProgress;
    bool m_progressShown = false;
    Activity m_activity = Activity::Idle;
    ControlValues m_values;
    QStringList m_messages;
    QString m_explanation;
    QString m_panels[3];
};
