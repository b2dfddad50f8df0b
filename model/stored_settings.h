#pragma once

#include "registry_file.h"
#include "shared_state.h"

#include <QString>

// The settings kept between runs: where the module was last found and the language.
class StoredSettings
{
public:
    // onStep: see WriteStepHook; empty but in tests.
    explicit StoredSettings(QString filePath = defaultFilePath(), WriteStepHook onStep = {});
    // $XDG_CONFIG_HOME/VANTREL/Morvale.reg, XDG_CONFIG_HOME defaulting to ~/.config.
    static QString defaultFilePath();

    // The same file, never written: saves do nothing. For work whose finds are not to be
    // kept.
    StoredSettings readOnly() const;

    void LoadSettings(SharedState &state) const;
    void SaveScanSettings(const SharedState &state) const;
    void SaveLanguageFlag(const SharedState &state) const;

private:
    QString m_filePath;
    WriteStepHook m_onStep;
    bool m_readOnly = false;
};
