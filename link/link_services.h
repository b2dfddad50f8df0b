#pragma once

#include <QtGlobal>

#include <functional>

// What the link takes from the outside world: a millisecond clock that wraps at
// 2^32 like the system's tick count, a sleep, and a call that lets the window
// process its pending messages. Tests hand in their own.
struct LinkServices
{
    std::function<quint32()> clockMs;
    std::function<void(int milliseconds)> sleepMs;
    std::function<void()> pumpMessages;

    // The monotonic clock, a thread sleep, and QCoreApplication::processEvents().
    static LinkServices system();
};

// Milliseconds from start to now on a wrapping 32-bit clock.
inline quint32 ElapsedMs(quint32 start, quint32 now)
{
    return now - start;
}
