#pragma once

#include <QProcess>
#include <QString>

// A private X server (Xvfb) for tests that run the real program in a real window.
class XvfbDisplay
{
public:
    XvfbDisplay();
    ~XvfbDisplay();

    // ":N", or empty when the server did not start.
    QString display() const { return m_display; }

    // Runs a command on this display and returns its standard output; empty when it
    // failed or took longer than the bound.
    QString run(const QString &program, const QStringList &arguments, int timeoutMs = 10000) const;

private:
    QProcess m_server;
    QString m_display;
};
