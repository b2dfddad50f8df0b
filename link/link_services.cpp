#include "link_services.h"

#include <QCoreApplication>

#include <chrono>
#include <thread>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

LinkServices LinkServices::system()
{
    LinkServices services;
    services.clockMs = [] {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<quint32>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    };
    services.sleepMs = [](int milliseconds) {
#ifdef Q_OS_LINUX
        // The kernel may let a sleep run 50 us long by default; the link sleeps 1 ms at a
        // time, 35 times in a live I/O cycle, so that would add up.
        static thread_local const bool tightTimers = ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0;
        (void)tightTimers;
#endif
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    };
    services.pumpMessages = [] {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
    };
    return services;
}
