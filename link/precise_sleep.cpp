#include "precise_sleep.h"

#include <algorithm>
#include <ctime>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace {

constexpr qint64 LeastMarginUs = 20;
// A wake-up late by more than this is a stall, not the machine's habit: it would
// teach the sleep to spin for nothing.
constexpr qint64 LongestLearntLatenessUs = 500;

timespec timespecOf(qint64 micros)
{
    return {time_t(micros / 1'000'000), long(micros % 1'000'000) * 1000};
}

} // namespace

qint64 MonotonicMicros()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

void SleepUntilMicros(qint64 deadline)
{
#ifdef Q_OS_LINUX
    // The kernel may let a sleep run 50 us long by default.
    static thread_local const bool tightTimers = ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0;
    (void)tightTimers;
#endif
    // How late this thread's wake-ups come, learnt as it sleeps.
    static thread_local qint64 latenessUs = 100;
    const qint64 wake = deadline - latenessUs - LeastMarginUs;
    if (wake > MonotonicMicros()) {
        const timespec until = timespecOf(wake);
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0) {
        }
        const qint64 late =
            std::clamp<qint64>(MonotonicMicros() - wake, 0, LongestLearntLatenessUs);
        latenessUs += (late - latenessUs) / 8;
    }
    while (MonotonicMicros() < deadline) {
    }
}
