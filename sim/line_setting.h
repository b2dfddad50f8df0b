#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A serial line setting as the simulated module sees it: what it is set to itself,
// or what a program set on the port.
struct SimLineSetting
{
    int baud = 19200;
    char parity = 'e'; // n, e, o, m, s
    int dataBits = 8;
    int stopBits = 1;

    bool operator==(const SimLineSetting &) const = default;

    // Bits a character takes on the wire: start bit, data, parity, stop bits.
    int bitsPerCharacter() const;
    qint64 characterTimeNs() const;
    QString modeString() const;

    static std::optional<SimLineSetting> fromModeString(const QString &mode);
};

// The module's twelve settings, by the code it is given in "B00E": 0-9, A, B.
inline constexpr int SimSettingCount = 12;
SimLineSetting ModuleSetting(int index);
// The setting index for a code character, or nothing.
std::optional<int> SettingIndexForCode(char code);
