#include "port_inventory.h"

#include "system_consoles.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

constexpr int SearchedPorts = 16;

QString stableNameOf(const QString &device)
{
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : byId.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
        if (link.canonicalFilePath() == device)
            return link.absoluteFilePath();
    }
    return {};
}

void describe(PortEntry &entry)
{
    const QString device = entry.diagnosis.device;
    if (device.isEmpty())
        return;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (info.systemLocation() != device)
            continue;
        entry.description = info.description();
        entry.manufacturer = info.manufacturer();
        entry.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            entry.usbId = QStringLiteral("%1:%2")
                              .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                              .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
    }
    entry.stableName = stableNameOf(device);
}

} // namespace

QList<PortEntry> ListPorts(const PortMap &map)
{
    QList<PortEntry> entries;
    const bool folder = map.usesPortsFolder();
    QList<int> numbers;
    if (folder) {
        numbers = map.folderPortNumbers();
    } else {
        for (int n = 1; n <= SearchedPorts && !map.mappedPath(n).isEmpty(); ++n)
            numbers.append(n);
    }
    for (const int number : numbers) {
        PortEntry entry;
        entry.number = number;
        entry.mappedBy = folder ? QStringLiteral("ports folder") : QStringLiteral("system list");
        entry.diagnosis = DiagnosePort(map, number);
        describe(entry);
        entries.append(entry);
    }
    if (!folder) {
        const QStringList consoles = SystemConsoleDevices();
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
            if (!consoles.contains(info.systemLocation()))
                continue;
            PortEntry entry;
            entry.mappedBy = QStringLiteral("system list");
            entry.diagnosis.state = PortDiagnosis::State::Console;
            entry.diagnosis.device = info.systemLocation();
            describe(entry);
            entries.append(entry);
        }
    }
    return entries;
}
