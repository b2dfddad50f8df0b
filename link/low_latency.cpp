#include "low_latency.h"

#include "system_roots.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

bool LowLatency::request(int descriptor)
{
    m_changed = false;
    m_refusal.clear();
#ifdef Q_OS_LINUX
    serial_struct serial{};
    if (::ioctl(descriptor, TIOCGSERIAL, &serial) != 0) {
        m_refusal = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (serial.flags & ASYNC_LOW_LATENCY)
        return true;
    m_foundFlags = serial.flags;
    serial.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(descriptor, TIOCSSERIAL, &serial) != 0) {
        m_refusal = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_changed = true;
    return true;
#else
    Q_UNUSED(descriptor);
    m_refusal = QStringLiteral("not on this system");
    return false;
#endif
}

void LowLatency::restore(int descriptor)
{
#ifdef Q_OS_LINUX
    if (!m_changed)
        return;
    m_changed = false;
    serial_struct serial{};
    if (::ioctl(descriptor, TIOCGSERIAL, &serial) != 0)
        return;
    serial.flags = m_foundFlags;
    ::ioctl(descriptor, TIOCSSERIAL, &serial);
#else
    Q_UNUSED(descriptor);
#endif
}

QString LatencyTimerPath(const QString &device)
{
    return SysfsRoot() + QStringLiteral("/class/tty/") + QFileInfo(device).fileName() +
           QStringLiteral("/device/latency_timer");
}

int LatencyTimerMs(const QString &device)
{
    QFile timer(LatencyTimerPath(device));
    if (!timer.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const int ms = timer.readLine(32).trimmed().toInt(&ok);
    return ok ? ms : -1;
}
