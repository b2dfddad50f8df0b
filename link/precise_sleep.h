#pragma once

#include <QtGlobal>

// Microseconds on the monotonic clock.
qint64 MonotonicMicros();

// Sleeps until that reading of MonotonicMicros(), never less and only a little more. A
// thread's sleep may wake a tenth of a millisecond late on some machines, and the
// link's pauses of 1 ms add that up; so the sleep ends a little before the deadline,
// by what the wake-ups of this thread have come late so far, and the rest is spun.
void SleepUntilMicros(qint64 deadline);
