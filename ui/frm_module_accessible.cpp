// What the window tells a screen reader beyond its visible texts: names for the
// controls that show a picture, a lamp or no caption, and the lamps' states in words,
// all in the current language.

#include "frm_module.h"

#include "accessible_texts.h"
#include "shape_widget.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

void TfrmModule::nameControls()
{
    const int language = m_state.LanguageIndex;
    auto say = [language](AccessibleText text) { return AccessibleTextOf(text, language); };
    sbID->setAccessibleName(text(MessageRow::Id));
    chkLock->setAccessibleName(say(AccessibleText::LockBox));
    chkLock->setAccessibleDescription(say(AccessibleText::LockBoxDescription));
    shComm->setAccessibleName(say(AccessibleText::CommunicationLamp));
    for (int i = 0; i < 4; ++i)
        shDI[i]->setAccessibleName(say(AccessibleText::InputLamp).arg(lblDI[i]->text()));
    btnAll->setAccessibleName(say(AccessibleText::AllOutputs));
    btnAll->setAccessibleDescription(say(AccessibleText::AllOutputsDescription));
    // Each language is named in its own writing, as the pictures show it.
    btnGB->setAccessibleName(Languages().at(1).ownName);
    btnGB->setAccessibleDescription(say(AccessibleText::SimplifiedChinese));
    btnBIG5->setAccessibleName(Languages().at(2).ownName);
    btnBIG5->setAccessibleDescription(say(AccessibleText::TraditionalChinese));
    tsDefault->setAccessibleName(text(MessageRow::Default));
    describeLamps();
}

void TfrmModule::describeLamps()
{
    const int language = m_state.LanguageIndex;
    AccessibleText state = AccessibleText::Idle;
    if (tmrBusy->isActive())
        state = AccessibleText::Busy;
    else if (m_lampOutcome == LampColour::Yellow)
        state = AccessibleText::Success;
    else if (m_lampOutcome == LampColour::Red)
        state = AccessibleText::Failure;
    shComm->setAccessibleDescription(AccessibleTextOf(state, language));
    for (int i = 0; i < 4; ++i) {
        shDI[i]->setAccessibleDescription(
            AccessibleTextOf(m_inputsOn[i] ? AccessibleText::On : AccessibleText::Off, language));
    }
}
