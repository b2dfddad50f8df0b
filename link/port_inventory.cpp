#include "port_inventory.h"

#include "stable_port_names.h"
#include "system_consoles.h"
#include "port_system.h"

#include <QSerialPortInfo>

namespace {

// Asks the driver for low latency and puts its flags back at once, only to learn its
// answer. A port someone holds (an flock, as terminal programs take) is left alone.
PortEntry::LowLatencyAnswer askLowLatency(const QString &device, QString &refusal)
{
    QString busy;
    const UniqueFd fd = OpenLocked(device, busy);
    if (!fd.isValid())
        return PortEntry::LowLatencyAnswer::NotAsked;
    LowLatency lowLatency;
    const bool taken = lowLatency.request(fd.get());
    lowLatency.restore(fd.get());
    refusal = lowLatency.refusal();
    return taken ? PortEntry::LowLatencyAnswer::Taken : PortEntry::LowLatencyAnswer::Refused;
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
    }
    entry.stableName = SerialLinkTo(device, QStringLiteral("by-id"));
    const UsbAdapter usb = UsbAdapterOf(device);
    entry.usbAdapter = usb.isUsb;
    entry.usbId = usb.usbId;
    entry.usbSerialNumber = !usb.serialNumber.isEmpty();
    entry.mapName = StablePortName(device);
    entry.latencyTimerMs = LatencyTimerMs(device);
    if (entry.latencyTimerMs >= 0)
        entry.latencyTimerPath = LatencyTimerPath(device);
    // Opening the port is the only way to learn the driver's answer, so only a port that
    // nobody holds is asked.
    if (entry.latencyTimerMs > 1 && entry.diagnosis.state == PortDiagnosis::State::Ok)
        entry.lowLatency = askLowLatency(device, entry.lowLatencyRefusal);
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
        for (int n = 1; n <= PortMap::HighestSystemPort && !map.mappedPath(n).isEmpty(); ++n)
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
