#include "ports_report.h"

#include "console_output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString comName(const PortEntry &entry)
{
    return entry.number > 0 ? QStringLiteral("COM%1").arg(entry.number) : QStringLiteral("-");
}

// Where an adapter cannot be told from others of its kind but by its USB socket.
QString withoutSerialNumberNote(const PortEntry &entry)
{
    if (entry.mapName == entry.diagnosis.device)
        return QStringLiteral("USB adapter without a serial number, and without a name in "
                              "/dev/serial/by-path: tx4040 map maps it as %1, which may name "
                              "another adapter once adapters are plugged in or out")
            .arg(entry.mapName);
    return QStringLiteral("USB adapter without a serial number: tx4040 map maps it by its USB "
                          "path, %1, which changes when the adapter is plugged into another "
                          "USB socket")
        .arg(entry.mapName);
}

QString latencyNote(const PortEntry &entry)
{
    QString note = QStringLiteral("latency timer %1 ms").arg(entry.latencyTimerMs);
    switch (entry.lowLatency) {
    case PortEntry::LowLatencyAnswer::Taken:
        note += QStringLiteral(": the driver takes low latency, so tx4040 lowers it to 1 ms "
                               "while it holds the port");
        break;
    case PortEntry::LowLatencyAnswer::Refused:
        note += QStringLiteral(": the driver refused low latency (%1), so each reply may wait "
                               "that long; lower the timer with: echo 1 | sudo tee %2 (until "
                               "the adapter is plugged in again), or for good with a udev rule "
                               "(README, \"Real adapters\")")
                    .arg(entry.lowLatencyRefusal, entry.latencyTimerPath);
        break;
    case PortEntry::LowLatencyAnswer::NotAsked:
        break;
    }
    return note;
}

QString lowLatencyName(PortEntry::LowLatencyAnswer answer)
{
    switch (answer) {
    case PortEntry::LowLatencyAnswer::Taken:
        return QStringLiteral("taken");
    case PortEntry::LowLatencyAnswer::Refused:
        return QStringLiteral("refused");
    case PortEntry::LowLatencyAnswer::NotAsked:
        break;
    }
    return {};
}

} // namespace

QByteArray PortsText(const QList<PortEntry> &entries)
{
    QString text;
    for (const PortEntry &entry : entries) {
        const QString device =
            entry.diagnosis.device.isEmpty() ? QStringLiteral("(nothing)") : entry.diagnosis.device;
        text += QStringLiteral("%1  %2  %3  %4\n")
                    .arg(comName(entry), -5)
                    .arg(device, -20)
                    .arg(entry.mappedBy, -12)
                    .arg(entry.diagnosis.text());
        QStringList about;
        for (const QString &part : {entry.description, entry.manufacturer, entry.usbId})
            if (!part.isEmpty())
                about << part;
        if (!entry.serialNumber.isEmpty())
            about << QStringLiteral("serial ") + entry.serialNumber;
        if (!about.isEmpty())
            text += QStringLiteral("       ") + about.join(QStringLiteral(", ")) + u'\n';
        if (!entry.stableName.isEmpty())
            text += QStringLiteral("       ") + entry.stableName + u'\n';
        if (!entry.usbSerialNumber && entry.usbAdapter)
            text += QStringLiteral("       ") + withoutSerialNumberNote(entry) + u'\n';
        if (entry.latencyTimerMs >= 0)
            text += QStringLiteral("       ") + latencyNote(entry) + u'\n';
    }
    return text.toLocal8Bit();
}

QByteArray PortsJson(const QList<PortEntry> &entries, const PortMap &map)
{
    QJsonArray ports;
    for (const PortEntry &entry : entries) {
        const PortDiagnosis &d = entry.diagnosis;
        QJsonObject port{{QStringLiteral("port"), entry.number},
                         {QStringLiteral("device"), d.device},
                         {QStringLiteral("mappedBy"), entry.mappedBy},
                         {QStringLiteral("state"), d.stateName()},
                         {QStringLiteral("reason"), d.text()},
                         {QStringLiteral("description"), entry.description},
                         {QStringLiteral("manufacturer"), entry.manufacturer},
                         {QStringLiteral("usbId"), entry.usbId},
                         {QStringLiteral("serialNumber"), entry.serialNumber},
                         {QStringLiteral("stableName"), entry.stableName}};
        if (d.state == PortDiagnosis::State::PermissionDenied) {
            port.insert(QStringLiteral("group"), d.group);
            port.insert(QStringLiteral("inGroup"), d.inGroup);
        }
        if (d.state == PortDiagnosis::State::Busy) {
            port.insert(QStringLiteral("holderPid"), d.holderPid);
            port.insert(QStringLiteral("holderName"), d.holderName);
        }
        if (!entry.mapName.isEmpty())
            port.insert(QStringLiteral("mapName"), entry.mapName);
        if (entry.usbAdapter)
            port.insert(QStringLiteral("usbSerialNumber"), entry.usbSerialNumber);
        if (entry.latencyTimerMs >= 0) {
            port.insert(QStringLiteral("latencyTimerMs"), entry.latencyTimerMs);
            port.insert(QStringLiteral("latencyTimerPath"), entry.latencyTimerPath);
        }
        if (entry.lowLatency != PortEntry::LowLatencyAnswer::NotAsked)
            port.insert(QStringLiteral("lowLatency"), lowLatencyName(entry.lowLatency));
        if (entry.lowLatency == PortEntry::LowLatencyAnswer::Refused)
            port.insert(QStringLiteral("lowLatencyRefusal"), entry.lowLatencyRefusal);
        ports.append(port);
    }
    const QJsonObject report{{QStringLiteral("portsFolder"), map.portsFolder()},
                             {QStringLiteral("usesPortsFolder"), map.usesPortsFolder()},
                             {QStringLiteral("ports"), ports}};
    return JsonReport(report);
}
