#include "link_services.h"

#include <QCoreApplication>

#include <chrono>
#include <thread>

LinkServices LinkServices::system()
{
    LinkServices services;
    services.clockMs = [] {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<quint32>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    };
    services.sleepMs = [](int milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    };
    services.pumpMessages = [] {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
    };
    return services;
}
