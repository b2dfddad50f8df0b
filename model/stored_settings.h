#pragma once

#include "registry_file.h"
#include "shared_state.h"

#include <QString>

// The settings kept between runs: where the module was last found and the language.
// Run as root over another user's configuration folder, it reads and writes as that
// user (file_work_as_owner.h).
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

    // A stored setting that is not one of the list's is not used as it stands: it comes
    // from its index where that is in the list, and the other way round; where neither
    // is, both take their defaults. The reason goes to the log (tx4040.settings).
    void LoadSettings(SharedState &state) const;
    // True when a language was chosen and kept (a language button was pressed).
    bool HoldsLanguage() const;
    // Each returns why the values could not be saved (the file and the system's reason),
    // also logged; empty once saved, or when nothing is to be saved. A failure changes
    // nothing on disk, and the program goes on with the values in memory.
    QString SaveScanSettings(const SharedState &state) const;
    QString SaveLanguageFlag(const SharedState &state) const;

private:
    // Opens the key for writing, lets `write` set the values, and says why that failed.
    template <typename Write> QString save(Write write) const;

    QString m_filePath;
    WriteStepHook m_onStep;
    bool m_readOnly = false;
};
