#include "stored_settings.h"

#include "config_folder.h"

#include <QDir>
#include <QtEndian>

namespace {

// "\Software\VANTREL\Morvale" under HKEY_LOCAL_MACHINE; the registry takes it without
// the leading backslash.
const QString KeyPath = QStringLiteral("Software\\VANTREL\\Morvale");

const QString DefaultScanBaudRate = QStringLiteral("19200,e,8,1");
constexpr qint32 DefaultScanBaudRateNo = 5;
const QString EnglishFlag = QStringLiteral("English");

// Each is false when the value exists but is of another type or cannot be read, which
// ends the load; a missing value leaves the target as it is.
bool readInteger(const RegistryFile &key, const QString &name, qint32 &target)
{
    RegistryValue value;
    const RegistryFile::Query query = key.queryValue(name, value);
    if (query != RegistryFile::Query::Found)
        return query == RegistryFile::Query::Missing;
    if (value.type != RegistryType::Dword || value.data.size() != 4)
        return false;
    target = qFromLittleEndian<qint32>(value.data.constData());
    return true;
}

bool readText(const RegistryFile &key, const QString &name, QString &target)
{
    RegistryValue value;
    const RegistryFile::Query query = key.queryValue(name, value);
    if (query != RegistryFile::Query::Found)
        return query == RegistryFile::Query::Missing;
    // An expandable text is taken as it stands: nothing here names environment variables.
    if (value.type != RegistryType::Sz && value.type != RegistryType::ExpandSz)
        return false;
    const qsizetype zero = value.data.indexOf('\0');
    target = QString::fromUtf8(zero < 0 ? value.data : value.data.left(zero));
    return true;
}

} // namespace

StoredSettings::StoredSettings(QString filePath, WriteStepHook onStep)
    : m_filePath(std::move(filePath)), m_onStep(std::move(onStep))
{}

QString StoredSettings::defaultFilePath()
{
    return VantrelConfigFolder() + QStringLiteral("/Morvale.reg");
}

StoredSettings StoredSettings::readOnly() const
{
    StoredSettings copy(*this);
    copy.m_readOnly = true;
    return copy;
}

void StoredSettings::LoadSettings(SharedState &state) const
{
    state.ScanCommNo = 0;
    state.ScanBaudRate = DefaultScanBaudRate;
    state.ScanBaudRateNo = DefaultScanBaudRateNo;
    state.LanguageFlag = EnglishFlag;
    state.LanguageIndex = 0;

    RegistryFile key(m_filePath, KeyPath);
    if (!key.open())
        return;
    // The first value that cannot be read ends the load; what was read so far stays.
    if (readInteger(key, QStringLiteral("ScanCommNo"), state.ScanCommNo) &&
        readText(key, QStringLiteral("ScanBaudRate"), state.ScanBaudRate) &&
        readInteger(key, QStringLiteral("ScanBaudRateNo"), state.ScanBaudRateNo))
        readText(key, QStringLiteral("LanguageFlag"), state.LanguageFlag);
    key.close();
    // Unless the flag was read it is still "English", which gives index 0 as well.
    if (state.LanguageFlag == QLatin1String("ChineseGB"))
        state.LanguageIndex = 1;
    else if (state.LanguageFlag == QLatin1String("ChineseBIG5"))
        state.LanguageIndex = 2;
}

void StoredSettings::SaveScanSettings(const SharedState &state) const
{
    if (m_readOnly)
        return;
    RegistryFile key(m_filePath, KeyPath, m_onStep);
    if (!key.create())
        return;
    // One rewrite for all three, so that no crash pairs a port with another scan's setting.
    key.setValues(
        {{QStringLiteral("ScanCommNo"), RegistryValue::dword(quint32(state.ScanCommNo))},
         {QStringLiteral("ScanBaudRateNo"), RegistryValue::dword(quint32(state.ScanBaudRateNo))},
         {QStringLiteral("ScanBaudRate"), RegistryValue::text(state.ScanBaudRate)}});
    key.close();
}

void StoredSettings::SaveLanguageFlag(const SharedState &state) const
{
    if (m_readOnly)
        return;
    RegistryFile key(m_filePath, KeyPath, m_onStep);
    if (!key.create())
        return;
    key.setString(QStringLiteral("LanguageFlag"), state.LanguageFlag);
    key.close();
}
