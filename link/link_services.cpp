#include "link_services.h"

#include "precise_sleep.h"

#include <QCoreApplication>

#include <chrono>

LinkServices LinkServices::system()
{
    LinkServices services;
    services.clockMs = [] {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<quint32>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    };
    services.sleepMs = [](int milliseconds) {
        SleepUntilMicros(MonotonicMicros() + qint64(milliseconds) * 1000);
    };
    services.clockUs = MonotonicMicros;
    services.sleepUntilUs = SleepUntilMicros;
    services.pumpMessages = [] {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
    };
    return services;
}
