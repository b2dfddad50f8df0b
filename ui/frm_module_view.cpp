// What the workflows show and read on the window.

#include "frm_module.h"

#include "baud_rate_modes.h"
#include "shape_widget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include <array>

QString TfrmModule::text(int messageRow) const
{
    return m_messages.text(messageRow, m_state.LanguageIndex);
}

void TfrmModule::showMessage(const QString &message)
{
    pnMsg->setText(message);
}

void TfrmModule::explain(const QString &reason)
{
    pnMsg->setToolTip(reason);
}

void TfrmModule::showIdentity(IdentityPanel panel, const QString &text)
{
    switch (panel) {
    case IdentityPanel::SerialNo:
        pnSerial->setText(text);
        break;
    case IdentityPanel::Version:
        pnVersion->setText(text);
        break;
    case IdentityPanel::ModuleId:
        pnID->setText(text);
        break;
    }
}

ControlValues TfrmModule::controls() const
{
    ControlValues values;
    values.moduleId = pnID->text();
    values.baudRateIndex = cmbBaudRate->currentIndex();
    values.baudRateLocked = chkLock->isChecked();
    values.mode = cmbMode->currentIndex() == 0 ? OutputMode::Hold : OutputMode::Normal;
    for (int i = 0; i < 4; ++i) {
        values.polarity[i] = chkDI[i]->isChecked();
        values.outputs[i] = chkDO[i]->isChecked();
    }
    return values;
}

void TfrmModule::setIdPosition(int position)
{
    // The scroll bar keeps within 1 to 99, and rewrites the panel only on a change.
    sbID->setValue(position);
}

void TfrmModule::selectBaudRate(int index)
{
    if (IsBaudRateIndex(index))
        cmbBaudRate->setCurrentIndex(index);
}

void TfrmModule::selectMode(OutputMode mode)
{
    cmbMode->setCurrentIndex(mode == OutputMode::Hold ? 0 : 1);
}

void TfrmModule::setPolarity(const FourFlags &checked)
{
    for (int i = 0; i < 4; ++i)
        chkDI[i]->setChecked(checked[i]);
}

void TfrmModule::setOutputs(const FourFlags &on)
{
    for (int i = 0; i < 4; ++i)
        chkDO[i]->setChecked(on[i]);
}

void TfrmModule::showInputs(const FourFlags &on)
{
    for (int i = 0; i < 4; ++i)
        paintLamp(shDI[i], on[i] ? LampColour::Yellow : LampColour::White);
    if (on != m_inputsOn) {
        m_inputsOn = on;
        describeLamps();
    }
}

void TfrmModule::enableOtherWork(bool enabled)
{
    // In this order, on the way out and on the way back.
    const std::array<QWidget *, 11> controls{btnExit,     btnScan, btnFactory, btnID,
                                             btnBaudRate, btnMode, gbDefault,  btnEng,
                                             btnGB,       btnBIG5, gbNONC};
    for (QWidget *control : controls)
        control->setEnabled(enabled);
}

void TfrmModule::setLamp(LampColour colour)
{
    paintLamp(shComm, colour);
    m_lampOutcome = colour;
    describeLamps();
}

void TfrmModule::processMessages()
{
    QApplication::processEvents();
}
