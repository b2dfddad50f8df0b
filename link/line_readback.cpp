#include "line_readback.h"

#include <QStringList>

#include <termios.h>

namespace {

// The speed codes of the rates the program offers; a rate outside them goes through
// another interface and is not checked here.
speed_t speedCodeOf(qint32 baudRate)
{
    switch (baudRate) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

tcflag_t parityFlagsOf(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::EvenParity:
        return PARENB;
    case QSerialPort::OddParity:
        return PARENB | PARODD;
    case QSerialPort::SpaceParity:
        return PARENB | CMSPAR;
    case QSerialPort::MarkParity:
        return PARENB | PARODD | CMSPAR;
    default:
        return 0;
    }
}

QString parityName(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::EvenParity:
        return QStringLiteral("even parity");
    case QSerialPort::OddParity:
        return QStringLiteral("odd parity");
    case QSerialPort::SpaceParity:
        return QStringLiteral("space parity");
    case QSerialPort::MarkParity:
        return QStringLiteral("mark parity");
    default:
        return QStringLiteral("no parity");
    }
}

tcflag_t sizeFlagOf(QSerialPort::DataBits bits)
{
    switch (bits) {
    case QSerialPort::Data5:
        return CS5;
    case QSerialPort::Data6:
        return CS6;
    case QSerialPort::Data7:
        return CS7;
    default:
        return CS8;
    }
}

} // namespace

QString SettingNotTaken(int descriptor, const LineSettings &wanted)
{
    termios now{};
    if (::tcgetattr(descriptor, &now) != 0)
        return QStringLiteral("the driver did not report the line setting back");
    QStringList missed;
    const speed_t speed = speedCodeOf(wanted.baudRate);
    if (speed != B0 && ::cfgetospeed(&now) != speed)
        missed << QStringLiteral("%1 baud").arg(wanted.baudRate);
    if ((now.c_cflag & (PARENB | PARODD | CMSPAR)) != parityFlagsOf(wanted.parity))
        missed << parityName(wanted.parity);
    if ((now.c_cflag & CSIZE) != sizeFlagOf(wanted.dataBits))
        missed << QStringLiteral("%1 data bits").arg(int(wanted.dataBits));
    if (wanted.stopBits != QSerialPort::OneAndHalfStop &&
        bool(now.c_cflag & CSTOPB) != (wanted.stopBits == QSerialPort::TwoStop))
        missed
            << QStringLiteral("%1 stop bits").arg(wanted.stopBits == QSerialPort::TwoStop ? 2 : 1);
    if (missed.isEmpty())
        return {};
    return QStringLiteral("the driver did not accept ") + missed.join(QStringLiteral(", "));
}
