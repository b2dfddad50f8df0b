// The operation frame, busy mode and the blinking lamp.

#include "frm_module.h"

#include "shape_widget.h"

#include <QApplication>
#include <QLabel>

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

void TfrmModule::BeginOperation()
{
    m_operationOpen = true;
    setHourglass(true);
    enableWholeWindow(false);
    // The cursor and the disabled window show before the work starts.
    QApplication::processEvents();
}

void TfrmModule::EndOperation(LampColour lamp, int messageRow, int frequencyHz)
{
    paintLamp(shComm, lamp);
    showMessage(text(messageRow));
    beep(frequencyHz, 300);
    enableWholeWindow(true);
    setHourglass(false);
    m_operationOpen = false;
    closeIfAskedAndIdle();
}

void TfrmModule::SetBusy(quint8 on)
{
    if (on == 1) {
        m_busy = true;
        tmrBusy->start();
        enableWholeWindow(false);
    } else {
        enableWholeWindow(true);
        tmrBusy->stop();
        m_busy = false;
        closeIfAskedAndIdle();
    }
}

void TfrmModule::ReturnToIdle()
{
    tmrBusy->stop();
    enableWholeWindow(true);
    setHourglass(false);
    m_busy = false;
    m_operationOpen = false;
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
