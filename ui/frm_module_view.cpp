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

void TfrmModule::showSerial(const QString &text)
{
    pnSerial->setText(text);
}

void TfrmModule::showVersion(const QString &text)
{
    pnVersion->setText(text);
}

QString TfrmModule::moduleId() const
{
    return pnID->text();
}

void TfrmModule::showModuleId(const QString &id)
{
    pnID->setText(id);
}

void TfrmModule::setIdPosition(int position)
{
    // The scroll bar keeps within 1 to 99, and rewrites the panel only on a change.
    sbID->setValue(position);
}

int TfrmModule::baudRateIndex() const
{
    return cmbBaudRate->currentIndex();
}

void TfrmModule::selectBaudRate(int index)
{
    if (IsBaudRateIndex(index))
        cmbBaudRate->setCurrentIndex(index);
}

bool TfrmModule::baudRateLocked() const
{
    return chkLock->isChecked();
}

int TfrmModule::modeIndex() const
{
    return cmbMode->currentIndex();
}

void TfrmModule::selectMode(int index)
{
    cmbMode->setCurrentIndex(index);
}

FourFlags TfrmModule::polarity() const
{
    return {chkDI[0]->isChecked(), chkDI[1]->isChecked(), chkDI[2]->isChecked(),
            chkDI[3]->isChecked()};
}

void TfrmModule::setPolarity(const FourFlags &checked)
{
    for (int i = 0; i < 4; ++i)
        chkDI[i]->setChecked(checked[i]);
}

FourFlags TfrmModule::outputs() const
{
    return {chkDO[0]->isChecked(), chkDO[1]->isChecked(), chkDO[2]->isChecked(),
            chkDO[3]->isChecked()};
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
}

QString TfrmModule::processCaption() const
{
    return btnProcess->text();
}

void TfrmModule::setProcessCaption(const QString &caption)
{
    btnProcess->setText(caption);
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

void TfrmModule::enableWindow()
{
    enableWholeWindow(true);
}

void TfrmModule::setLamp(LampColour colour)
{
    paintLamp(shComm, colour);
}

void TfrmModule::processMessages()
{
    QApplication::processEvents();
}

void TfrmModule::beep(int frequencyHz, int durationMs)
{
    m_beep(frequencyHz, durationMs);
}
