#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

// A serial mode string such as "19200,e,8,1": baud rate, parity letter, data bits
// and stop bits, in the comma form that Windows' BuildCommDCB accepts.
struct LineSettings
{
    qint32 baudRate = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    bool operator==(const LineSettings &) const = default;
};

// Nothing is returned for text that is not a complete, valid mode string.
std::optional<LineSettings> ParseModeString(const QString &mode);
