#pragma once

#include "port_system.h"

#include <QList>
#include <QString>

// Turns the program's COM port numbers into devices. The scan searches COM1 to COM16;
// on Linux a number n is the entry "COM<n>" of a ports folder that links to a serial
// device (any n from 1), or, where there is no such folder, the n-th of the serial
// ports that the system reports, in natural order of their device names.
class PortMap
{
public:
    // portsFolder: where the COM<n> links live; it need not exist.
    explicit PortMap(QString portsFolder);

    // The device to open for port n, resolved to its real path, or empty when port n
    // names no terminal device (no entry, a dangling link, a regular file ...), a
    // console, or is a link left by a simulated module that is gone.
    QString devicePath(int portNumber) const;
    // What port n names before any check of what it is: the resolved entry of the ports
    // folder, or the system's n-th port (or a given device's number, that device);
    // empty when it names nothing (no entry, a dangling link, a number past the
    // system's list).
    QString mappedPath(int portNumber) const;
    // True for a ports-folder link whose record names a simulated module that no longer
    // runs (link_owner.h).
    bool isStaleLink(int portNumber) const;
    // True when the ports folder decides, false when the system's list does.
    bool usesPortsFolder() const;
    // The numbers n of the ports folder's COM<n> entries, in order.
    QList<int> folderPortNumbers() const;
    // What a search of every port goes through: the ports folder's entries, or COM1 to
    // COM16 where the system's list decides.
    QList<int> numbersToSearch() const;
    static constexpr int HighestSystemPort = 16;
    // Where the ports folder exists and names no port, which hides every real adapter
    // from the program: a sentence that says so and what to do; else nothing.
    QString emptyFolderWarning() const;

    const QString &portsFolder() const { return m_portsFolder; }

    // The COM number that names this device (compared as real paths), among COM1 to
    // COM16 and the ports folder's entries; 0 for none.
    int numberOf(const QString &device) const;
    // A number beyond every COM number, for a device given by its path that no COM
    // number names: it can be opened, and is nobody's remembered place.
    static constexpr int GivenDeviceNumber = 10000;
    // The same map with that number naming this device.
    PortMap withGivenDevice(const QString &device) const;

private:
    QString m_portsFolder;
    QString m_givenDevice;
};

// Natural order of device names: ttyS2 before ttyS10.
bool NaturalLess(const QString &a, const QString &b);
