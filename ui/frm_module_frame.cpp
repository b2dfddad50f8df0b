// What the window lets the operator do while work runs, and the blinking lamp.

#include "frm_module.h"

#include "shape_widget.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace {

QColor colourOf(LampColour lamp)
{
    switch (lamp) {
    case LampColour::Red:
        return QColor(255, 0, 0);
    case LampColour::Yellow:
        return QColor(255, 255, 0);
    case LampColour::White:
        return QColor(255, 255, 255);
    }
    return QColor(255, 0, 0);
}

} // namespace

void TfrmModule::paintLamp(TShape *lamp, LampColour colour)
{
    lamp->setBrushColor(colourOf(colour));
}

void TfrmModule::setHourglass(bool on)
{
    if (on == m_hourglass)
        return;
    m_hourglass = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfrmModule::enableWholeWindow(bool enabled)
{
    // Disabling the window takes the keyboard focus away from the control that had it;
    // it goes back there, so that Space still reaches the live I/O button and Enter the
    // button the operator last used.
    if (!enabled && isEnabled())
        m_focusBeforeDisabling = focusWidget();
    setEnabled(enabled);
    if (enabled && m_focusBeforeDisabling && m_focusBeforeDisabling->isEnabled())
        m_focusBeforeDisabling->setFocus();
}

void TfrmModule::setActivity(Activity activity)
{
    const ActivityLook was = LookOf(m_activity);
    const ActivityLook now = LookOf(activity);
    m_activity = activity;
    if (now.liveLoop && !was.liveLoop) {
        m_idleCaption = btnProcess->text();
        btnProcess->setText(text(MessageRow::CancelProcessModule));
        enableOtherWork(false);
    }
    if (now.lampBlinking && !was.lampBlinking) {
        tmrBusy->start();
        describeLamps();
    }
    if (now.windowEnabled != was.windowEnabled)
        enableWholeWindow(now.windowEnabled);
    if (!now.lampBlinking && was.lampBlinking) {
        tmrBusy->stop();
        describeLamps();
    }
    setHourglass(now.hourglass);
    if (!now.liveLoop && was.liveLoop) {
        enableOtherWork(true);
        btnProcess->setText(m_idleCaption);
    }
    if (activity == Activity::Idle)
        closeIfAskedAndIdle();
}

void TfrmModule::tmrBusyTimer()
{
    // The phase is kept across busy periods: the first tick after start shows red.
    if (tmrBusy->Tag == 1) {
        tmrBusy->Tag = 0;
        paintLamp(shComm, LampColour::Yellow);
    } else {
        tmrBusy->Tag = 1;
        paintLamp(shComm, LampColour::Red);
    }
}
