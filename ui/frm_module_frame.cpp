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

void TfrmModule::BeginOperation()
{
    m_operationOpen = true;
    setHourglass(true);
    setEnabled(false);
    // The cursor and the disabled window show before the work starts.
    QApplication::processEvents();
}

void TfrmModule::EndOperation(LampColour lamp, int messageRow, int frequencyHz)
{
    paintLamp(shComm, lamp);
    showMessage(text(messageRow));
    beep(frequencyHz, 300);
    setEnabled(true);
    setHourglass(false);
    m_operationOpen = false;
    closeIfAskedAndIdle();
}

void TfrmModule::SetBusy(quint8 on)
{
    if (on == 1) {
        m_busy = true;
        tmrBusy->start();
        setEnabled(false);
    } else {
        setEnabled(true);
        tmrBusy->stop();
        m_busy = false;
        closeIfAskedAndIdle();
    }
}

void TfrmModule::ReturnToIdle()
{
    tmrBusy->stop();
    setEnabled(true);
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
