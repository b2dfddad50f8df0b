#include "port_map.h"

#include "link_owner.h"
#include "system_consoles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>

namespace {

QString systemPortDevice(int portNumber)
{
    // A system console is no port of the program's: a probe frame would land on it.
    const QStringList consoles = SystemConsoleDevices();
    QStringList devices;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString device = info.systemLocation();
        if (!consoles.contains(device) && !consoles.contains(QFileInfo(device).canonicalFilePath()))
            devices.append(device);
    }
    std::sort(devices.begin(), devices.end(), NaturalLess);
    if (portNumber > devices.size())
        return {}; // past the system's list: nothing to open
    return devices.at(portNumber - 1);
}

} // namespace

PortMap::PortMap(QString portsFolder) : m_portsFolder(std::move(portsFolder)) {}

QString PortMap::devicePath(int portNumber) const
{
    const QString device = mappedPath(portNumber);
#ifdef Q_OS_WIN
    return device;
#else
    // A console is never probed; a link that a simulated module left behind may lead to
    // another program's terminal by now.
    if (device.isEmpty() || !IsTerminalDevice(device) || IsConsole(device) ||
        isStaleLink(portNumber))
        return {};
    return device;
#endif
}

QString PortMap::mappedPath(int portNumber) const
{
    // Any number from 1: the scan searches 1 to 16, but a remembered place, or a ports
    // folder entry, may name a higher one.
    if (portNumber < 1)
        return {};
    if (portNumber == GivenDeviceNumber && !m_givenDevice.isEmpty())
        return QFileInfo(m_givenDevice).canonicalFilePath();
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    if (usesPortsFolder()) {
        // canonicalFilePath() resolves every link and is empty for a dangling one.
        return QFileInfo(m_portsFolder + QStringLiteral("/COM%1").arg(portNumber))
            .canonicalFilePath();
    }
    return systemPortDevice(portNumber);
#endif
}

int PortMap::numberOf(const QString &device) const
{
    const QString real = QFileInfo(device).canonicalFilePath();
    QList<int> numbers = usesPortsFolder() ? folderPortNumbers() : QList<int>{};
    for (int n = 1; n <= HighestSystemPort; ++n)
        numbers.append(n);
    for (const int n : std::as_const(numbers)) {
        if (!real.isEmpty() && mappedPath(n) == real)
            return n;
    }
    return 0;
}

PortMap PortMap::withGivenDevice(const QString &device) const
{
    PortMap map(*this);
    map.m_givenDevice = device;
    return map;
}

bool PortMap::isStaleLink(int portNumber) const
{
    return usesPortsFolder() &&
           LinkOwner::isGone(m_portsFolder + QStringLiteral("/COM%1").arg(portNumber));
}

bool PortMap::usesPortsFolder() const
{
    return QFileInfo(m_portsFolder).isDir();
}

QList<int> PortMap::folderPortNumbers() const
{
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]*)$"));
    QList<int> numbers;
    const QStringList names =
        QDir(m_portsFolder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = comName.match(name);
        bool ok = false;
        const int number = match.hasMatch() ? match.captured(1).toInt(&ok) : 0;
        if (ok)
            numbers.append(number);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

QList<int> PortMap::numbersToSearch() const
{
    if (usesPortsFolder())
        return folderPortNumbers();
    QList<int> numbers;
    for (int n = 1; n <= HighestSystemPort; ++n)
        numbers.append(n);
    return numbers;
}

QString PortMap::emptyFolderWarning() const
{
    if (!usesPortsFolder() || !folderPortNumbers().isEmpty())
        return {};
    return QStringLiteral("the ports folder %1 exists but names no COM port, so the program sees "
                          "no serial port at all: add COM<n> links to it, or remove it to use the "
                          "system's ports")
        .arg(m_portsFolder);
}

bool NaturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype iEnd = i;
            qsizetype jEnd = j;
            while (iEnd < a.size() && a[iEnd].isDigit())
                ++iEnd;
            while (jEnd < b.size() && b[jEnd].isDigit())
                ++jEnd;
            // Compare digit runs by value: strip leading zeros, then length, then text.
            QStringView x = QStringView(a).mid(i, iEnd - i);
            QStringView y = QStringView(b).mid(j, jEnd - j);
            while (x.size() > 1 && x.front() == u'0')
                x = x.mid(1);
            while (y.size() > 1 && y.front() == u'0')
                y = y.mid(1);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (const int c = x.compare(y); c != 0)
                return c < 0;
            i = iEnd;
            j = jEnd;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}
