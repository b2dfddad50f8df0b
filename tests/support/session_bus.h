#pragma once

#include <QProcess>
#include <QString>

// A private D-Bus session bus for tests of what the program says on it. The
// accessibility bus and its registry start on it by D-Bus activation when a program
// asks for them, and end with it.
class SessionBus
{
public:
    SessionBus();
    ~SessionBus();

    // The bus's address, for DBUS_SESSION_BUS_ADDRESS; empty when it did not start.
    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};
