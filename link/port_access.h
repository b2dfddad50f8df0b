#pragma once

#include "link_services.h"
#include "port_map.h"
#include "port_system.h"
#include "unique_fd.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QSerialPort;

// The serial port of the link: at most one port open at a time, opened for exclusive
// use by its number with a mode string, read one byte at a time with a 1 ms limit,
// written with a fixed pause after each write. The port's own settings are read at
// open and put back at close.
//
// Exclusive use is held three ways, as other serial programs look for it: an advisory
// lock (flock) on the device, taken before anything touches the line; Qt's lock file;
// and the terminal's exclusive mode.
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

    // True when the port could be opened. A mode string that is no line setting leaves
    // the port at the line settings it had before, and the open still counts. So does a
    // setting the driver did not take (LinkFailure() says which), but then no exchange
    // on this opening is answered.
    bool OpenPort(int portNumber, const QString &modeString);
    // Why the last open failed, in words a technician can act on ("COM3 (/dev/ttyUSB0):
    // permission denied: ..."); empty after an open that succeeded.
    const QString &LastOpenFailure() const { return m_lastOpenFailure; }
    // True when the last open failed because the number names nothing at all, which a
    // search meets at most numbers and need not report.
    bool LastOpenFoundNothing() const { return m_lastOpenFoundNothing; }
    // Why no exchange on the last opening could be answered, in words a technician can
    // act on: the driver did not take the line setting, or the device went away
    // ("COM3 (/dev/ttyUSB0) went away"). Empty while neither happened; kept after the
    // close, until the next open.
    const QString &LinkFailure() const { return m_linkFailure; }
    // True when the driver did not take the line setting of this opening.
    bool SettingRefused() const { return m_settingRefused; }
    // True when the device of the last opening went away while it was open.
    bool DeviceLost() const { return m_lost; }
    // The device of the last successful open.
    const QString &DevicePath() const { return m_devicePath; }
    // How many opens have succeeded on this link.
    int SuccessfulOpens() const { return m_successfulOpens; }
    // Discards what has not been sent yet, so that a stuck line cannot hold the close,
    // puts the port's own settings back and closes it. Only after a successful open.
    void ClosePort();
    bool IsOpen() const;

    // Each write returns once its bytes have left the port, as a synchronous write
    // does; then its pause begins: 1 ms after a byte, 5 ms after a block.
    void WriteByte(quint8 byte);
    void WriteBlock(const char *bytes, int count);

    // Throws away whatever has arrived and not been read yet.
    void DiscardInput();

    // One byte if one arrives within about 1 ms; Lost as soon as the device has gone.
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
    void askLowLatency();
    void applyModeString(const QString &modeString);
    void writeOut(const char *bytes, int count);
    // Keeps why port n did not open; the diagnosis's reason where it finds one.
    bool openFailed(int portNumber, const QString &device, const QString &reason);
    bool deviceLost() const;
    // Keeps, and logs, the loss of the device once for each opening.
    void noticeLost();

    PortMap m_map;
    LinkServices m_services;
    // The first descriptor of the open device, holding its advisory lock until the close.
    UniqueFd m_lock;
    std::unique_ptr<QSerialPort> m_port;
    LowLatency m_lowLatency;
    std::unique_ptr<FoundLine> m_foundSettings;
    QString m_lastOpenFailure;
    bool m_lastOpenFoundNothing = false;
    QString m_linkFailure;
    bool m_settingRefused = false;
    int m_successfulOpens = 0;
    // What the open port names in the words of a reason: "COM3 (/dev/ttyUSB0)".
    QString m_portName;
    // What the frame log names the port by: the last open's number and mode string.
    QString m_traceName;
    QString m_traceMode;
    QString m_devicePath;
    bool m_lost = false;
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
