#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

class FrameTrace;

// What the link takes from the outside world: a millisecond clock that wraps at
// 2^32 like the system's tick count, a finer clock for deadlines within a millisecond,
// sleeps, a call that lets the window process its pending messages, and where the
// frames are logged. Tests hand in their own.
struct LinkServices
{
    std::function<quint32()> clockMs;
    // A pause of at least that long, and hardly more.
    std::function<void(int milliseconds)> sleepMs;
    // Microseconds on a monotonic clock, and a sleep until a reading of it.
    std::function<qint64()> clockUs;
    std::function<void(qint64 deadlineUs)> sleepUntilUs;
    std::function<void()> pumpMessages;
    // Null: no frame log, and nothing spent on one.
    std::shared_ptr<FrameTrace> trace;

    // The monotonic clock, sleeps that end on time, and
    // QCoreApplication::processEvents(); no trace.
    static LinkServices system();
};

// Milliseconds from start to now on a wrapping 32-bit clock.
inline quint32 ElapsedMs(quint32 start, quint32 now)
{
    return now - start;
}
