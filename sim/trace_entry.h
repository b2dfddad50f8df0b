#pragma once

#include <QByteArray>
#include <QString>

// One line of the simulated module's trace: a frame heard or sent, or an event.
struct TraceEntry
{
    qint64 monotonicMicros = 0; // CLOCK_MONOTONIC, as the program's frame log
    QString port;               // COM<n>
    QString event;              // rx, rx-unheard, rx-bad-checksum, rx-ignored, tx, hang-up
    QString setting;            // the line setting the frame travelled at
    QByteArray bytes;

    // The line in the format of the program's frame log (frame_trace.h), so that the
    // two logs merge by sorting.
    QByteArray line() const;
};
