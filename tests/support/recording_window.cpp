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

void RecordingWindow::setActivity(Activity next)
{
    const ActivityLook was = LookOf(activity);
    const ActivityLook now = LookOf(next);
    if (next == Activity::Operation && activity != Activity::Operation)
        events << QStringLiteral("begin");
    if (now.liveLoop && !was.liveLoop) {
        m_idleCaption = caption;
        setCaption(m_messages.text(MessageRow::CancelProcessModule, m_state.LanguageIndex));
        enableOtherWork(false);
    }
    enabled = now.windowEnabled;
    busy = now.lampBlinking;
    if (now.lampBlinking && !was.lampBlinking) {
        events << QStringLiteral("busy on");
        if (now.windowEnabled)
            events << QStringLiteral("window on");
    }
    if (!now.lampBlinking && was.lampBlinking)
        events << QStringLiteral("busy off");
    if (now.hourglass != was.hourglass)
        setHourglass(now.hourglass);
    if (!now.liveLoop && was.liveLoop) {
        enableOtherWork(true);
        setCaption(m_idleCaption);
    }
    if (activity == Activity::Operation && next != Activity::Operation)
        events << QStringLiteral("end");
    activity = next;
}

void RecordingWindow::showIdentity(IdentityPanel panel, const QString &text)
{
    switch (panel) {
    case IdentityPanel::SerialNo:
        serial = text;
        break;
    case IdentityPanel::Version:
        version = text;
        break;
    case IdentityPanel::ModuleId:
        idPanel = text;
        break;
    }
}

ControlValues RecordingWindow::controls() const
{
    return {idPanel,       baudIndex,  locked, mode == 0 ? OutputMode::Hold : OutputMode::Normal,
            polarityBoxes, outputBoxes};
}

void RecordingWindow::showMessage(const QString &text)
{
    message = text;
    messages << text;
    events << QStringLiteral("message ") + text;
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

void RecordingWindow::selectMode(OutputMode chosen)
{
    mode = chosen == OutputMode::Hold ? 0 : 1;
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

void RecordingWindow::setCaption(const QString &text)
{
    caption = text;
    events << QStringLiteral("caption ") + text;
}

void RecordingWindow::enableOtherWork(bool enabled)
{
    otherWorkEnabled = enabled;
    events << (enabled ? QStringLiteral("other work on") : QStringLiteral("other work off"));
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
