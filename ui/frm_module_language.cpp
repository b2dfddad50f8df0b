// Labelling the window in the current language, and the three language buttons.

#include "frm_module.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

void TfrmModule::FormShow()
{
    setWindowTitle(text(MessageRow::Caption));
    pnVANTREL->setText(text(MessageRow::Footer));
    pnMsg->setText(text(MessageRow::StartScanModule));
    pnSerial->setText(text(MessageRow::SerialNo) + QStringLiteral(" : ________"));
    pnVersion->setText(text(MessageRow::Version) + QStringLiteral(" : __.__-__"));
    lblID->setText(text(MessageRow::Id) + u':');
    lblBaudRate->setText(text(MessageRow::BaudRate) + u':');
    btnScan->setText(text(MessageRow::ScanModule));
    btnID->setText(text(MessageRow::SetModuleId));
    btnBaudRate->setText(text(MessageRow::SetModuleBaudRateReset));
    btnMode->setText(text(MessageRow::SetModuleMode));
    btnProcess->setText(text(MessageRow::ProcessModule));
    gbDefault->setTitle(text(MessageRow::QuickSetting));
    pcDefault->setTabText(pcDefault->indexOf(tsDefault), text(MessageRow::Default));
    btnFactory->setText(u'(' + text(MessageRow::FactoryDefault) + u')');
    btnExit->setText(text(MessageRow::Exit));
    nameControls();
}

void TfrmModule::switchLanguage(const Language &language)
{
    m_state.LanguageIndex = language.index;
    m_state.LanguageFlag = language.storedName;
    // The language changes all the same; the message panel's tooltip says why it will
    // not be the next run's.
    if (const QString failure = m_settings.SaveLanguageFlag(m_state); !failure.isEmpty())
        explain(failure);
    FormShow();
}

void TfrmModule::btnEngClick()
{
    switchLanguage(Languages().at(0));
}

void TfrmModule::btnGBClick()
{
    switchLanguage(Languages().at(1));
}

void TfrmModule::btnBIG5Click()
{
    switchLanguage(Languages().at(2));
}
