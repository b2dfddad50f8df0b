#pragma once

#include "shared_state.h"

#include <QString>

// The settings kept between runs: where the module was last found and the language.
class StoredSettings
{
public:
    explicit StoredSettings(QString filePath = defaultFilePath());
    // $XDG_CONFIG_HOME/VANTREL/Morvale.reg, XDG_CONFIG_HOME defaulting to ~/.config.
    static QString defaultFilePath();

    void LoadSettings(SharedState &state) const;
    void SaveScanSettings(const SharedState &state) const;
    void SaveLanguageFlag(const SharedState &state) const;

private:
    QString m_filePath;
};
