#include "session_bus.h"

SessionBus::SessionBus()
{
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(5000))
        return;
    QByteArray line;
    while (!line.contains('\n') && m_daemon.waitForReadyRead(10000))
        line += m_daemon.readAllStandardOutput();
    m_address = QString::fromUtf8(line.trimmed());
}

SessionBus::~SessionBus()
{
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000))
        m_daemon.kill();
}
