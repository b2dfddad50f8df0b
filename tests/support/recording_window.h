#pragma once

#include "message_table.h"
#include "module_window.h"
#include "shared_state.h"

#include <QList>
#include <QStringList>

// A window that only remembers: what each control shows now, and what happened in
// order. It behaves as the real window where a workflow could tell the difference:
// the ID scroll bar keeps within 1 to 99 and rewrites the ID panel only on a change.
class RecordingWindow : public ModuleWindow
{
public:
    RecordingWindow(const SharedState &state, const MessageTable &messages);

    void BeginOperation() override;
    void EndOperation(LampColour lamp, int messageRow, int frequencyHz) override;
    void SetBusy(quint8 on) override;
    void ReturnToIdle() override;
    QString text(int messageRow) const override;
    void showMessage(const QString &message) override;
    void showSerial(const QString &text) override;
    void showVersion(const QString &text) override;
    QString moduleId() const override { return idPanel; }
    void showModuleId(const QString &id) override;
    void setIdPosition(int position) override;
    int baudRateIndex() const override { return baudIndex; }
    void selectBaudRate(int index) override;
    bool baudRateLocked() const override { return locked; }
    int modeIndex() const override { return mode; }
    void selectMode(int index) override;
    FourFlags polarity() const override { return polarityBoxes; }
    void setPolarity(const FourFlags &checked) override;
    FourFlags outputs() const override { return outputBoxes; }
    void setOutputs(const FourFlags &on) override;
    void showInputs(const FourFlags &on) override;
    QString processCaption() const override { return caption; }
    void setProcessCaption(const QString &text) override;
    void enableOtherWork(bool enabled) override;
    void enableWindow() override;
    void setLamp(LampColour colour) override;
    void setHourglass(bool on) override;
    void processMessages() override;
    void beep(int frequencyHz, int durationMs) override;

    // What the controls show now.
    QString message;
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

    // What happened, in order: "busy on", "message Scan COM : #3", "baud 7",
    // "lamp yellow", "tone 1000 300", "hourglass off" ...
    QStringList events;
    QStringList messages;
    QList<int> baudSelections;
    // Every state the input lamps were given, as "1001".
    QStringList inputHistory;
    // Milliseconds each tone lasts here; 0 keeps the tests quick.
    int toneSleepMs = 0;

private:
    const SharedState &m_state;
    const MessageTable &m_messages;
};

QString LampName(LampColour colour);
