#include "line_setting.h"

#include <QStringList>

int SimLineSetting::bitsPerCharacter() const
{
    return 1 + dataBits + (parity == 'n' ? 0 : 1) + stopBits;
}

qint64 SimLineSetting::characterTimeNs() const
{
    return baud > 0 ? qint64(bitsPerCharacter()) * 1'000'000'000 / baud : 0;
}

QString SimLineSetting::modeString() const
{
    return QStringLiteral("%1,%2,%3,%4").arg(baud).arg(QChar(parity)).arg(dataBits).arg(stopBits);
}

std::optional<SimLineSetting> SimLineSetting::fromModeString(const QString &mode)
{
    const QStringList f = mode.trimmed().split(u',');
    if (f.size() != 4 || f[1].size() != 1 || !QStringLiteral("neoms").contains(f[1].toLower()))
        return std::nullopt;
    bool ok1 = false, ok2 = false, ok3 = false;
    SimLineSetting s{f[0].toInt(&ok1), f[1].toLower().at(0).toLatin1(), f[2].toInt(&ok2),
                     f[3].toInt(&ok3)};
    if (!ok1 || !ok2 || !ok3 || s.baud <= 0 || s.dataBits < 5 || s.dataBits > 8 ||
        (s.stopBits != 1 && s.stopBits != 2))
        return std::nullopt;
    return s;
}

SimLineSetting ModuleSetting(int index)
{
    static const int rates[] = {4800, 9600, 19200, 38400, 57600, 115200};
    if (index < 0 || index >= SimSettingCount)
        index = 5;
    return SimLineSetting{rates[index / 2], index % 2 ? 'e' : 'n', 8, 1};
}

std::optional<int> SettingIndexForCode(char code)
{
    if (code >= '0' && code <= '9')
        return code - '0';
    if (code == 'A')
        return 10;
    if (code == 'B')
        return 11;
    return std::nullopt;
}
