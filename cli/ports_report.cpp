#include "ports_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString comName(const PortEntry &entry)
{
    return entry.number > 0 ? QStringLiteral("COM%1").arg(entry.number) : QStringLiteral("-");
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
    }
    return text.toLocal8Bit();
}

QByteArray PortsJson(const QList<PortEntry> &entries, const PortMap &map)
{
    QJsonArray ports;
    for (const PortEntry &entry : entries) {
        const PortDiagnosis &d = entry.diagnosis;
        QJsonObject port{{QStringLiteral("com"), entry.number},
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
        ports.append(port);
    }
    const QJsonObject report{{QStringLiteral("portsFolder"), map.portsFolder()},
                             {QStringLiteral("usesPortsFolder"), map.usesPortsFolder()},
                             {QStringLiteral("ports"), ports}};
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}
