// Placeholder until the stored settings are written.
#include "stored_settings.h"

StoredSettings::StoredSettings(QString filePath) : m_filePath(std::move(filePath)) {}
QString StoredSettings::defaultFilePath() { return {}; }
void StoredSettings::LoadSettings(SharedState &state) const
{
    state.ScanCommNo = 0;
    state.ScanBaudRate = QStringLiteral("19200,e,8,1");
    state.ScanBaudRateNo = 5;
    state.LanguageFlag = QStringLiteral("English");
    state.LanguageIndex = 0;
}
void StoredSettings::SaveScanSettings(const SharedState &) const {}
void StoredSettings::SaveLanguageFlag(const SharedState &) const {}
