#include "stored_settings.h"

#include "baud_rate_modes.h"
#include "config_folder.h"
#include "file_work_as_owner.h"
#include "language.h"

#include <QDir>
#include <QLoggingCategory>
#include <QtEndian>

Q_LOGGING_CATEGORY(lcSettings, "tx4040.settings", QtWarningMsg)

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

// The pair ScanBaudRate and ScanBaudRateNo, each valid only as an entry of the list:
// an invalid one follows the other, and where neither is valid both take their
// defaults.
void repairSetting(SharedState &state)
{
    const qsizetype listed = BaudRateModes().indexOf(state.ScanBaudRate);
    const bool indexValid = IsBaudRateIndex(state.ScanBaudRateNo);
    if (listed >= 0 && indexValid)
        return;
    const QString found = QStringLiteral("ScanBaudRate \"%1\" and ScanBaudRateNo %2")
                              .arg(state.ScanBaudRate)
                              .arg(state.ScanBaudRateNo);
    if (listed >= 0) {
        state.ScanBaudRateNo = int(listed);
    } else if (indexValid) {
        state.ScanBaudRate = BaudRateModes().at(state.ScanBaudRateNo);
    } else {
        state.ScanBaudRate = DefaultScanBaudRate;
        state.ScanBaudRateNo = DefaultScanBaudRateNo;
    }
    qCWarning(lcSettings, "the stored %s do not both name a setting of the list; using %s (%d)",
              qPrintable(found), qPrintable(state.ScanBaudRate), state.ScanBaudRateNo);
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
    const FileWorkAsOwner owner(m_filePath);
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
    repairSetting(state);
    // Unless the flag was read it is still "English", which gives index 0 as well.
    state.LanguageIndex = LanguageOfStoredName(state.LanguageFlag).index;
}

bool StoredSettings::HoldsLanguage() const
{
    const FileWorkAsOwner owner(m_filePath);
    RegistryFile key(m_filePath, KeyPath);
    RegistryValue value;
    return key.open() &&
           key.queryValue(QStringLiteral("LanguageFlag"), value) == RegistryFile::Query::Found;
}

template <typename Write> QString StoredSettings::save(Write write) const
{
    if (m_readOnly)
        return {};
    const FileWorkAsOwner owner(m_filePath);
    RegistryFile key(m_filePath, KeyPath, m_onStep);
    if (key.create() && write(key)) {
        key.close();
        return {};
    }
    QString failure =
        QStringLiteral("cannot save the settings in %1: %2").arg(m_filePath, key.errorString());
    if (owner.active())
        failure += QStringLiteral(" (%1)").arg(owner.description());
    qCWarning(lcSettings, "%s", qPrintable(failure));
    return failure;
}

QString StoredSettings::SaveScanSettings(const SharedState &state) const
{
    // One rewrite for all three, so that no crash pairs a port with another scan's setting.
    return save([&](RegistryFile &key) {
        return key.setValues(
            {{QStringLiteral("ScanCommNo"), RegistryValue::dword(quint32(state.ScanCommNo))},
             {QStringLiteral("ScanBaudRateNo"),
              RegistryValue::dword(quint32(state.ScanBaudRateNo))},
             {QStringLiteral("ScanBaudRate"), RegistryValue::text(state.ScanBaudRate)}});
    });
}

QString StoredSettings::SaveLanguageFlag(const SharedState &state) const
{
    return save([&](RegistryFile &key) {
        return key.setString(QStringLiteral("LanguageFlag"), state.LanguageFlag);
    });
}
