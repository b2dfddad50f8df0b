#pragma once

#include <QString>

// Low latency from the driver of an open serial terminal (Linux: ASYNC_LOW_LATENCY
// through TIOCSSERIAL). An FTDI-type adapter otherwise holds short replies for its
// latency timer, 16 ms by default, on every exchange.
class LowLatency
{
public:
    // Asks for it; false, with the driver's reason, when the driver has no such setting
    // or will not take it. Many drivers have none, and the port works as well without.
    bool request(int descriptor);
    // Puts the driver's flags back as request() found them: some drivers (ftdi_sio)
    // keep the flag after the port is closed.
    void restore(int descriptor);

    const QString &refusal() const { return m_refusal; }

private:
    bool m_changed = false;
    int m_foundFlags = 0;
    QString m_refusal;
};

// The latency timer of an adapter that has one, in ms, from sysfs; -1 where none.
int LatencyTimerMs(const QString &device);
// The sysfs file that holds it (whether or not it exists).
QString LatencyTimerPath(const QString &device);
