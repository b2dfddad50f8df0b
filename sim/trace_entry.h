#pragma once

#include <QByteArray>
#include <QString>

// One line of the simulated module's trace: a frame heard or sent, or an event.
struct TraceEntry
{
    qint64 epochMicros = 0;
    QString event;   // rx, rx-unheard, rx-bad-checksum, rx-ignored, tx, hang-up
    QString setting; // the line setting the frame travelled at
    QByteArray bytes;

    // "<seconds since the epoch, to the microsecond> <event> <setting> <bytes>",
    // with control characters escaped (\t, \r, \n, \0, \xNN).
    QString line() const;
};

QString EscapedBytes(const QByteArray &bytes);
qint64 EpochMicrosNow();
