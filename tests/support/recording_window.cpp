#include "recording_window.h"

#include <QCoreApplication>
#include <QThread>

QString LampName(LampColour colour)
{
    switch (colour) {
    case LampColour::Red:
        return QStringLiteral("red");
    case LampColour::Yellow:
        return QStringLiteral("yellow");
    case LampColour::White:
        return QStringLiteral("white");
    }
    return {};
}

RecordingWindow::RecordingWindow(const SharedState &state, const MessageTable &messages)
    : m_state(state), m_messages(messages)
{}

void RecordingWindow::BeginOperation()
{
    events << QStringLiteral("begin");
    setHourglass(true);
    enabled = false;
}

void RecordingWindow::EndOperation(LampColour colour, int messageRow, int frequencyHz)
{
    setLamp(colour);
    showMessage(text(messageRow));
    beep(frequencyHz, 300);
    enabled = true;
    setHourglass(false);
    events << QStringLiteral("end");
}

void RecordingWindow::SetBusy(quint8 on)
{
    busy = on == 1;
    enabled = !busy;
    events << (busy ? QStringLiteral("busy on") : QStringLiteral("busy off"));
}

void RecordingWindow::ReturnToIdle()
{
    busy = false;
    enabled = true;
    hourglass = false;
    events << QStringLiteral("idle");
}

QString RecordingWindow::text(int messageRow) const
{
    return m_messages.text(messageRow, m_state.LanguageIndex);
}

void RecordingWindow::showMessage(const QString &text)
{
    message = text;
    messages << text;
    events << QStringLiteral("message ") + text;
}

void RecordingWindow::showSerial(const QString &text)
{
    serial = text;
}

void RecordingWindow::showVersion(const QString &text)
{
    version = text;
}

void RecordingWindow::showModuleId(const QString &id)
{
    idPanel = id;
}

void RecordingWindow::setIdPosition(int position)
{
    position = qBound(1, position, 99);
    if (position == idPosition)
        return;
    idPosition = position;
    idPanel = QString::asprintf("%02d", position);
}

void RecordingWindow::selectBaudRate(int index)
{
    baudIndex = index;
    baudSelections << index;
    events << QStringLiteral("baud %1").arg(index);
}

void RecordingWindow::selectMode(int index)
{
    mode = index;
}

void RecordingWindow::setPolarity(const FourFlags &checked)
{
    polarityBoxes = checked;
}

void RecordingWindow::setOutputs(const FourFlags &on)
{
    outputBoxes = on;
    events << QStringLiteral("outputs %1%2%3%4").arg(on[0]).arg(on[1]).arg(on[2]).arg(on[3]);
}

void RecordingWindow::showInputs(const FourFlags &on)
{
    inputLamps = on;
    const QString pattern = QStringLiteral("%1%2%3%4").arg(on[0]).arg(on[1]).arg(on[2]).arg(on[3]);
    inputHistory << pattern;
    events << QStringLiteral("inputs ") + pattern;
}

void RecordingWindow::setProcessCaption(const QString &text)
{
    caption = text;
    events << QStringLiteral("caption ") + text;
}

void RecordingWindow::enableOtherWork(bool enabled)
{
    otherWorkEnabled = enabled;
    events << (enabled ? QStringLiteral("other work on") : QStringLiteral("other work off"));
}

void RecordingWindow::enableWindow()
{
    enabled = true;
    events << QStringLiteral("window on");
}

void RecordingWindow::setLamp(LampColour colour)
{
    lamp = colour;
    events << QStringLiteral("lamp ") + LampName(colour);
}

void RecordingWindow::setHourglass(bool on)
{
    hourglass = on;
    events << (on ? QStringLiteral("hourglass on") : QStringLiteral("hourglass off"));
}

void RecordingWindow::processMessages()
{
    QCoreApplication::processEvents();
}

void RecordingWindow::beep(int frequencyHz, int durationMs)
{
    events << QStringLiteral("tone %1 %2").arg(frequencyHz).arg(durationMs);
    if (toneSleepMs > 0)
        QThread::msleep(toneSleepMs);
}
