#include "xvfb_display.h"

XvfbDisplay::XvfbDisplay()
{
    // -displayfd lets the server pick a free display and tell us which.
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp")});
    if (!m_server.waitForStarted(5000))
        return;
    QByteArray number;
    while (!number.contains('\n') && m_server.waitForReadyRead(10000))
        number += m_server.readAllStandardOutput();
    if (!number.trimmed().isEmpty())
        m_display = u':' + QString::fromLatin1(number.trimmed());
}

XvfbDisplay::~XvfbDisplay()
{
    m_server.terminate();
    if (!m_server.waitForFinished(5000))
        m_server.kill();
}

QString XvfbDisplay::run(const QString &program, const QStringList &arguments, int timeoutMs) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    // The tests themselves run offscreen; what runs here belongs on the display.
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}
