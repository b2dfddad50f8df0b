#include "line_drain.h"

#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

// The longest a character can take on the line: a start bit, 8 data bits, parity
// and two stop bits.
constexpr int LongestCharacterBits = 12;

} // namespace

bool DrainLine(int descriptor, qint32 baudRate, QDeadlineTimer deadline)
{
#ifdef Q_OS_UNIX
    // tcdrain() has no time limit of its own. The driver's queue is watched against
    // the deadline first, so that a wedged driver cannot hold the window; once it is
    // empty only the UART's own FIFO is left, which without flow control always
    // empties at the line's rate, and tcdrain() waits for that.
    const qint64 characterUs = 1'000'000LL * LongestCharacterBits / std::max(baudRate, 1);
    for (;;) {
        int queued = 0;
        if (::ioctl(descriptor, TIOCOUTQ, &queued) != 0 || queued <= 0)
            break;
        if (deadline.hasExpired())
            return false;
        const qint64 remainingUs = deadline.remainingTime() * 1000LL;
        std::this_thread::sleep_for(std::chrono::microseconds(
            std::clamp<qint64>(queued * characterUs, 100, std::max<qint64>(remainingUs, 100))));
    }
    while (::tcdrain(descriptor) != 0) {
        if (errno != EINTR || deadline.hasExpired())
            return false;
    }
    return true;
#else
    Q_UNUSED(descriptor);
    Q_UNUSED(baudRate);
    Q_UNUSED(deadline);
    return true;
#endif
}
