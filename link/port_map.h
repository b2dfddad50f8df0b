#pragma once

#include <QString>

// Turns the program's COM port numbers into devices. Port numbers 1 to 16 are what
// the operator knows; on Linux they are entries "COM<n>" of a ports folder that link
// to serial devices, or, where there is no such folder, the serial ports that the
// system reports, in natural order of their device names.
class PortMap
{
public:
    // portsFolder: where the COM<n> links live; it need not exist.
    explicit PortMap(QString portsFolder);

    // $XDG_CONFIG_HOME/VANTREL/ports (XDG_CONFIG_HOME defaults to ~/.config).
    static QString defaultPortsFolder();

    // The device to open for port n, resolved to its real path, or empty when port n
    // names no terminal device (no entry, a dangling link, a regular file ...).
    QString devicePath(int portNumber) const;

    const QString &portsFolder() const { return m_portsFolder; }

private:
    QString m_portsFolder;
};

// True for character devices that are terminals: serial ports and pseudo-terminals.
// Decided without opening the device, since opening some devices has side effects.
bool IsTerminalDevice(const QString &path);

// Natural order of device names: ttyS2 before ttyS10.
bool NaturalLess(const QString &a, const QString &b);
