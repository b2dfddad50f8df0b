#pragma once

#include "message_table.h"
#include "module_window.h"
#include "operator_choices.h"
#include "shared_state.h"

#include <QList>
#include <QStringList>

// A window that only remembers: what each control shows now (and so what the operator
// chose), and what happened in order. It behaves as the real window where a workflow could tell the
// difference: the ID scroll bar keeps within 1 to 99 and rewrites the ID panel only on a change.
class RecordingWindow : public ModuleWindow, public OperatorChoices
{
public:
    RecordingWindow(const SharedState &state, const MessageTable &messages);

    void setActivity(Activity next) override;
    void processMessages() override;
    void showMessage(const QString &message) override;
    void explain(const QString &reason) override { explanation = reason; }
    void setLamp(LampColour colour) override;
    void showIdentity(IdentityPanel panel, const QString &text) override;
    void showInputs(const FourFlags &on) override;
    ControlValues controls() const override;
    void setIdPosition(int position) override;
    void selectBaudRate(int index) override;
    void selectMode(OutputMode mode) override;
    void setPolarity(const FourFlags &checked) override;
    void setOutputs(const FourFlags &on) override;

    // The workflows' tone, recorded here so that it takes its place among the events.
    void beep(int frequencyHz, int durationMs);

    // What the controls show now.
    QString message;
    QString explanation;
    QString serial = QStringLiteral("S/N : ________");
    QString version = QStringLiteral("VER : __.__-__");
    QString idPanel = QStringLiteral("__");
    int idPosition = 1;
    int baudIndex = 5;
    bool locked = true;
    int mode = 0;
    FourFlags polarityBoxes{};
    FourFlags outputBoxes{};
    FourFlags inputLamps{};
    QString caption = QStringLiteral("Process Module");
    bool otherWorkEnabled = true;
    LampColour lamp = LampColour::Red;
    bool enabled = true;
    bool busy = false;
    bool hourglass = false;
    Activity activity = Activity::Idle;

    // What happened, in order: "begin" and "end" around a setting operation, "busy on"
    // when the lamp starts blinking, "window on" when the window stays enabled with it,
    // "message Scan COM : #3", "baud 7", "lamp yellow", "tone 1000 300",
    // "hourglass off" ...
    QStringList events;
    QStringList messages;
    QList<int> baudSelections;
    // Every state the input lamps were given, as "1001".
    QStringList inputHistory;
    // Milliseconds each tone lasts here; 0 keeps the tests quick.
    int toneSleepMs = 0;

private:
    void setCaption(const QString &text);
    void enableOtherWork(bool enabled);
    void setHourglass(bool on);

    QString m_idleCaption;
    const SharedState &m_state;
    const MessageTable &m_messages;
};

QString LampName(LampColour colour);
