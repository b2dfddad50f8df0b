#pragma once

#include <QByteArray>

// The XOR of a frame's bytes before its checksum digits.
quint8 FrameChecksum(const QByteArray &bytes, quint8 start = 0);
// The checksum as it goes on the wire: two uppercase hexadecimal digits, high first.
QByteArray ChecksumDigits(quint8 checksum);
