#include "mode_string.h"

#include <QStringList>

namespace {

std::optional<QSerialPort::Parity> parseParity(const QString &letter)
{
    const QString p = letter.toLower();
    if (p == u"n")
        return QSerialPort::NoParity;
    if (p == u"e")
        return QSerialPort::EvenParity;
    if (p == u"o")
        return QSerialPort::OddParity;
    if (p == u"m")
        return QSerialPort::MarkParity;
    if (p == u"s")
        return QSerialPort::SpaceParity;
    return std::nullopt;
}

std::optional<QSerialPort::StopBits> parseStopBits(const QString &text)
{
    if (text == u"1")
        return QSerialPort::OneStop;
    if (text == u"1.5")
        return QSerialPort::OneAndHalfStop;
    if (text == u"2")
        return QSerialPort::TwoStop;
    return std::nullopt;
}

} // namespace

std::optional<LineSettings> ParseModeString(const QString &mode)
{
    const QStringList fields = mode.trimmed().split(u',');
    if (fields.size() != 4)
        return std::nullopt;

    bool baudOk = false;
    const int baud = fields[0].trimmed().toInt(&baudOk);
    bool bitsOk = false;
    const int bits = fields[2].trimmed().toInt(&bitsOk);
    const auto parity = parseParity(fields[1].trimmed());
    const auto stop = parseStopBits(fields[3].trimmed());
    if (!baudOk || baud <= 0 || !bitsOk || bits < 5 || bits > 8 || !parity || !stop)
        return std::nullopt;

    return LineSettings{baud, *parity, static_cast<QSerialPort::DataBits>(bits), *stop};
}
