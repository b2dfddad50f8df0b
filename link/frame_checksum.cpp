#include "frame_checksum.h"

quint8 FrameChecksum(const QByteArray &bytes, quint8 start)
{
    quint8 sum = start;
    for (const char c : bytes)
        sum ^= static_cast<quint8>(c);
    return sum;
}

QByteArray ChecksumDigits(quint8 checksum)
{
    static const char digits[] = "0123456789ABCDEF";
    const char pair[2] = {digits[checksum >> 4], digits[checksum & 0x0F]};
    return QByteArray(pair, 2);
}
