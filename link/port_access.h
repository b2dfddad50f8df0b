#pragma once

#include "link_services.h"
#include "port_map.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QSerialPort;
struct termios;

// The serial port of the link: at most one port open at a time, opened for exclusive
// use by its number with a mode string, read one byte at a time with a 1 ms limit,
// written with a fixed pause after each write. The port's own settings are read at
// open and put back at close.
class PortAccess
{
public:
    enum class ReadResult
    {
        Byte,
        Idle,
        Lost
    };

    PortAccess(PortMap map, LinkServices services);
    ~PortAccess();
    PortAccess(const PortAccess &) = delete;
    PortAccess &operator=(const PortAccess &) = delete;

    // True when the port could be opened. A mode string the port refuses leaves the
    // port at the line settings it had before, and the open still counts.
    bool OpenPort(int portNumber, const QString &modeString);
    // Why the last open failed, in words a technician can act on ("COM3 (/dev/ttyUSB0):
    // permission denied: ..."); empty after an open that succeeded.
    const QString &LastOpenFailure() const { return m_lastOpenFailure; }
    // True when the last open failed because the number names nothing at all, which a
    // search meets at most numbers and need not report.
    bool LastOpenFoundNothing() const { return m_lastOpenFoundNothing; }
    // Puts the port's own settings back and closes it. Only after a successful open.
    void ClosePort();
    bool IsOpen() const;

    // Each write returns once its bytes have left the port, as a synchronous write
    // does; then its pause begins: 1 ms after a byte, 5 ms after a block.
    void WriteByte(quint8 byte);
    void WriteBlock(const char *bytes, int count);

    // Throws away whatever has arrived and not been read yet.
    void DiscardInput();

    // One byte if one arrives within about 1 ms; Lost once the device has gone.
    ReadResult ReadByte(quint8 &byte);

    // Spins on the clock until that many milliseconds have passed, across its wrap.
    void WaitMs(int milliseconds);

    const LinkServices &services() const { return m_services; }
    const PortMap &portMap() const { return m_map; }

    // True when the services carry a frame log; the exchange gathers what it logs only then.
    bool isTraced() const { return m_services.trace != nullptr; }
    // A line in the frame log, if there is one, for the port as it is open (or was last
    // asked for).
    void traceEvent(const QString &event, const QByteArray &bytes = {},
                    const QString &detail = {}) const;

private:
    void applyModeString(const QString &modeString);
    void restoreFoundLineSettings();
    void writeOut(const char *bytes, int count);
    // Keeps why port n did not open; the diagnosis's reason where it finds one.
    bool openFailed(int portNumber, const QString &device, const QString &reason);
    bool deviceLost() const;
    // Logs the loss of the device once for each opening.
    void noticeLost();

    PortMap m_map;
    LinkServices m_services;
    std::unique_ptr<QSerialPort> m_port;
    std::unique_ptr<termios> m_foundSettings;
    QString m_lastOpenFailure;
    bool m_lastOpenFoundNothing = false;
    // What the frame log names the port by: the last open's number and mode string.
    QString m_traceName;
    QString m_traceMode;
    bool m_lossTraced = false;
};

// Keeps a port open for one workflow: closes it on every way out of the scope,
// and only if it was opened.
class OpenedPort
{
public:
    OpenedPort(PortAccess &port, int portNumber, const QString &modeString)
        : m_port(port), m_open(port.OpenPort(portNumber, modeString))
    {}
    ~OpenedPort()
    {
        if (m_open)
            m_port.ClosePort();
    }
    OpenedPort(const OpenedPort &) = delete;
    OpenedPort &operator=(const OpenedPort &) = delete;

    bool isOpen() const { return m_open; }

private:
    PortAccess &m_port;
    bool m_open;
};
